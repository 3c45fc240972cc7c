#include "ini_format.h"

#include <algorithm>
#include <cstddef>

#include "texts/ascii.h"
#include "texts/charset.h"

namespace qv::ini {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool InRange(unsigned char c, unsigned char lo, unsigned char hi) {
    return c >= lo && c <= hi;
}

// Length of the character at s[i]: 2 or 4 for a whole GB18030 character, else 1 (ASCII, and any
// byte that does not start a complete character).
size_t CharLen(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (!InRange(b, 0x81, 0xFE) || i + 1 >= s.size())
        return 1;
    const auto c = static_cast<unsigned char>(s[i + 1]);
    if (InRange(c, 0x40, 0x7E) || InRange(c, 0x80, 0xFE))
        return 2;
    if (InRange(c, 0x30, 0x39) && i + 3 < s.size() &&
        InRange(static_cast<unsigned char>(s[i + 2]), 0x81, 0xFE) &&
        InRange(static_cast<unsigned char>(s[i + 3]), 0x30, 0x39)) {
        return 4;
    }
    return 1;
}

// Folds only single-byte letters: a trail byte such as 0x41 or 0x61 is part of its character.
bool NamesEqual(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const size_t la = CharLen(a, i);
        const size_t lb = CharLen(b, j);
        if (la != lb)
            return false;
        if (la == 1) {
            if (AsciiLower(a[i]) != AsciiLower(b[j]))
                return false;
        } else if (a.compare(i, la, b, j, lb) != 0) {
            return false;
        }
        i += la;
        j += lb;
    }
    return i == a.size() && j == b.size();
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Offset of the last ']' that is a character of its own, or npos.
size_t LastCloseBracket(std::string_view s, size_t from) {
    size_t found = std::string_view::npos;
    for (size_t i = from; i < s.size(); i += CharLen(s, i)) {
        if (s[i] == ']' && CharLen(s, i) == 1)
            found = i;
    }
    return found;
}

// GB18030's own byte-order mark (U+FEFF), which a GB18030 text may start with.
size_t BomLength(std::string_view content) {
    return content.starts_with("\x84\x31\x95\x33") ? 4 : 0;
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// The length of the line end at `at`: 2 for CR LF, 1 for a lone CR or LF, 0 at the end.
size_t LineEndLength(std::string_view content, size_t at) {
    if (at >= content.size())
        return 0;
    return content[at] == '\r' && at + 1 < content.size() && content[at + 1] == '\n' ? 2 : 1;
}

enum class Kind { kOther, kSection, kKey };

// One line of the content; offsets are into the whole content.
struct Line {
    size_t begin = 0;
    size_t end = 0;   // end of the text, before its line end (CR LF, LF or a lone CR)
    size_t next = 0;  // start of the next line
    Kind kind = Kind::kOther;
    std::string_view name;  // section or key name
    size_t valueBegin = 0;  // the value, blanks trimmed (key lines)
    size_t valueEnd = 0;
};

void Classify(std::string_view content, Line& line) {
    const std::string_view text = content.substr(line.begin, line.end - line.begin);
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size() || text[i] == ';' || text[i] == '#')
        return;
    if (text[i] == '[') {
        const size_t close = LastCloseBracket(text, i + 1);
        if (close == std::string_view::npos)
            return;
        line.kind = Kind::kSection;
        line.name = Trim(text.substr(i + 1, close - i - 1));
        return;
    }
    // '=' never occurs inside a multi-byte character, so a plain search is safe.
    const size_t eq = text.find('=', i);
    if (eq == std::string_view::npos)
        return;
    const std::string_view name = Trim(text.substr(i, eq - i));
    if (name.empty())
        return;
    size_t vb = eq + 1;
    size_t ve = text.size();
    while (vb < ve && IsBlank(text[vb])) ++vb;
    while (ve > vb && IsBlank(text[ve - 1])) --ve;
    line.kind = Kind::kKey;
    line.name = name;
    line.valueBegin = line.begin + vb;
    line.valueEnd = line.begin + ve;
}

// Walks the lines of a content one by one. A lone CR ends a line, as Windows reads it: some older
// editors end every line so.
class LineReader final {
  public:
    explicit LineReader(std::string_view content) : content_(content), pos_(BomLength(content)) {}

