// Reading ASX playlists, which the player fetches itself when mpv cannot open a link.
#include <gtest/gtest.h>

#include "asx.h"

namespace qv {
namespace {

using namespace std::string_literals;

TEST(Asx, RecognisesThePlaylistByItsRootTag) {
    const struct {
        const char* body;
        bool asx;
    } cases[] = {
        {"<asx version=\"3.0\"><entry/></asx>", true},
        {"\xEF\xBB\xBF\r\n  <ASX VERSION=\"3.0\">", true},
        {"<?xml version=\"1.0\"?><!-- made by hand --><Asx>", true},
        {"<asxfoo>", false},
        {"<html><asx></asx></html>", false},
        {"[Reference]\r\nRef1=http://example.invalid/a\r\n", false},
        {"", false},
        {"<!-- never closed <asx>", false},
    };
    for (const auto& c : cases) EXPECT_EQ(LooksLikeAsx(c.body), c.asx) << c.body;
}

TEST(Asx, ReferencesInOrderWithEntitiesDecoded) {
    const char* body =
        "<ASX version=\"3.0\">\r\n"
        "<!-- <ref href=\"http://commented.invalid/\"/> -->\r\n"
        "<Entry><Ref HREF = 'mms://a.invalid/live?x=1&amp;y=2' /></Entry>\r\n"
        "<entry><ref href=\"  http://b.invalid/s  \"/><REF href=http://c.invalid/t></entry>\r\n"
        "<entry><reference href=\"http://not-a-ref.invalid/\"/><ref title=\"no "
        "address\"/></entry>\r\n"
        "<entry><ref href=\"\"/><ref href=\"http://d.invalid/&#10;x\"/></entry>\r\n"
        "</ASX>";
    const std::vector<std::string> expected = {
        "mmsh://a.invalid/live?x=1&y=2",
        "http://b.invalid/s",
        "http://c.invalid/t",
        "http://d.invalid/&#10;x",
    };
    EXPECT_EQ(AsxReferences(body), expected);
}

TEST(Asx, BrokenOrHostileTextGivesWhatItCanAndKeepsLinesWhole) {
    EXPECT_TRUE(AsxReferences("<asx><ref href=\"http://x.invalid/").empty());
    EXPECT_TRUE(AsxReferences("<asx><ref").empty());
    EXPECT_TRUE(AsxReferences("<asx>\0<ref href=\"a\0b\"/>"s).empty());
    // A line break inside an address would add an entry of the sender's choosing.
    EXPECT_TRUE(
        AsxReferences("<asx><ref href=\"http://a.invalid/\nfile:///etc/passwd\"/>").empty());
}

}  // namespace
}  // namespace qv
