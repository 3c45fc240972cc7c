#pragma once
// Little-endian field reads for the tests' own look at stored pictures.
#include <cstdint>
#include <string>

namespace qv::test {

inline std::uint32_t U16(const std::string& b, size_t at) {
    return static_cast<unsigned char>(b.at(at)) | static_cast<unsigned char>(b.at(at + 1)) << 8;
}

inline std::uint32_t U32(const std::string& b, size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

}  // namespace qv::test
