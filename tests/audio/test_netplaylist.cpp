// Playlist texts a station may hand out instead of audio.

#include "playlistparse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using audio::PlaylistKind;
using Urls = std::vector<std::string>;

TEST(NetPlaylistParse, PlsEntriesComeInNumberOrder)
{
    const std::string text = "[playlist]\r\n"
                             "NumberOfEntries=3\r\n"
                             "File3=http://c.example/3\r\n"
                             "Title3=Third\r\n"
                             "file1 = http://a.example/1 \r\n"
                             "Length1=-1\r\n"
                             "FILE2=http://b.example/2\r\n"
                             "Version=2\r\n";
    EXPECT_EQ(audio::parsePls(text),
              (Urls{"http://a.example/1", "http://b.example/2", "http://c.example/3"}));
}

TEST(NetPlaylistParse, PlsSkipsMalformedAndRepeatedKeys)
{
    const std::string text = "[playlist]\n"
                             "File1=http://first/\n"
                             "File1=http://duplicate/\n"
                             "File=http://no-number/\n"
                             "Filex=http://not-a-number/\n"
                             "File2\n"
                             "File3=\n"
                             "File10=http://ten/\n"
                             "File4=http://four/";  // no final line break
    EXPECT_EQ(audio::parsePls(text), (Urls{"http://first/", "http://four/", "http://ten/"}));
}

TEST(NetPlaylistParse, M3uTakesEveryNonCommentLine)
{
    const std::string text = "\xEF\xBB\xBF#EXTM3U\r\n"
                             "#EXTINF:-1,Station One\r\n"
                             "http://one.example/stream\r\n"
                             "\r\n"
                             "   \r\n"
                             "#EXTINF:-1,Station Two\n"
                             "  https://two.example/live  \n"
                             "file:///etc/passwd\n";
    // Filtering by scheme is the opener's job; the parser reports what is there.
    EXPECT_EQ(audio::parseM3u(text),
              (Urls{"http://one.example/stream", "https://two.example/live", "file:///etc/passwd"}));
    EXPECT_TRUE(audio::parseM3u("#EXTM3U\n#only comments\n").empty());
    EXPECT_TRUE(audio::parseM3u("").empty());
}

TEST(NetPlaylistParse, DispatchByKind)
{
    EXPECT_EQ(audio::parsePlaylist(PlaylistKind::Pls, "[playlist]\nFile1=http://x/\n"), (Urls{"http://x/"}));
    EXPECT_EQ(audio::parsePlaylist(PlaylistKind::M3u, "http://y/\n"), (Urls{"http://y/"}));
    EXPECT_TRUE(audio::parsePlaylist(PlaylistKind::None, "http://y/\n").empty());
}

TEST(NetPlaylistDetect, ByContent)
{
    EXPECT_EQ(audio::detectPlaylist("", "[playlist]\nFile1=http://x/"), PlaylistKind::Pls);
    EXPECT_EQ(audio::detectPlaylist("", "\r\n  [Playlist]\r\n"), PlaylistKind::Pls);
    EXPECT_EQ(audio::detectPlaylist("audio/mpeg", "#EXTM3U\nhttp://x/"), PlaylistKind::M3u);
    EXPECT_EQ(audio::detectPlaylist("text/plain", "http://x/stream\n"), PlaylistKind::M3u);
    EXPECT_EQ(audio::detectPlaylist("", "\xEF\xBB\xBFhttps://x/stream\n"), PlaylistKind::M3u);
    EXPECT_EQ(audio::detectPlaylist("text/html", "<html><body>nothing</body></html>"), PlaylistKind::None);
}

TEST(NetPlaylistDetect, ByContentType)
{
    EXPECT_EQ(audio::detectPlaylist("audio/x-scpls", "File1=http://x/"), PlaylistKind::Pls);
    EXPECT_EQ(audio::detectPlaylist("Audio/X-MpegURL; charset=utf-8", "stream.mp3\n"), PlaylistKind::M3u);
    EXPECT_EQ(audio::detectPlaylist("application/vnd.apple.mpegurl", "#EXTINF:-1,\nhttp://x/\n"),
              PlaylistKind::M3u);
}

TEST(NetPlaylistDetect, AudioIsNeverTakenForAPlaylist)
{
    // An MP3 frame header and an ID3 tag, even when the server calls them lists.
    const std::string frame("\xFF\xFB\x90\x64\x00\x00\x00\x00", 8);
    const std::string id3("ID3\x04\x00\x00\x00\x00\x01\x00", 10);
    EXPECT_EQ(audio::detectPlaylist("audio/mpeg", frame), PlaylistKind::None);
    EXPECT_EQ(audio::detectPlaylist("audio/x-scpls", frame), PlaylistKind::None);
    EXPECT_EQ(audio::detectPlaylist("audio/x-mpegurl", id3), PlaylistKind::None);
    // HLS is left to the demuxer.
    EXPECT_EQ(audio::detectPlaylist("application/vnd.apple.mpegurl",
                                    "#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg1.ts\n"),
              PlaylistKind::None);
}

TEST(NetPlaylistDetect, HttpSchemes)
{
    EXPECT_TRUE(audio::isHttpUrl("http://127.0.0.1:8000/stream"));
    EXPECT_TRUE(audio::isHttpUrl("HTTPS://radio.example/"));
    EXPECT_FALSE(audio::isHttpUrl("http://"));
    EXPECT_FALSE(audio::isHttpUrl("file:///etc/passwd"));
    EXPECT_FALSE(audio::isHttpUrl("httpproxy://x/"));
    EXPECT_FALSE(audio::isHttpUrl("ftp://x/"));
    EXPECT_FALSE(audio::isHttpUrl(" http://x/"));
    EXPECT_FALSE(audio::isHttpUrl("/etc/passwd"));
    EXPECT_FALSE(audio::isHttpUrl(""));
}