    bool Next(Line& line) {
        if (pos_ >= content_.size())
            return false;
        line = Line{};
        line.begin = pos_;
        const size_t eol = content_.find_first_of("\r\n", pos_);
        line.end = eol == std::string_view::npos ? content_.size() : eol;
        line.next = line.end + LineEndLength(content_, line.end);
        Classify(content_, line);
        pos_ = line.next;
        return true;
    }

  private:
    std::string_view content_;
    size_t pos_;
};

// Where a key stands in a content: the first section of that name and the first key in it.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;
    size_t insertAt = 0;  // after the section's last key line, or after its header
};

Location Locate(std::string_view content, std::string_view section, std::string_view key) {
    Location at;
    LineReader reader(content);
    Line line;
    while (reader.Next(line)) {
        if (line.kind == Kind::kSection) {
            if (at.sectionFound)
                break;
            if (NamesEqual(line.name, section)) {
                at.sectionFound = true;
                at.insertAt = line.next;
            }
        } else if (at.sectionFound && line.kind == Kind::kKey) {
            if (NamesEqual(line.name, key)) {
                at.keyFound = true;
                at.keyLine = line;
                break;
            }
            at.insertAt = line.next;
        }
    }
    return at;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool IsBlankOrControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b <= 0x20 || b == 0x7F;
}

// The same quote mark at both ends, as Windows strips it. A trail byte is never '"' or '\'', so
// the last byte is a character of its own.
bool IsQuoted(std::string_view s) {
    return s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front();
}

// Blanks at the ends would be trimmed, and Windows trims control bytes such as VT, FF and ^Z too.
bool NeedsQuotes(std::string_view value) {
    return !value.empty() &&
           (IsBlankOrControl(value.front()) || IsBlankOrControl(value.back()) || IsQuoted(value));
}

// A Unicode file, known by its byte-order mark.
struct Form {
    const char* charset;
    std::string_view mark;
    size_t unit;  // bytes a broken sequence loses when read
};

constexpr Form kUnicodeForms[] = {
    {"UTF-8", "\xEF\xBB\xBF", 1},
    {"UTF-16LE", "\xFF\xFE", 2},
    {"UTF-16BE", "\xFE\xFF", 2},
};

const Converter& Reader(const Form& form) {
    thread_local const Converter readers[] = {
        {"GB18030", kUnicodeForms[0].charset},
        {"GB18030", kUnicodeForms[1].charset},
        {"GB18030", kUnicodeForms[2].charset},
    };
    return readers[&form - kUnicodeForms];
}

const Converter& Writer(const Form& form) {
    thread_local const Converter writers[] = {
        {kUnicodeForms[0].charset, "GB18030"},
        {kUnicodeForms[1].charset, "GB18030"},
        {kUnicodeForms[2].charset, "GB18030"},
    };
    return writers[&form - kUnicodeForms];
}

// A content seen as GB18030 text.
struct Body {
    const Form* form = nullptr;  // null: the content is GB18030 itself
    std::string_view raw;
    std::string converted;  // the text of a Unicode file, without its mark
    bool exact = true;      // storing the text again gives back the content byte for byte

    [[nodiscard]] std::string_view text() const {
        return form != nullptr ? std::string_view(converted) : raw;
    }
};

Body Decode(std::string_view content) {
    Body body;
    body.raw = content;
    for (const Form& f : kUnicodeForms) {
        if (content.starts_with(f.mark))
            body.form = &f;
    }
    if (body.form == nullptr)
        return body;
    const std::string_view rest = content.substr(body.form->mark.size());
    std::optional<std::string> text = Convert(Reader(*body.form), rest, 0);
    if (text) {
        const std::optional<std::string> back = Convert(Writer(*body.form), *text, 0);
        body.exact = back && *back == rest;
        body.converted = std::move(*text);
    } else {
        body.exact = false;
        body.converted = Convert(Reader(*body.form), rest, body.form->unit).value_or("");
    }
    return body;
}

