#include "art/artwork.h"

// The generated files are assembled straight into read-only data; each function wraps its file
// in a byte set on first use.

#define QV_ART(function, file)                         \
    asm(".section .rodata\n"                           \
        ".balign 16\n"                                 \
        ".global qv_art_" #function                    \
        "_begin\n"                                     \
        "qv_art_" #function                            \
        "_begin:\n"                                    \
        ".incbin \"" QV_ART_DIR "/" file               \
        "\"\n"                                         \
        ".global qv_art_" #function                    \
        "_end\n"                                       \
        "qv_art_" #function                            \
        "_end:\n"                                      \
        ".previous\n");                                \
    extern "C" const char qv_art_##function##_begin[]; \
    extern "C" const char qv_art_##function##_end[];
#include "art/artwork_list.h"
#undef QV_ART

namespace qv::art {

#define QV_ART(function, file)                                                         \
    const Bytes& function() {                                                          \
        static const Bytes bytes(                                                      \
            qv_art_##function##_begin,                                                 \
            static_cast<size_t>(qv_art_##function##_end - qv_art_##function##_begin)); \
        return bytes;                                                                  \
    }
#include "art/artwork_list.h"
#undef QV_ART

}  // namespace qv::art
