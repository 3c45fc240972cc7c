// The settings file's byte layer: any content, names and value, in any encoding the file may
// have, with any line ends (CR LF, LF, lone CR). What is read, written and read again is the same;
// a write touches one line and keeps every other byte and every other value.
// Input: a section, a key, a value, a second section and key, each ended by a backslash and one
// more byte ("\\" stands for a backslash), then the file's content.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "check.h"
#include "ini_format.h"

namespace {

std::string AsciiLower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// Whether two names may name the same entry (coarser than the reader: every byte is folded).
bool MaySame(const std::string& a, const std::string& b) {
    return AsciiLower(a) == AsciiLower(b);
}

bool HasByteOrderMark(const std::string& content) {
    return content.substr(0, 3) == "\xEF\xBB\xBF" || content.substr(0, 2) == "\xFF\xFE" ||
           content.substr(0, 2) == "\xFE\xFF";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv::ini;
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(64);
    const std::string key = in.ConsumeRandomLengthString(64);
    const std::string value = in.ConsumeRandomLengthString(256);
    const std::string otherSection = in.ConsumeRandomLengthString(64);
    const std::string otherKey = in.ConsumeRandomLengthString(64);
    const std::string content = in.ConsumeRemainingBytesAsString();

    const bool storableValue = IsStorableValue(value);
    if (storableValue)
        QV_CHECK(DecodeValue(EncodeValue(value)) == value);
    // A file with a byte-order mark is Unicode; a broken one is read but never rewritten.
    const bool unicode = HasByteOrderMark(content);

    const bool storable = IsStorableSection(section) && IsStorableKey(key);
    const auto read = FindValue(content, section, key);
    QV_CHECK(!read || storable);
    if (read) {
        // Every line end ends a value, so a value read can always be written back; it reads the
        // same, and a second write changes nothing.
        QV_CHECK(IsStorableValue(*read));
        const auto back = SetValue(content, section, key, *read);
        QV_CHECK(back || unicode);
        if (back) {
            QV_CHECK(FindValue(*back, section, key) == read);
            QV_CHECK(SetValue(*back, section, key, *read) == back);
        }
    }

    const auto written = SetValue(content, section, key, value);
    QV_CHECK(!written || (storable && storableValue));
    if (!unicode)
        QV_CHECK(written.has_value() == (storable && storableValue));
    if (!written)
        return 0;
    QV_CHECK(FindValue(*written, section, key) == value);
    QV_CHECK(SetValue(*written, section, key, value) == written);
    const std::string& out = *written;
    if (!MaySame(section, otherSection) || !MaySame(key, otherKey)) {
        QV_CHECK(FindValue(content, otherSection, otherKey) ==
                 FindValue(out, otherSection, otherKey));
    }

    // The bytes the write replaced lie within one line, line end excluded: every other line and
    // every line end is kept as it was. (In UTF-16 a line end is two bytes, and other characters
    // hold the bytes 0x0A and 0x0D.)
    if (content.substr(0, 2) == "\xFF\xFE" || content.substr(0, 2) == "\xFE\xFF")
        return 0;
    const size_t common = std::min(content.size(), out.size());
    size_t head = 0;
    while (head < common && content[head] == out[head]) ++head;
    size_t tail = 0;
    while (tail < common - head &&
           content[content.size() - 1 - tail] == out[out.size() - 1 - tail]) {
        ++tail;
    }
    const std::string removed = content.substr(head, content.size() - head - tail);
    QV_CHECK(removed.find_first_of("\r\n") == std::string::npos);
    return 0;
}
