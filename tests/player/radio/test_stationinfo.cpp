// The parsing rules for what a station tells: the title in its metadata and
// the icy-* header lines (the loopback stations cannot send every odd form,
// as FFmpeg tidies header lines on the way).

#include "stationinfo.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::string_literals;

namespace {

TEST(StationInfo, TitlesAndHeaderLinesFollowTheExactRules)
{
    const std::pair<std::string, QString> titles[] = {
        {"StreamTitle='Song 'A'';StreamUrl='';", u"Song 'A'"_s},  // the first "';" ends it
        {"StreamTitle='Unended", {}},
        {"streamtitle='lower';", {}},
        {"StreamUrl='x';StreamTitle='Late';", u"Late"_s},
        {"StreamTitle='Caf\xe9';", u"Caf\u00e9"_s},          // Latin-1 from an old station
        {"StreamTitle='Caf\xc3\xa9';", u"Caf\u00e9"_s},      // UTF-8 from a new one
    };
    for (const auto &[meta, title] : titles)
        EXPECT_EQ(streamTitleFromMeta(meta), title) << meta;

    const std::pair<std::string, QStringList> headers[] = {
        {"icy-name:   My Station\0icy-url:http://my.example/\0icy-br: 128\0\0"s,
         {u"My Station"_s, u"http://my.example/"_s, u"128"_s}},
        // Exact names only; a missing line leaves the field as it was.
        {"ICY-NAME:x\0Content-Type: audio/mpeg\0icy-genre: Pop\0\0"s, {u"kept"_s, u"kept"_s, u"kept"_s}},
        // The last repeated line wins; nothing after the empty line counts.
        {"icy-br: 64\0icy-br: 96\0\0icy-name: Late\0\0"s, {u"kept"_s, u"kept"_s, u"96"_s}},
    };
    for (const auto &[tags, expected] : headers) {
        TStreamInfo info{u"title"_s, u"kept"_s, u"kept"_s, u"kept"_s};
        stationHeadersFromTags(tags, info);
        EXPECT_EQ((QStringList{info.stationName, info.stationUrl, info.bitRate}), expected) << tags;
        EXPECT_EQ(info.streamTitle, u"title"_s);
    }
}

} // namespace