// A file that already has line ends keeps the kind its first line has; a file without any gets
// Windows' CRLF.
std::string_view LineEndOf(std::string_view content) {
    const size_t eol = content.find_first_of("\r\n");
    if (eol == std::string_view::npos)
        return "\r\n";
    return content.substr(eol, LineEndLength(content, eol));
}

// The value set in GB18030 text.
std::string Edit(std::string_view content, std::string_view section, std::string_view key,
                 std::string_view value) {
    const std::string_view eol = LineEndOf(content);
    const std::string stored = EncodeValue(value);

    const Location at = Locate(content, section, key);
    std::string out;
    out.reserve(content.size() + key.size() + stored.size() + section.size() + 8);
    if (at.keyFound) {
        // Keep the name and the spacing around '='; replace the value through the line's end.
        out.append(content.substr(0, at.keyLine.valueBegin));
        out.append(stored);
        out.append(content.substr(at.keyLine.end));
        return out;
    }
    const size_t insertAt = at.sectionFound ? at.insertAt : content.size();
    out.append(content.substr(0, insertAt));
    // The line before the new one may be the last of the content, without a line end.
    if (insertAt > BomLength(content) && !IsLineEnd(content[insertAt - 1]))
        out.append(eol);
    if (!at.sectionFound) {
        out += '[';
        out.append(section);
        out += ']';
        out.append(eol);
    }
    out.append(key);
    out += '=';
    out.append(stored);
    out.append(eol);
    out.append(content.substr(insertAt));
    return out;
}

}  // namespace

bool IsStorableSection(std::string_view section) {
    if (HasLineBreak(section) || Trim(section) != section)
        return false;
    // "[section]" must read back with its own closing bracket: a dangling lead byte at the end
    // would swallow it.
    const std::string header = std::string(section) + ']';
    return LastCloseBracket(header, 0) == section.size();
}

bool IsStorableKey(std::string_view key) {
    if (key.empty() || HasLineBreak(key) || Trim(key) != key)
        return false;
    if (key.front() == '[' || key.front() == ';' || key.front() == '#')
        return false;
    return key.find('=') == std::string_view::npos;
}

bool IsStorableValue(std::string_view value) {
    return !HasLineBreak(value);
}

std::string EncodeValue(std::string_view value) {
    if (!NeedsQuotes(value))
        return std::string(value);
    std::string out;
    out.reserve(value.size() + 2);
    out += '"';
    out.append(value);
    out += '"';
    return out;
}

std::string DecodeValue(std::string_view stored) {
    if (IsQuoted(stored))
        stored = stored.substr(1, stored.size() - 2);
    return std::string(stored);
}

std::optional<std::string> FindValue(std::string_view content, std::string_view section,
                                     std::string_view key) {
    if (!IsStorableSection(section) || !IsStorableKey(key))
        return std::nullopt;
    const Body body = Decode(content);
    const std::string_view text = body.text();
    const Location at = Locate(text, section, key);
    if (!at.keyFound)
        return std::nullopt;
    const Line& l = at.keyLine;
    return DecodeValue(text.substr(l.valueBegin, l.valueEnd - l.valueBegin));
}

std::optional<std::string> SetValue(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view value) {
    if (!IsStorableSection(section) || !IsStorableKey(key) || !IsStorableValue(value))
        return std::nullopt;
    const Body body = Decode(content);
    if (!body.exact)
        return std::nullopt;
    std::string edited = Edit(body.text(), section, key, value);
    if (body.form == nullptr)
        return edited;
    const std::optional<std::string> encoded = Convert(Writer(*body.form), edited, 0);
    if (!encoded)
        return std::nullopt;
    std::string out = std::string(body.form->mark) + *encoded;
    // Each character converts on its own, so the lines not edited keep their bytes; what is
    // checked here is that the new text reads back as written.
    const Body check = Decode(out);
    if (!check.exact || check.text() != edited)
        return std::nullopt;
    return out;
}

}  // namespace qv::ini
