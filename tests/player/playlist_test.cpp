// Playlists as the player reads them, and the bounded walk from a link through them.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <map>
#include <optional>

#include "kit/sealed.h"
#include "playlist.h"
#include "tests/support/support.h"

extern char** environ;

namespace qv {
namespace {

using Entries = std::vector<std::string>;

TEST(Playlist, ReadsEachForm) {
    const struct {
        const char* name;
        std::string text;
        std::string address;
        std::string type;
        PlaylistForm form;
        Entries entries;
    } cases[] = {
        {"m3u",
         "#EXTM3U\r\n#EXTINF:-1,One\r\nhttp://a/1\r\n\r\n  http://a/2  \r\n# note\r\n",
         "",
         "",
         PlaylistForm::M3u,
         {"http://a/1", "http://a/2"}},
        {"m3u with a byte-order mark",
         "\xEF\xBB\xBF#EXTM3U\nrel/3.mp3\n",
         "",
         "",
         PlaylistForm::M3u,
         {"rel/3.mp3"}},
        {"m3u named so",
         "http://a/1\nhttp://a/2\n",
         "http://h/list.M3U?x=1",
         "",
         PlaylistForm::M3u,
         {"http://a/1", "http://a/2"}},
        {"m3u typed so",
         "http://a/1\n",
         "http://h/get",
         "audio/x-mpegurl; charset=utf-8",
         PlaylistForm::M3u,
         {"http://a/1"}},
        {"pls",
         "\n[Playlist]\nNumberOfEntries=2\nFile1=http://a/1\nTitle1=x\nfile2 = http://a/2\n",
         "",
         "",
         PlaylistForm::Pls,
         {"http://a/1", "http://a/2"}},
        {"reference",
         "[Reference]\r\nRef1=http://wm/live?MSWMExt=.asf\r\nRef2=mms://wm/live\r\n",
         "",
         "",
         PlaylistForm::Reference,
         {"mmsh://wm/live?MSWMExt=.asf", "mms://wm/live"}},
        {"asx",
         "<ASX version=\"3.0\"><Entry><Ref href=\"mms://wm/a\"/></Entry></ASX>",
         "",
         "",
         PlaylistForm::Asx,
         {"mmsh://wm/a"}},
        // Not playlists the player reads.
        {"hls",
         "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nseg0.ts\n",
         "",
         "",
         PlaylistForm::None,
         {}},
        {"web page",
         "<!DOCTYPE html>\n<html><body>x</body></html>\n",
         "http://h/s",
         "text/html",
         PlaylistForm::None,
         {}},
        {"plain text", "http://a/1\n", "http://h/list.txt", "text/plain", PlaylistForm::None, {}},
        {"bytes named .m3u",
         std::string("ID3\x03\x00\x00\x00\x00\x00\x00\xff\xfb", 12),
         "http://h/x.m3u",
         "",
         PlaylistForm::None,
         {}},
        {"empty", "", "http://h/x.m3u", "", PlaylistForm::None, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Playlist p = ReadPlaylist(c.text, c.address, c.type);
        EXPECT_EQ(p.form, c.form);
        EXPECT_EQ(p.entries, c.entries);
    }
}

TEST(Playlist, TakesTheFirstHundredWholeEntries) {
    std::string m3u = "#EXTM3U\n";
    for (int i = 1; i <= 200000; ++i) m3u += "http://a/" + std::to_string(i) + "\n";
    const Playlist p = ReadPlaylist(m3u);
    ASSERT_EQ(p.entries.size(), kMaxPlaylistEntries);
    EXPECT_EQ(p.entries.front(), "http://a/1");
    EXPECT_EQ(p.entries.back(), "http://a/100");
    // A control byte inside an entry drops the entry, not the rest.
    const Playlist odd =
        ReadPlaylist(std::string("[playlist]\nFile1=http://a/") + '\0' + "x\nFile2=b\n");
    EXPECT_EQ(odd.entries, Entries{"b"});
}

TEST(Playlist, EntriesResolveAgainstTheirPlaylist) {
    const struct {
        const char* base;
        const char* entry;
        const char* expected;
    } cases[] = {
        {"http://h/dir/list.m3u?x=1", "http://o/s", "http://o/s"},
        {"http://h/dir/list.m3u?x=1", "s.mp3", "http://h/dir/s.mp3"},
        {"http://h/dir/list.m3u", "/s", "http://h/s"},
        {"http://h/dir/list.m3u", "//o/s", "http://o/s"},
        {"http://h", "s", "http://h/s"},
        {"http://h?a=/b", "s", "http://h/s"},
        // A path in a server's playlist names a place on that server, never a local file.
        {"https://h/list.pls", "/home/user/music.mp3", "https://h/home/user/music.mp3"},
        {"http://h/list.pls", "file:///etc/passwd", "file:///etc/passwd"},
        {"/home/u/radio/list.m3u", "s.mp3", "/home/u/radio/s.mp3"},
        {"/home/u/radio/list.m3u", "/srv/s.mp3", "/srv/s.mp3"},
        {"list.m3u", "s.mp3", "s.mp3"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveEntry(c.base, c.entry), c.expected) << c.entry;
}

TEST(Playlist, NetworkAndLocalAddresses) {
    for (const char* a : {"http://h/", "HTTPS://h/", "mms://h/", "mmsh://h/", "mmst://h/",
                          "rtsp://h/", "rtmp://h/"}) {
        EXPECT_TRUE(IsNetworkAddress(a)) << a;
        EXPECT_FALSE(IsLocalAddress(a)) << a;
    }
    for (const char* a :
         {"file:///etc/passwd", "/etc/passwd", "music.mp3", "memory://#EXTM3U",
          "av://file:/etc/passwd", "lavf://file", "edl://x", "fd://0", "http:/h", ""}) {
        EXPECT_FALSE(IsNetworkAddress(a)) << a;
    }
    for (const char* a : {"file:///etc/passwd", "/etc/passwd", "music.mp3"})
        EXPECT_TRUE(IsLocalAddress(a)) << a;
}

// A Turkish single-byte locale, made for the test in its own folder and set for LC_CTYPE while
// it lives: there tolower('I') is a dotless i (0xFD), and the C library's case folding would read
// "[PLAYLIST]" as no playlist and "FILE://" as no file.
class TurkishCharacters final {
  public:
    TurkishCharacters() {
        const std::string folder = kit::NewFolder("locale");
        const std::string name = "tr_TR.ISO-8859-9";
        std::string out = folder + "/" + name;
        char* argv[] = {const_cast<char*>("localedef"),
                        const_cast<char*>("-i"),
                        const_cast<char*>("tr_TR"),
                        const_cast<char*>("-f"),
                        const_cast<char*>("ISO-8859-9"),
                        out.data(),
                        nullptr};
        pid_t pid = 0;
        int status = -1;
        if (::posix_spawnp(&pid, "localedef", nullptr, nullptr, argv, environ) != 0 ||
            ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            return;
        }
        if (const char* path = std::getenv("LOCPATH"))
            oldPath_ = path;
        ::setenv("LOCPATH", folder.c_str(), 1);
        old_ = std::setlocale(LC_CTYPE, nullptr);
        ok_ = std::setlocale(LC_CTYPE, name.c_str()) != nullptr;
    }
    TurkishCharacters(const TurkishCharacters&) = delete;
    TurkishCharacters& operator=(const TurkishCharacters&) = delete;
    ~TurkishCharacters() {
        if (old_.empty())
            return;
        std::setlocale(LC_CTYPE, old_.c_str());
        if (oldPath_)
            ::setenv("LOCPATH", oldPath_->c_str(), 1);
        else
            ::unsetenv("LOCPATH");
    }
    [[nodiscard]] bool ok() const { return ok_; }

  private:
    std::string old_;
    std::optional<std::string> oldPath_;
    bool ok_ = false;
};

TEST(Playlist, NamesFoldTheSameInAnyLocale) {
    const TurkishCharacters turkish;
    if (!turkish.ok())
        GTEST_SKIP() << "no Turkish single-byte locale could be made (localedef, tr_TR)";
    // The locale does what it is here for (volatile: GCC folds tolower of a constant as in "C").
    volatile int upper = 'I';
    ASSERT_EQ(std::tolower(upper), 0xFD);
    const Playlist pls = ReadPlaylist("[PLAYLIST]\nFILE1=http://a/1\n");
    EXPECT_EQ(pls.form, PlaylistForm::Pls);
    EXPECT_EQ(pls.entries, Entries{"http://a/1"});
    EXPECT_TRUE(IsLocalAddress("FILE:///music/a.mp3"));
}

Playlist M3u(Entries entries) {
    return {PlaylistForm::M3u, std::move(entries)};
}

// The links a walk gives, `expand`ing each link that `playlists` names.
Entries Walk(const std::string& link, const std::map<std::string, Playlist>& playlists,
             std::vector<PlaylistProblem>* problems = nullptr) {
    PlaylistWalk walk(link);
    Entries tried;
    while (auto next = walk.next()) {
        tried.push_back(*next);
        if (auto p = playlists.find(*next); p != playlists.end()) {
            if (auto problem = walk.expand(p->second, *next); problem && problems)
                problems->push_back(*problem);
        }
    }
    return tried;
}

TEST(PlaylistWalk, EntriesTakeTheirPlaylistsPlaceInOrder) {
    std::vector<PlaylistProblem> problems;
    EXPECT_EQ(
        Walk("http://h/top",
             {{"http://h/top", M3u({"inner", "http://o/b", "inner", "http://o/b"})},
              {"http://h/inner", M3u({"http://o/a1", "http://o/a2"})}},
             &problems),
        (Entries{"http://h/top", "http://h/inner", "http://o/a1", "http://o/a2", "http://o/b"}));
    EXPECT_TRUE(problems.empty());
}

TEST(PlaylistWalk, LoopsEndTheWalk) {
    std::vector<PlaylistProblem> problems;
    EXPECT_EQ(Walk("http://h/a", {{"http://h/a", M3u({"http://h/a"})}}, &problems),
              Entries{"http://h/a"});
    EXPECT_EQ(Walk("http://h/a", {{"http://h/a", M3u({"http://h/b"})}, {"http://h/b", M3u({"/a"})}},
                   &problems),
              (Entries{"http://h/a", "http://h/b"}));
    EXPECT_EQ(problems, (std::vector{PlaylistProblem::Loop, PlaylistProblem::Loop}));
}

TEST(PlaylistWalk, NestingEndsAtItsBound) {
    std::map<std::string, Playlist> chain;
    for (int i = 0; i < 10; ++i)
        chain["http://h/" + std::to_string(i)] = M3u({"/" + std::to_string(i + 1)});
    std::vector<PlaylistProblem> problems;
    const Entries tried = Walk("http://h/0", chain, &problems);
    EXPECT_EQ(tried.size(), static_cast<size_t>(kMaxPlaylistDepth) + 2);
    EXPECT_EQ(problems, std::vector{PlaylistProblem::TooDeep});
}

TEST(PlaylistWalk, NetworkPlaylistsLeadOnlyToTheNetwork) {
    const Playlist mixed = M3u({"file:///home/u/a.wav", "memory://#EXTM3U\nfile:///x",
                                "av://file:/etc/passwd", "http://o/s", "/srv/s.mp3"});
    std::vector<PlaylistProblem> problems;
    EXPECT_EQ(Walk("http://h/l", {{"http://h/l", mixed}}, &problems),
              (Entries{"http://h/l", "http://o/s", "http://h/srv/s.mp3"}));
    EXPECT_EQ(Walk("http://h/l", {{"http://h/l", M3u({"file:///home/u/a.wav"})}}, &problems),
              Entries{"http://h/l"});
    EXPECT_EQ(problems, std::vector{PlaylistProblem::Empty});
    // The user's own playlist file may name files.
    EXPECT_EQ(Walk("/home/u/l.m3u", {{"/home/u/l.m3u", M3u({"a.wav", "http://o/s"})}}),
              (Entries{"/home/u/l.m3u", "/home/u/a.wav", "http://o/s"}));
}

TEST(PlaylistWalk, AtMostAHundredEntriesHoweverNested) {
    Entries outer, inner;
    for (int i = 0; i < 60; ++i) {
        outer.push_back("http://o/" + std::to_string(i));
        inner.push_back("http://i/" + std::to_string(i));
    }
    outer.front() = "http://h/inner";
    const Entries tried =
        Walk("http://h/outer", {{"http://h/outer", M3u(outer)}, {"http://h/inner", M3u(inner)}});
    ASSERT_EQ(tried.size(), 1 + kMaxPlaylistEntries);
    EXPECT_EQ(tried[2], "http://i/0");
    EXPECT_EQ(tried[41], "http://i/39");  // the hundredth entry taken
    EXPECT_EQ(tried.back(), "http://o/59");
}

std::string Master(const Entries& variants) {
    std::string text = "#EXTM3U\n#EXT-X-VERSION:3\n";
    for (const std::string& v : variants)
        text += "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.2\"\n" + v + "\n";
    return text;
}

const std::string kMedia = "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nseg1.ts\n";

TEST(VariantCheck, FindsMasterPlaylistsThatLeadBackOrOnWithoutEnd) {
    std::map<std::string, std::string> deep;
    for (int i = 0; i < 10; ++i)
        deep["http://h/" + std::to_string(i)] = Master({std::to_string(i + 1)});
    const struct {
        const char* name;
        std::map<std::string, std::string> texts;  // what each playlist holds; others: nothing
        std::optional<PlaylistProblem> problem;
        size_t reads;
    } cases[] = {
        {"media playlist", {{"http://h/0", kMedia}}, std::nullopt, 1},
        {"master of media playlists, one named twice",
         {{"http://h/0", Master({"a.m3u8", "/b.m3u8", "a.m3u8"})},
          {"http://h/a.m3u8", kMedia},
          {"http://h/b.m3u8", kMedia}},
         std::nullopt,
         3},
        {"master of a master",
         {{"http://h/0", Master({"m"})}, {"http://h/m", Master({"x"})}},
         std::nullopt,
         3},
        {"names itself", {{"http://h/0", Master({"0"})}}, PlaylistProblem::Loop, 1},
        {"two that name each other",
         {{"http://h/0", Master({"1"})}, {"http://h/1", Master({"http://h/0"})}},
         PlaylistProblem::Loop,
         2},
        {"names the playlist that led to it",
         {{"http://h/0", Master({"/list.m3u"})}},
         PlaylistProblem::Loop,
         1},
        {"without end", deep, PlaylistProblem::TooDeep, static_cast<size_t>(kMaxPlaylistDepth) + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VariantCheck check({"http://h/list.m3u", "http://h/0"},
                           {"http://h/0", "http://h/list.m3u"});
        std::optional<PlaylistProblem> problem;
        size_t reads = 0;
        while (!problem) {
            const std::optional<Lead> next = check.next();
            if (!next)
                break;
            ++reads;
            const auto text = c.texts.find(next->address);
            problem = check.read(text == c.texts.end() ? "" : text->second, next->address);
        }
        EXPECT_EQ(problem, c.problem);
        EXPECT_EQ(reads, c.reads);
    }
}

TEST(VariantCheck, ReadsAtMostAHundredPlaylists) {
    Entries variants;
    for (int i = 0; i < 300; ++i) variants.push_back("v" + std::to_string(i));
    VariantCheck check({}, {"http://h/0", ""});
    ASSERT_TRUE(check.next());
    ASSERT_FALSE(check.read(Master(variants), "http://h/0"));
    size_t reads = 1;
    while (check.next()) ++reads;
    EXPECT_EQ(reads, kMaxPlaylistEntries);
}

// What a server sends leads only to the network; what the user names may lead anywhere.
TEST(AddressRule, OnlyTheUsersOwnAddressesLeadOffTheNetwork) {
    const struct {
        const char* from;
        const char* to;
        bool follows;
    } cases[] = {
        {"", "/home/u/radio.m3u", true},
        {"", "file:///home/u/radio.m3u", true},
        {"/home/u/radio.m3u", "/home/u/a.wav", true},
        {"/home/u/radio.m3u", "http://o/s", true},
        {"http://h/l", "http://o/s", true},
        {"https://h/l", "mmsh://o/s", true},
        {"http://h/l", "file:///etc/passwd", false},
        {"http://h/l", "/etc/passwd", false},
        {"HTTP://h/l", "fd://0", false},
        {"mms://h/l", "av://file:/etc/passwd", false},
        {"http://h/l", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MayFollow(c.from, c.to), c.follows) << c.from << " -> " << c.to;
}

// A master playlist from a server names a file of the user's among its variants: that one is not
// read, the rest are, whichever way it is written.
TEST(VariantCheck, ReadsNoLocalVariantOfARemoteMaster) {
    VariantCheck check({}, {"http://h/0", ""});
    ASSERT_TRUE(check.next());
    ASSERT_FALSE(check.read(Master({"file:///home/u/v.m3u8", "/home/u/passwd", "a.m3u8",
                                    "file:/etc/passwd", "http://o/b.m3u8"}),
                            "http://h/0"));
    Entries read;
    while (const auto next = check.next()) {
        EXPECT_EQ(next->from, "http://h/0");
        read.push_back(next->address);
    }
    // A path, or a name without "//" after its colon, is a place on the server.
    EXPECT_EQ(read, (Entries{"http://h/home/u/passwd", "http://h/a.m3u8",
                             "http://h/file:/etc/passwd", "http://o/b.m3u8"}));
    // The user's own master playlist file may name files beside it.
    VariantCheck local({}, {"/home/u/radio/master.m3u8", ""});
    ASSERT_TRUE(local.next());
    ASSERT_FALSE(local.read(Master({"v.m3u8"}), "/home/u/radio/master.m3u8"));
    const auto next = local.next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->address, "/home/u/radio/v.m3u8");
}

}  // namespace
}  // namespace qv
