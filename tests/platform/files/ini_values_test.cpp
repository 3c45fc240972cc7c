// Values and lines: what reads back, what a write keeps, how names match.
#include <gtest/gtest.h>

#include <QString>
#include <random>
#include <string>
#include <vector>

#include "ini_format.h"
#include "qt_text.h"
#include "tests/platform/files/ini_helpers.h"

namespace qv::test {
namespace {

using namespace std::string_literals;

// 誠 is D5 5C, 乕 is 81 5B, 乚 is 81 5D: trail bytes that are '\', '[' and ']' on their own.
const std::string kTrailBackslash = Gbk("誠");
const std::string kTrailOpen = Gbk("乕");
const std::string kTrailClose = Gbk("乚");

// GB18030 text as a Unicode file stores it, without the byte-order mark.
std::string AsUtf8(const std::string& gb) {
    return Utf8(gb);
}

std::string Utf16(const std::string& gb, bool bigEndian) {
    std::string out;
    for (const QChar c : ToQString(gb)) {
        const auto low = static_cast<char>(c.unicode() & 0xFF);
        const auto high = static_cast<char>(c.unicode() >> 8);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

std::string Utf16Le(const std::string& gb) {
    return Utf16(gb, false);
}

std::string Utf16Be(const std::string& gb) {
    return Utf16(gb, true);
}

// Whether a text is GB18030 through and through, so that a Unicode file can hold it.
bool Convertible(const std::string& gb) {
    return Gbk(Utf8(gb)) == gb;
}

struct UnicodeForm {
    const char* name;
    std::string mark;
    std::string (*encode)(const std::string& gb);
    std::string broken;  // a sequence that is not valid in this encoding
};

const std::vector<UnicodeForm>& UnicodeForms() {
    static const std::vector<UnicodeForm> forms = {
        {"UTF-8", "\xEF\xBB\xBF", &AsUtf8, "\xFF"},
        {"UTF-16 LE", "\xFF\xFE", &Utf16Le, "\x00\xD8"s},  // a lone high surrogate
        {"UTF-16 BE", "\xFE\xFF", &Utf16Be, "\xD8\x00"s},
    };
    return forms;
}

enum class Stored {
    kPlain,   // key=value
    kQuoted,  // key="value", the value between the quotes as it is
    kRefused  // not written: it would not read back
};

struct ValueCase {
    const char* name;
    std::string value;
    Stored stored;
};

std::vector<ValueCase> AwkwardValues() {
    using enum Stored;
    return {
        {"empty", "", kPlain},
        {"leading blank", " x", kQuoted},
        {"trailing blank", "x ", kQuoted},
        {"only blanks", "  \t ", kQuoted},
        {"quote alone", "\"", kPlain},
        {"single quote alone", "'", kPlain},
        {"quoted", "\"abc\"", kQuoted},
        {"single-quoted", "'abc'", kQuoted},
        {"two quotes", "\"\"", kQuoted},
        {"quotes that differ", "\"abc'", kPlain},
        {"leading quote", "\"abc", kPlain},
        {"trailing quote", "abc\"", kPlain},
        {"quotes inside", "a\"b'c", kPlain},
        {"equals", "a=b=", kPlain},
        {"only equals", "=", kPlain},
        {"section look", "[x]", kPlain},
        {"comment look", ";x", kPlain},
        {"hash look", "#x", kPlain},
        {"backslashes", "C:\\dir\\new\\", kPlain},
        {"escape look", "\\n\\x41\\", kPlain},
        {"escape look quoted", " \\n\\x41\\\\ ", kQuoted},
        {"CR", "a\rb", kRefused},
        {"LF", "\nline", kRefused},
        {"CRLF", "a\r\nb\r\n", kRefused},
        {"tabs", "\ta\tb\t", kQuoted},
        {"tab inside", "a\tb", kPlain},
        {"controls", "\x01\x1f\x7f"s + '\0' + "end", kQuoted},
        {"controls inside", "a\x01"s + '\0' + "\x1a" + "b", kPlain},
        {"GBK trail bytes", kTrailBackslash + kTrailOpen + kTrailClose + "n", kPlain},
        {"GBK trail backslash before n, quoted", " " + kTrailBackslash + "n" + kTrailBackslash,
         kQuoted},
        {"lone lead byte at the end", "a\x81", kPlain},
        {"lone lead byte before the closing quote", " \x81", kQuoted},
        {"lone lead byte before backslash", " \x81\\", kQuoted},
        {"0x80 and 0xFF", "\x80\xFF", kPlain},
        {"station name", Gbk(">>> 北京电台文艺广播"), kPlain},
        {"link", "http://host/dir\\tone.mp3?a='1'", kPlain},
        {"big number", "99999999999", kPlain},
        {"negative", "-245", kPlain},
        {"100 KB", std::string(100 * 1024, 'v') + " ", kQuoted},
    };
}

TEST(IniValues, AwkwardValuesReadBackByteForByte) {
    const std::vector<ValueCase> cases = AwkwardValues();
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        IniFile file("value");
        if (c.stored == Stored::kRefused) {
            // The key keeps what it had; no line is broken in two.
            ASSERT_TRUE(file.Write("s", "k", "old"));
            EXPECT_FALSE(file.Write("s", "k", c.value));
            EXPECT_EQ(file.Bytes(), "[s]\r\nk=old\r\n");
            continue;
        }
        ASSERT_TRUE(file.Write("s", "k", c.value));
        EXPECT_EQ(file.Read("s", "k"), c.value);
        const std::string line = c.stored == Stored::kPlain ? c.value : '"' + c.value + '"';
        EXPECT_EQ(file.Bytes(), "[s]\r\nk=" + line + "\r\n");
        // Written again over itself: still the same bytes on disk and the same value.
        ASSERT_TRUE(file.Write("s", "k", c.value));
        EXPECT_EQ(file.Bytes(), "[s]\r\nk=" + line + "\r\n");
    }
    // All in one file, each replacing another's old value: no value leaks into its neighbours.
    std::vector<ValueCase> storable;
    for (const ValueCase& c : cases) {
        if (c.stored != Stored::kRefused)
            storable.push_back(c);
    }
    IniFile all("values");
    for (size_t i = 0; i < storable.size(); ++i) {
        ASSERT_TRUE(
            all.Write("s", "k" + std::to_string(i), storable[(i + 1) % storable.size()].value));
    }
    for (size_t i = 0; i < storable.size(); ++i) {
        ASSERT_TRUE(all.Write("s", "k" + std::to_string(i), storable[i].value));
    }
    for (size_t i = 0; i < storable.size(); ++i) {
        EXPECT_EQ(all.Read("s", "k" + std::to_string(i)), storable[i].value) << storable[i].name;
    }
}

// Read as GetPrivateProfileString reads them: blanks around the value go, then one pair of the
// same quote mark at both ends, and what is inside is taken as it stands.
TEST(IniValues, ValuesReadAsWindowsReadsThem) {
    struct Case {
        std::string stored;
        std::string read;
    };
    const std::vector<Case> cases = {
        {"\"abc\"", "abc"},
        {"'abc'", "abc"},
        {"\"\"", ""},
        {"''", ""},
        {"\" padded \"", " padded "},
        {"\"", "\""},
        {"'", "'"},
        {"\"a", "\"a"},
        {"a\"", "a\""},
        {"\"a'", "\"a'"},
        {"'a\"", "'a\""},
        {"\"\"a\"\"", "\"a\""},
        {"'\"a\"'", "\"a\""},
        {"\"x\" ; note", "\"x\" ; note"},
        {"\"http://host/dir\\tone.mp3\"", "http://host/dir\\tone.mp3"},
        {"\"C:\\Program Files\\new\\\"", "C:\\Program Files\\new\\"},
        {"\"\\x41\\\\\"", "\\x41\\\\"},
        {"'end\\'", "end\\"},
        {"\"" + kTrailBackslash + "\"", kTrailBackslash},
        {Gbk("\"北京 电台\""), Gbk("北京 电台")},
    };
    IniFile file("quoted");
    for (const Case& c : cases) {
        file.SetBytes("[s]\r\nk = " + c.stored + "  \r\n");
        EXPECT_EQ(file.Read("s", "k"), c.read) << c.stored;
    }
}

// As a Windows tool leaves it: GBK, CRLF, spaces around '=', comments, mixed-case ASCII names.
std::string WindowsFile() {
    return Gbk("orphan=0\r\n"
               "; Quorvin settings\r\n"
               "[窗口位置]\r\n"
               "左边 = 120\r\n"
               "顶边= -40 \r\n"
               "\r\n"
               "[Audio]\r\n"
               "Volume = 35\r\n"
               "# muted once\r\n"
               "\r\n"
               "  [电台]  \r\n"
               "名称=\">>> 北京电台文艺广播\"\r\n"
               "链接 = mms://live.example.cn/radio\r\n"
               "Path=C:\\Program Files\\") +
           kTrailBackslash + "\r\n" + Gbk("\r\n[AUDIO]\r\nVolume=99\r\nExtra=1\r\n");
}

TEST(IniValues, ReadsAWindowsFile) {
    IniFile file("windows");
    file.SetBytes(WindowsFile());
    const FileState before = StateOf(file.path());
    struct Case {
        std::string section, key, value;
    };
    const std::vector<Case> cases = {
        {Gbk("窗口位置"), Gbk("左边"), "120"},
        {Gbk("窗口位置"), Gbk("顶边"), "-40"},
        {"audio", "VOLUME", "35"},  // the first [Audio] wins over [AUDIO]
        {"AUDIO", "Extra", kMissing},
        {Gbk("电台"), Gbk("名称"), Gbk(">>> 北京电台文艺广播")},
        {Gbk("电台"), Gbk("链接"), "mms://live.example.cn/radio"},
        {Gbk("电台"), "path", "C:\\Program Files\\" + kTrailBackslash},
        {Gbk("窗口位置"), "orphan", kMissing},
        {Gbk("电台"), Gbk("左边"), kMissing},
        {Gbk("音量"), Gbk("音量值"), kMissing},
        {"Audio", "# muted once", kMissing},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file.Read(c.section, c.key), c.value) << Utf8(c.section) << "/" << Utf8(c.key);
    }
    EXPECT_EQ(StateOf(file.path()), before);
}

void Replace(std::string& s, const std::string& from, const std::string& to) {
    const size_t at = s.find(from);
    ASSERT_NE(at, std::string::npos) << Utf8(from);
    s.replace(at, from.size(), to);
}

TEST(IniValues, WritesChangeOnlyTheirOwnLine) {
    IniFile file("edits");
    file.SetBytes(WindowsFile());
    std::string expected = WindowsFile();

    ASSERT_TRUE(file.Write(Gbk("窗口位置"), Gbk("左边"), "-245"));
    Replace(expected, Gbk("左边 = 120\r\n"), Gbk("左边 = -245\r\n"));
    EXPECT_EQ(file.Bytes(), expected);

    ASSERT_TRUE(file.Write(Gbk("窗口位置"), Gbk("顶边"), "7"));
    Replace(expected, Gbk("顶边= -40 \r\n"), Gbk("顶边= 7\r\n"));
    EXPECT_EQ(file.Bytes(), expected);

    ASSERT_TRUE(file.Write("AUDIO", "Mute", "1"));  // after the last key, before the comment
    Replace(expected, "Volume = 35\r\n", "Volume = 35\r\nMute=1\r\n");
    EXPECT_EQ(file.Bytes(), expected);

    ASSERT_TRUE(file.Write(Gbk("电台"), Gbk("名称"), " x"));
    Replace(expected, Gbk("名称=\">>> 北京电台文艺广播\"\r\n"), Gbk("名称=\" x\"\r\n"));
    EXPECT_EQ(file.Bytes(), expected);

    ASSERT_TRUE(file.Write(Gbk("音量"), Gbk("音量值"), "100"));
    expected += Gbk("[音量]\r\n音量值=100\r\n");
    EXPECT_EQ(file.Bytes(), expected);

    EXPECT_EQ(file.Read(Gbk("电台"), Gbk("名称")), " x");
    EXPECT_EQ(file.Read("audio", "mute"), "1");
}

TEST(IniValues, LineEndsOfTheFileAreKept) {
    struct Case {
        std::string before, section, key, after;
    };
    const std::vector<Case> cases = {
        {"", "s", "k", "[s]\r\nk=v\r\n"},     // a new file is a Windows file: CRLF
        {"[a]", "a", "k", "[a]\r\nk=v\r\n"},  // no line end yet, none to follow
        {"\n", "s", "k", "\n[s]\nk=v\n"},
        {"\x84\x31\x95\x33", "s", "k", "\x84\x31\x95\x33[s]\r\nk=v\r\n"},
        {"\xEF\xBB\xBF", "s", "k", "\xEF\xBB\xBF[s]\r\nk=v\r\n"},
        {"\xEF\xBB\xBF[a]\nk=1\n[b]", "b", "k", "\xEF\xBB\xBF[a]\nk=1\n[b]\nk=v\n"},
        {"\xEF\xBB\xBF[a]\nk=1\n[b]", "a", "k2", "\xEF\xBB\xBF[a]\nk=1\nk2=v\n[b]"},
        {"[a]\r\nk=1", "a", "k2", "[a]\r\nk=1\r\nk2=v\r\n"},
        {"[a]\r\nk=1", "a", "k", "[a]\r\nk=v"},
        {"[a]\nk=1\r", "b", "k", "[a]\nk=1\r[b]\nk=v\n"},  // a final CR ends its line
        {"[a]\n\n\n; end\n", "a", "k", "[a]\nk=v\n\n\n; end\n"},
        // Lone CRs, as some older editors end lines.
        {"\r", "s", "k", "\r[s]\rk=v\r"},
        {"[a]\rk=1\r", "a", "k", "[a]\rk=v\r"},
        {"[a]\rk=1\r[b]\rx=2\r", "a", "k2", "[a]\rk=1\rk2=v\r[b]\rx=2\r"},
        {"[a]\rk=1", "b", "k", "[a]\rk=1\r[b]\rk=v\r"},
        {"[a]\r\nk=1\rx=2\n", "a", "x", "[a]\r\nk=1\rx=v\n"},
        {"[a]\r\nk=1\rx=2\n", "a", "y", "[a]\r\nk=1\rx=2\ny=v\r\n"},
    };
    for (const Case& c : cases) {
        IniFile file("ends");
        file.SetBytes(c.before);
        ASSERT_TRUE(file.Write(c.section, c.key, "v"));
        EXPECT_EQ(file.Bytes(), c.after) << c.before;
        EXPECT_EQ(file.Read(c.section, c.key), "v") << c.before;
    }
}

// Some older editors end lines with a lone CR, and Windows reads such a file line by line. The
// file is the one of Wine's conformance tests for the profile calls, which pass on Windows.
TEST(IniValues, LoneCrEndsALineAsOnWindows) {
    IniFile file("lone-cr");
    file.SetBytes("[section1]\rname1=val1\rname2=\"val2\"\rname3\rname4=a\r[section2]\r");
    const FileState before = StateOf(file.path());
    struct Case {
        const char* section;
        const char* key;
        std::string value;
    };
    const Case cases[] = {
        {"section1", "name4", "a"},      {"section1", "name2", "val2"},
        {"section1", "NaMe1", "val1"},   {"section1", "name3", kMissing},
        {"section2", "name4", kMissing},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file.Read(c.section, c.key), c.value) << c.section << "/" << c.key;
    }
    EXPECT_EQ(StateOf(file.path()), before);

