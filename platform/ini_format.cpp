#include "platform/ini_format.h"

#include <cstddef>
#include <cstring>

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

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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

size_t BomLength(std::string_view content) {
    if (content.starts_with("\xEF\xBB\xBF"))
        return 3;
    if (content.starts_with("\x84\x31\x95\x33"))
        return 4;
    return 0;
}

enum class Kind { kOther, kSection, kKey };

// One line of the content; offsets are into the whole content.
struct Line {
    size_t begin = 0;
    size_t end = 0;   // end of the text, before CR LF, LF or a final CR
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

// Walks the lines of a content one by one.
class LineReader final {
  public:
    explicit LineReader(std::string_view content) : content_(content), pos_(BomLength(content)) {}

    bool Next(Line& line) {
        if (pos_ >= content_.size())
            return false;
        line = Line{};
        line.begin = pos_;
        const size_t lf = content_.find('\n', pos_);
        line.end = lf == std::string_view::npos ? content_.size() : lf;
        line.next = lf == std::string_view::npos ? content_.size() : lf + 1;
        if (line.end > line.begin && content_[line.end - 1] == '\r')
            --line.end;
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

bool NeedsQuotes(std::string_view value) {
    if (value.empty())
        return false;
    if (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"')
        return true;
    for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            return true;
    }
    return false;
}

void AppendHexEscape(std::string& out, unsigned char b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const size_t len = CharLen(s, i);
        if (len > 1 || s[i] != '\\' || i + 1 >= s.size()) {
            out.append(s, i, len);
            i += len;
            continue;
        }
        const char e = s[i + 1];
        const char simple = e == 'n'    ? '\n'
                            : e == 'r'  ? '\r'
                            : e == 't'  ? '\t'
                            : e == '\\' ? '\\'
                                        : '\0';
        if (simple != '\0') {
            out += simple;
            i += 2;
        } else if (e == 'x' && i + 3 < s.size() && HexDigit(s[i + 2]) >= 0 &&
                   HexDigit(s[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3]));
            i += 4;
        } else {
            out += '\\';  // unknown escape: kept as written
            ++i;
        }
    }
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

std::string EncodeValue(std::string_view value) {
    if (!NeedsQuotes(value))
        return std::string(value);
    std::string out = "\"";
    for (size_t i = 0; i < value.size();) {
        const size_t len = CharLen(value, i);
        const auto b = static_cast<unsigned char>(value[i]);
        if (len > 1) {
            out.append(value, i, len);
        } else if (b == '\\') {
            out += "\\\\";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b < 0x20 || b == 0x7F || InRange(b, 0x81, 0xFE)) {
            // A lead byte without its trail could pair with the next byte written; escape it.
            AppendHexEscape(out, b);
        } else {
            out += static_cast<char>(b);
        }
        i += len;
    }
    out += '"';
    return out;
}

std::string DecodeValue(std::string_view stored) {
    if (stored.size() >= 2 && stored.front() == '"' && stored.back() == '"') {
        return Unescape(stored.substr(1, stored.size() - 2));
    }
    return std::string(stored);
}

std::optional<std::string> FindValue(std::string_view content, std::string_view section,
                                     std::string_view key) {
    if (!IsStorableSection(section) || !IsStorableKey(key))
        return std::nullopt;
    const Location at = Locate(content, section, key);
    if (!at.keyFound)
        return std::nullopt;
    const Line& l = at.keyLine;
    return DecodeValue(content.substr(l.valueBegin, l.valueEnd - l.valueBegin));
}

std::optional<std::string> SetValue(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view value) {
    if (!IsStorableSection(section) || !IsStorableKey(key))
        return std::nullopt;
    const size_t firstLf = content.find('\n');
    const bool crlf =
        firstLf != std::string_view::npos && firstLf > 0 && content[firstLf - 1] == '\r';
    const std::string_view eol = crlf ? "\r\n" : "\n";
    const std::string keyLine = std::string(key) + '=' + EncodeValue(value);

    const Location at = Locate(content, section, key);
    std::string out;
    out.reserve(content.size() + keyLine.size() + section.size() + 8);
    if (at.keyFound) {
        // Keep the name and the spacing around '='; replace the value through the line's end.
        const size_t from = at.keyLine.valueBegin;
        out.append(content.substr(0, from));
        out.append(EncodeValue(value));
        out.append(content.substr(at.keyLine.end));
        return out;
    }
    const size_t insertAt = at.sectionFound ? at.insertAt : content.size();
    out.append(content.substr(0, insertAt));
    // The line before the new one may be the last of the content, without a line end.
    if (insertAt > BomLength(content) && content[insertAt - 1] != '\n') {
        out.append(content[insertAt - 1] == '\r' ? "\n" : eol);
    }
    if (!at.sectionFound) {
        out += '[';
        out.append(section);
        out += ']';
        out.append(eol);
    }
    out.append(keyLine);
    out.append(eol);
    out.append(content.substr(insertAt));
    return out;
}

}  // namespace qv::ini
