// What a station's texts become: the title from its metadata, the name, web
// address and bit rate from its header lines, and the line breaks that must
// never reach a stored list.

#include "stationinfo.h"

#include <gtest/gtest.h>

#include <string>

using namespace Qt::StringLiterals;
using namespace std::string_literals;

namespace {

TEST(StationInfo, TheTitleLiesBetweenTheFirstMarkers)
{
    const struct
    {
        std::string meta;
        QString title;
    } cases[] = {
        {"StreamTitle='Song';StreamUrl='';", u"Song"_s},
        // The first "';" ends it; lone quotes belong to the title.
        {"StreamTitle='Song 'A'';StreamUrl='';", u"Song 'A'"_s},
        {"StreamTitle='Unended", {}},
        {"streamtitle='lower';", {}},
        {"StreamUrl='x';StreamTitle='Late';", u"Late"_s},
        {"StreamTitle='';", {}},
        // Latin-1 from an old station, UTF-8 from a new one.
        {"StreamTitle='Caf\xe9';", u"Caf\u00e9"_s},
        {"StreamTitle='Caf\xc3\xa9';", u"Caf\u00e9"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.meta);
        EXPECT_EQ(streamTitleFromMeta(c.meta), c.title);
    }
}

TEST(StationInfo, HeaderLinesFillTheFieldsTheyName)
{
    const struct
    {
        std::string tags;
        TStreamInfo expected;
    } cases[] = {
        {"icy-name:   My Station\0icy-url: http://my.example/\0icy-br:128\0\0"s,
         {{}, u"My Station"_s, u"http://my.example/"_s, u"128"_s}},
        // Names are matched exactly; other lines are skipped.
        {"ICY-NAME:x\0Content-Type: audio/mpeg\0icy-genre: Pop\0\0"s, {{}, u"kept"_s, u"kept"_s, u"kept"_s}},
        // The last of repeated lines wins; nothing after the empty line counts.
        {"icy-br: 64\0icy-br: 96\0\0icy-name: Late\0\0"s, {{}, u"kept"_s, u"kept"_s, u"96"_s}},
        {"icy-name:\0\0"s, {{}, QString(), u"kept"_s, u"kept"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tags);
        TStreamInfo info{u"title"_s, u"kept"_s, u"kept"_s, u"kept"_s};
        stationHeadersFromTags(c.tags, info);
        EXPECT_EQ(info.streamTitle, u"title"_s);
        EXPECT_EQ(info.stationName, c.expected.stationName);
        EXPECT_EQ(info.stationUrl, c.expected.stationUrl);
        EXPECT_EQ(info.bitRate, c.expected.bitRate);
    }
}

TEST(StationInfo, DisplayTextsCarryNoLineBreaks)
{
    EXPECT_EQ(stripLineBreaks(u"a\r\nb\nc\rd"_s), u"a  b c d"_s);
    EXPECT_EQ(stationAlbumText({{}, {}, u"http://x/\n"_s, u"1\r28"_s}), u"http://x/  (1 28 kBit)"_s);
    // An unreachable station.
    EXPECT_EQ(stationAlbumText({}), u" ( kBit)"_s);
}

} // namespace