    // Written in place, and new lines end as the file's own do.
    ASSERT_TRUE(file.Write("section1", "NAME2", "v2"));
    ASSERT_TRUE(file.Write("section2", "new", "n"));
    EXPECT_EQ(file.Bytes(),
              "[section1]\rname1=val1\rname2=v2\rname3\rname4=a\r[section2]\rnew=n\r");
}

TEST(IniValues, NamesMatchIgnoringCaseOfAsciiLettersOnly) {
    IniFile file("names");
    // 丄 is 81 41 and 乤 is 81 61: their trail bytes differ only as 'A' and 'a' do.
    ASSERT_TRUE(file.Write("Sec", Gbk("丄"), "upper"));
    ASSERT_TRUE(file.Write("sEC", Gbk("乤"), "lower"));
    ASSERT_TRUE(file.Write(kTrailClose, "k", "close"));
    ASSERT_TRUE(file.Write(kTrailClose + "]x", "k", "inner bracket"));
    ASSERT_TRUE(file.Write(kTrailClose, "K", "again"));
    EXPECT_EQ(file.Read("SEC", Gbk("丄")), "upper");
    EXPECT_EQ(file.Read("sec", Gbk("乤")), "lower");
    EXPECT_EQ(file.Read(kTrailClose, "k"), "again");
    EXPECT_EQ(file.Read(kTrailClose + "]X", "k"), "inner bracket");
    EXPECT_EQ(file.Bytes(), "[Sec]\r\n" + Gbk("丄") + "=upper\r\n" + Gbk("乤") + "=lower\r\n[" +
                                kTrailClose + "]\r\nk=again\r\n[" + kTrailClose +
                                "]x]\r\nk=inner bracket\r\n");
}

TEST(IniValues, NamesThatCannotBeStoredAreRefused) {
    struct Case {
        std::string section, key;
    };
    const std::vector<Case> cases = {
        {"s", ""},   {"s", "a=b"}, {"s", "[k"},   {"s", ";k"},  {"s", "#k"},
        {"s", " k"}, {"s", "k\t"}, {"s", "k\nx"}, {"s", "k\r"}, {"a\nb", "k"},
        {" s", "k"}, {"s ", "k"},  {"\x81", "k"},  // a lead byte would swallow the ']'
    };
    IniFile file("refused");
    file.SetBytes("[s]\nk=1\n");
    for (const Case& c : cases) {
        EXPECT_FALSE(file.Write(c.section, c.key, "v")) << c.section << "/" << c.key;
        EXPECT_EQ(file.Read(c.section, c.key), kMissing) << c.section << "/" << c.key;
    }
    EXPECT_EQ(file.Bytes(), "[s]\nk=1\n");
}

// Random contents built from the bytes that matter: after a write, the written value reads back,
// every other value reads as before, and writing it again changes nothing.
TEST(IniValues, RandomContentsKeepOtherValues) {
    const std::vector<std::string> pieces = {
        "[",         "]",       "=",
        "\"",        "\\",      "\r",
        "\n",        "\r\n",    " ",
        "\t",        ";",       "#",
        "s",         "S",       "k",
        "K",         "x",       "n",
        "a",         "[s]\n",   "k=1\n",
        "[a]\r\n",   "x = 2\n", "\0"s,
        "\x81",      "\xFF",    kTrailBackslash,
        kTrailClose, Gbk("乤"), "\x84\x31\x95\x33",
        "'",         Gbk("北"),
    };
    const std::vector<std::string> sections = {"s", "a", kTrailClose};
    const std::vector<std::string> keys = {"k", "x", Gbk("乤")};
    std::mt19937 rng(20261210);
    auto text = [&](int maxPieces) {
        std::string t;
        const int n = static_cast<int>(rng() % static_cast<unsigned>(maxPieces + 1));
        for (int i = 0; i < n; ++i) t += pieces[rng() % pieces.size()];
        return t;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string content = text(40);
        const std::string& section = sections[rng() % sections.size()];
        const std::string& key = keys[rng() % keys.size()];
        const std::string value = text(6);
        const std::optional<std::string> updated = ini::SetValue(content, section, key, value);
        if (!ini::IsStorableValue(value)) {
            ASSERT_FALSE(updated);
            ASSERT_NE(value.find_first_of("\r\n"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(updated);
        ASSERT_EQ(ini::FindValue(*updated, section, key), value)
            << testing::PrintToString(content) << " " << section << "/" << key;
        for (const std::string& s : sections) {
            for (const std::string& k : keys) {
                if (s == section && k == key)
                    continue;
                ASSERT_EQ(ini::FindValue(*updated, s, k), ini::FindValue(content, s, k))
                    << testing::PrintToString(content) << " wrote " << section << "/" << key
                    << ", read " << s << "/" << k;
            }
        }
        ASSERT_EQ(ini::SetValue(*updated, section, key, value), updated);

        // The same content in a Unicode file reads the same and is edited the same way, in its
        // own encoding; a value it cannot hold is refused.
        if (!Convertible(content))
            continue;
        for (const UnicodeForm& f : UnicodeForms()) {
            const std::string file = f.mark + f.encode(content);
            const std::optional<std::string> written = ini::SetValue(file, section, key, value);
            if (Convertible(value)) {
                ASSERT_EQ(written, f.mark + f.encode(*updated))
                    << f.name << " " << testing::PrintToString(content);
            } else {
                ASSERT_FALSE(written) << f.name << " " << testing::PrintToString(content);
            }
            for (const std::string& k : keys) {
                ASSERT_EQ(ini::FindValue(file, section, k), ini::FindValue(content, section, k))
                    << f.name << " " << testing::PrintToString(content);
            }
        }
    }
}

// Saved by an editor as UTF-8 or UTF-16 (Notepad's "Unicode"), each with its byte-order mark.
TEST(IniValues, UnicodeFilesAreReadAndWrittenInTheirOwnEncoding) {
    const std::string before =
        Gbk("; 用户的注释\r\n[电台]\r\n名称 = >>> 珠江经济台\r\n链接=\"http://host/a b\"\r\n"
            "[音量]\r\n音量值=35\r\n");
    const std::string after =
        Gbk("; 用户的注释\r\n[电台]\r\n名称 = >>> 北京音乐广播\r\n链接=\"http://host/a b\"\r\n"
            "[音量]\r\n音量值=0\r\n[窗口位置]\r\n左边=-245\r\n");
    const std::string station = Gbk("电台");
    const std::string name = Gbk("名称");
    for (const UnicodeForm& f : UnicodeForms()) {
        SCOPED_TRACE(f.name);
        IniFile file("unicode");
        file.SetBytes(f.mark + f.encode(before));
        EXPECT_EQ(file.Read(station, name), Gbk(">>> 珠江经济台"));
        EXPECT_EQ(file.Read(station, Gbk("链接")), "http://host/a b");
        EXPECT_EQ(file.Read(Gbk("音量"), Gbk("音量值")), "35");

        ASSERT_TRUE(file.Write(station, name, Gbk(">>> 北京音乐广播")));
        ASSERT_TRUE(file.Write(Gbk("音量"), Gbk("音量值"), "0"));
        ASSERT_TRUE(file.Write(Gbk("窗口位置"), Gbk("左边"), "-245"));
        EXPECT_EQ(file.Bytes(), f.mark + f.encode(after));
        EXPECT_EQ(file.Read(station, name), Gbk(">>> 北京音乐广播"));

        // Bytes that are no GB18030 text have no place in this file: refused, nothing changed.
        EXPECT_FALSE(file.Write(station, name, "a\x81"));
        EXPECT_FALSE(file.Write(station, name, "\xFF"));
        EXPECT_EQ(file.Bytes(), f.mark + f.encode(after));

        // A broken sequence: the rest still reads, and the file is not rewritten, as the broken
        // bytes could not be kept.
        const std::string broken = f.mark + f.broken + f.encode(before);
        file.SetBytes(broken);
        EXPECT_EQ(file.Read(station, name), Gbk(">>> 珠江经济台"));
        EXPECT_FALSE(file.Write(station, name, "x"));
        EXPECT_EQ(file.Bytes(), broken);
    }
}

}  // namespace
}  // namespace qv::test
