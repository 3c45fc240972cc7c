// Values and lines: what reads back, what a write keeps, how names match.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/ini_format.h"
#include "tests/ini/ini_helpers.h"

namespace qv::test {
namespace {

using namespace std::string_literals;

// 誠 is D5 5C, 乕 is 81 5B, 乚 is 81 5D: trail bytes that are '\', '[' and ']' on their own.
const std::string kTrailBackslash = Gbk("誠");
const std::string kTrailOpen = Gbk("乕");
const std::string kTrailClose = Gbk("乚");

struct ValueCase {
    const char* name;
    std::string value;
    bool plain;  // stored as key=value, unquoted
};

std::vector<ValueCase> AwkwardValues() {
    return {
        {"empty", "", true},
        {"leading blank", " x", false},
        {"trailing blank", "x ", false},
        {"only blanks", "  \t ", false},
        {"quote alone", "\"", false},
        {"quoted", "\"abc\"", false},
        {"leading quote", "\"abc", false},
        {"trailing quote", "abc\"", true},
        {"equals", "a=b=", true},
        {"only equals", "=", true},
        {"section look", "[x]", true},
        {"comment look", ";x", true},
        {"hash look", "#x", true},
        {"backslashes", "C:\\dir\\new\\", true},
        {"escape look", "\\n\\x41\\", true},
        {"escape look quoted", " \\n\\x41\\\\ ", false},
        {"CR", "a\rb", false},
        {"LF", "\nline", false},
        {"CRLF", "a\r\nb\r\n", false},
        {"tabs", "\ta\tb\t", false},
        {"controls", "\x01\x1f\x7f"s + '\0' + "end", false},
        {"GBK trail bytes", kTrailBackslash + kTrailOpen + kTrailClose + "n", true},
        {"GBK trail backslash before n, quoted", " " + kTrailBackslash + "n" + kTrailBackslash,
         false},
        {"lone lead byte before LF", "\x81\n\x81", false},
        {"lone lead byte before backslash", " \x81\\", false},
        {"0x80 and 0xFF", "\x80\xFF", true},
        {"station name", Gbk(">>> 北京电台文艺广播"), true},
        {"big number", "99999999999", true},
        {"negative", "-245", true},
        {"100 KB", std::string(100 * 1024, 'v') + "\n" + std::string(10, 'w'), false},
    };
}

TEST(IniValues, AwkwardValuesReadBackByteForByte) {
    const std::vector<ValueCase> cases = AwkwardValues();
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        IniFile file("value");
        ASSERT_TRUE(file.Write("s", "k", c.value));
        EXPECT_EQ(file.Read("s", "k"), c.value);
        if (c.plain) {
            EXPECT_EQ(file.Bytes(), "[s]\nk=" + c.value + "\n");
        }
        // Written again over itself: still the same bytes on disk and the same value.
        const std::string before = file.Bytes();
        ASSERT_TRUE(file.Write("s", "k", c.value));
        EXPECT_EQ(file.Bytes(), before);
    }
    // All in one file, each replacing another's old value: no value leaks into its neighbours.
    IniFile all("values");
    for (size_t i = 0; i < cases.size(); ++i) {
        ASSERT_TRUE(all.Write("s", "k" + std::to_string(i), cases[(i + 1) % cases.size()].value));
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        ASSERT_TRUE(all.Write("s", "k" + std::to_string(i), cases[i].value));
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(all.Read("s", "k" + std::to_string(i)), cases[i].value) << cases[i].name;
    }
}

TEST(IniValues, QuotedValuesAsOtherToolsWriteThem) {
    struct Case {
        std::string stored;
        std::string read;
    };
    const std::vector<Case> cases = {
        {"\"abc\"", "abc"},
        {"\"\"", ""},
        {"\" padded \"", " padded "},
        {"\"a", "\"a"},
        {"a\"", "a\""},
        {"\"x\" ; note", "\"x\" ; note"},
        {"\"C:\\q\\\"", "C:\\q\\"},  // unknown escape \q kept, "\\" taken as one backslash
        {"\"\\x4\"", "\\x4"},
        {"\"\\x41\\t\"", "A\t"},
        {"\"end\\\"", "end\\"},
    };
    IniFile file("quoted");
    for (const Case& c : cases) {
        file.SetBytes("[s]\nk = " + c.stored + "  \n");
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
        {"", "s", "k", "[s]\nk=v\n"},  // a new file takes LF
        {"\xEF\xBB\xBF", "s", "k", "\xEF\xBB\xBF[s]\nk=v\n"},
        {"\xEF\xBB\xBF[a]\nk=1\n[b]", "b", "k", "\xEF\xBB\xBF[a]\nk=1\n[b]\nk=v\n"},
        {"\xEF\xBB\xBF[a]\nk=1\n[b]", "a", "k2", "\xEF\xBB\xBF[a]\nk=1\nk2=v\n[b]"},
        {"[a]\r\nk=1", "a", "k2", "[a]\r\nk=1\r\nk2=v\r\n"},
        {"[a]\r\nk=1", "a", "k", "[a]\r\nk=v"},
        {"[a]\nk=1\r", "b", "k", "[a]\nk=1\r\n[b]\nk=v\n"},
        {"[a]\n\n\n; end\n", "a", "k", "[a]\nk=v\n\n\n; end\n"},
    };
    for (const Case& c : cases) {
        IniFile file("ends");
        file.SetBytes(c.before);
        ASSERT_TRUE(file.Write(c.section, c.key, "v"));
        EXPECT_EQ(file.Bytes(), c.after) << c.before;
        EXPECT_EQ(file.Read(c.section, c.key), "v") << c.before;
    }
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
    EXPECT_EQ(file.Bytes(), "[Sec]\n" + Gbk("丄") + "=upper\n" + Gbk("乤") + "=lower\n[" +
                                kTrailClose + "]\nk=again\n[" + kTrailClose +
                                "]x]\nk=inner bracket\n");
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
        kTrailClose, Gbk("乤"), "\xEF\xBB\xBF",
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
    }
}

}  // namespace
}  // namespace qv::test
