#pragma once
// Conversion between character sets through iconv: GBK and UTF-8 for the texts, the Unicode
// forms of a settings file.
#include <iconv.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// An iconv descriptor. Keep one open per thread and direction: opening one costs more than most
// conversions.
class Converter final {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (ok())
            iconv_close(cd_);
    }
    [[nodiscard]] bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    [[nodiscard]] iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

// The text in the converter's target set. `skip` 0: nullopt at the first sequence that does not
// convert; otherwise such a sequence, or one cut short at the end, loses `skip` bytes and the
// rest goes on. nullopt too when the converter could not be opened.
[[nodiscard]] std::optional<std::string> Convert(const Converter& converter, std::string_view in,
                                                 size_t skip);

}  // namespace qv
