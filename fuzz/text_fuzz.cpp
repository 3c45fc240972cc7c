// Text conversion at the edges: any bytes taken as GBK or as UTF-8. A conversion gives well-formed
// text, keeps what it can convert (a second round trip changes nothing), and numbers and byte
// pieces stay in range. Input: the text, then a 64-bit and a 32-bit number (read from the end).
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "check.h"
#include "qt_text.h"
#include "texts/text.h"
#include "texts/utf8.h"

namespace {

bool HasPrivateUse(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        const qv::Utf8Char c = qv::Utf8CharAt(utf8, i);
        if (c.codePoint >= 0xE000 && c.codePoint <= 0xF8FF)
            return true;
        i += c.length;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv;
    FuzzedDataProvider in(data, size);
    const int n = in.ConsumeIntegral<int>();
    const long long number = in.ConsumeIntegral<long long>();
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    // As GBK: the UTF-8 made of it is well-formed, and what survived one trip survives another.
    const std::string utf8 = Utf8(bytes);
    QV_CHECK(ValidUtf8(utf8));
    const Text gbk = Gbk(utf8);
    QV_CHECK(Utf8(gbk) == utf8);
    QV_CHECK(ToQString(bytes) ==
             QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    QV_CHECK(FromQString(ToQString(gbk)) == gbk);

    // As UTF-8 (a stream title, a database text): what converts comes back unchanged.
    const Text fromUtf8 = Gbk(bytes);
    QV_CHECK(Gbk(Utf8(fromUtf8)) == fromUtf8);
    if (ValidUtf8(bytes)) {
        // Well-formed UTF-8 comes back whole, but for a few private-use code points that glibc's
        // GB18030 leaves unmapped.
        QV_CHECK(Utf8(Gbk(bytes)) == bytes || HasPrivateUse(bytes));
    } else {
        // Qt reads the same bytes as not UTF-8 either: it does not keep them as they are.
        QV_CHECK(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toUtf8() !=
                 QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }

    // Numbers and byte pieces.
    QV_CHECK(TextToInt(IntToText(n)) == n);
    const int parsed = TextToInt(bytes);
    if (parsed != 0)
        QV_CHECK(TextToInt(IntToText(parsed)) == parsed);
    (void)TextToInt(IntToText(number));
    const Text left = LeftBytes(bytes, n);
    const Text right = RightBytes(bytes, n);
    const size_t want = n <= 0 ? 0 : std::min(bytes.size(), static_cast<size_t>(n));
    QV_CHECK(left.size() == want && bytes.compare(0, want, left) == 0);
    QV_CHECK(right.size() == want && bytes.compare(bytes.size() - want, want, right) == 0);
    return 0;
}
