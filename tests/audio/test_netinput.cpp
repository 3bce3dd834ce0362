// The network input against a real HTTP/ICY server on the loopback interface.

#include "netinput.h"
#include "support/loopbackserver.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using radiotest::IcyStream;
using radiotest::LoopbackServer;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> tagLines(const std::string &tags)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < tags.size()) {
        const std::size_t end = tags.find('\0', start);
        if (end == std::string::npos || end == start)
            break;
        lines.push_back(tags.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool wellFormedTags(const std::string &tags)
{
    return tags.size() >= 1 && tags.back() == '\0' && (tags.size() == 1 || tags[tags.size() - 2] == '\0');
}

struct ReadResult {
    int packets = 0;
    int error = 0;
    std::vector<std::string> metas;
};

// Reads like the decoder thread does, polling the metadata after each packet.
ReadResult readPackets(audio::NetInput &input, int maxPackets)
{
    ReadResult result;
    AVPacket *packet = av_packet_alloc();
    std::string meta;
    while (result.packets < maxPackets) {
        result.error = av_read_frame(input.format(), packet);
        if (result.error < 0)
            break;
        av_packet_unref(packet);
        ++result.packets;
        if (input.pollMeta(meta))
            result.metas.push_back(meta);
    }
    av_packet_free(&packet);
    return result;
}

class NetInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new radiotest::TempDir;
        mp3_ = new std::string(radiotest::makeMp3(dir_->path(), 1.0));
    }
    static void TearDownTestSuite()
    {
        delete mp3_;
        delete dir_;
    }
    void SetUp() override { ASSERT_FALSE(mp3_->empty()) << "ffmpeg could not make the test MP3"; }

    IcyStream station() const
    {
        IcyStream s;
        s.audio = *mp3_;
        s.headers = {"Content-Type: audio/mpeg", "icy-name: Loop FM", "icy-url: http://loop.example/",
                     "icy-br: 128", "icy-genre: Test"};
        s.metaint = 4000;
        s.meta = radiotest::rotatingTitles({"First Song", "Second Song", "Third Song"}, 3);
        return s;
    }

    std::unique_ptr<audio::NetInput> open(const std::string &path, bool follow = true)
    {
        return audio::NetInput::open(server_.url(path), follow, abort_);
    }

    static inline radiotest::TempDir *dir_ = nullptr;
    static inline std::string *mp3_ = nullptr;
    LoopbackServer server_;
    std::atomic<bool> abort_{false};
};

// --- Connecting and the header tags -------------------------------------------------

TEST_F(NetInputTest, IcyStatusLineOpensWithHeaderTags)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    auto input = open("/stream");
    ASSERT_TRUE(input);
    ASSERT_NE(input->format(), nullptr);
    const int audioIndex = av_find_best_stream(input->format(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    ASSERT_GE(audioIndex, 0);
    EXPECT_EQ(input->format()->streams[audioIndex]->codecpar->codec_id, AV_CODEC_ID_MP3);

    const std::string icy = input->icyTags();
    EXPECT_TRUE(wellFormedTags(icy));
    const auto icyLines = tagLines(icy);
    EXPECT_EQ(icyLines, (std::vector<std::string>{"icy-name: Loop FM", "icy-url: http://loop.example/",
                                                  "icy-br: 128", "icy-genre: Test"}));
    const std::string http = input->httpTags();
    EXPECT_TRUE(wellFormedTags(http));
    const auto httpLines = tagLines(http);
    EXPECT_NE(std::find(httpLines.begin(), httpLines.end(), "Content-Type: audio/mpeg"), httpLines.end());
    EXPECT_NE(std::find(httpLines.begin(), httpLines.end(), "icy-name: Loop FM"), httpLines.end());
}

TEST_F(NetInputTest, PlainHttpStreamWithoutIcyHeaders)
{
    IcyStream s = station();
    s.statusLine = "HTTP/1.1 200 OK";
    s.headers = {"Content-Type: audio/mpeg"};
    s.metaint = 0;
    server_.route("/plain", radiotest::icyStreamHandler(s));
    auto input = open("/plain");
    ASSERT_TRUE(input);
    EXPECT_EQ(input->icyTags(), std::string(1, '\0'));
    const ReadResult r = readPackets(*input, 100);
    EXPECT_EQ(r.packets, 100);
    EXPECT_TRUE(r.metas.empty());
}

TEST_F(NetInputTest, FailuresToConnect)
{
    server_.route("/page", radiotest::textHandler("text/html", "<html><body>No radio here</body></html>"));
    server_.route("/empty", radiotest::textHandler("audio/mpeg", ""));
    EXPECT_FALSE(open("/missing"));  // 404
    EXPECT_FALSE(open("/page"));
    EXPECT_FALSE(open("/empty"));
    // Nothing listens on the port of a stopped server.
    LoopbackServer gone;
    const std::string url = gone.url("/stream");
    gone.stop();
    EXPECT_FALSE(audio::NetInput::open(url, true, abort_));
}

TEST_F(NetInputTest, OnlyHttpUrlsAreOpened)
{
    EXPECT_FALSE(audio::NetInput::open("file:///etc/passwd", true, abort_));
    EXPECT_FALSE(audio::NetInput::open("/etc/passwd", true, abort_));
    EXPECT_FALSE(audio::NetInput::open("tcp://127.0.0.1:" + std::to_string(server_.port()), true, abort_));
    EXPECT_TRUE(server_.requests().empty());
}

// --- Metadata ------------------------------------------------------------------------

TEST_F(NetInputTest, MetadataChangesAreReportedOnceEach)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    auto input = open("/stream");
    ASSERT_TRUE(input);
    // Probing has already read several blocks: the first poll reports the
    // title current now, whichever of the three it is.
    std::string first;
    ASSERT_TRUE(input->pollMeta(first));
    std::string again;
    EXPECT_FALSE(input->pollMeta(again));
    // Each title is sent in three consecutive blocks of 4000 bytes; ~29 packets of
    // 418 bytes pass per title, so 400 packets see over a dozen changes.
    const ReadResult r = readPackets(*input, 400);
    ASSERT_EQ(r.packets, 400);
    ASSERT_GE(r.metas.size(), 10u);
    const std::vector<std::string> cycle = {"StreamTitle='First Song';StreamUrl='';",
                                            "StreamTitle='Second Song';StreamUrl='';",
                                            "StreamTitle='Third Song';StreamUrl='';"};
    const auto at = std::find(cycle.begin(), cycle.end(), first);
    ASSERT_NE(at, cycle.end()) << first;
    std::size_t expected = static_cast<std::size_t>(at - cycle.begin());
    for (std::size_t i = 0; i < r.metas.size(); ++i) {
        expected = (expected + 1) % cycle.size();
        EXPECT_EQ(r.metas[i], cycle[expected]) << "change " << i;
    }
}

TEST_F(NetInputTest, EmptyAndRepeatedBlocksReportNothingNew)
{
    IcyStream s = station();
    // Zero-length blocks (no change) between repeats of one and the same title.
    s.meta = [](std::size_t block) {
        return block % 2 ? std::string() : std::string("StreamTitle='Only';");
    };
    server_.route("/stream", radiotest::icyStreamHandler(s));
    auto input = open("/stream");
    ASSERT_TRUE(input);
    const ReadResult r = readPackets(*input, 300);
    ASSERT_EQ(r.packets, 300);
    EXPECT_EQ(r.metas, (std::vector<std::string>{"StreamTitle='Only';"}));
}

TEST_F(NetInputTest, GarbageAndOversizedMetadataStayBounded)
{
    IcyStream s = station();
    s.meta = [](std::size_t block) {
        switch (block % 4) {
        case 0: return std::string(255 * 16, 'x');  // the largest block, no terminator
        case 1: return std::string("StreamTitle='Zero\0inside';", 26);
        case 2: {
            std::string noise;
            for (int i = 0; i < 700; ++i)
                noise.push_back(static_cast<char>((i * 37 + static_cast<int>(block)) % 256));
            return noise;
        }
        default: return std::string("StreamTitle='It''s';StreamUrl='';");
        }
    };
    server_.route("/stream", radiotest::icyStreamHandler(s));
    auto input = open("/stream");
    ASSERT_TRUE(input);
    const ReadResult r = readPackets(*input, 400);
    EXPECT_EQ(r.packets, 400);
    ASSERT_FALSE(r.metas.empty());
    bool sawQuoted = false;
    for (const std::string &m : r.metas) {
        EXPECT_LE(m.size(), 4096u);
        EXPECT_EQ(m.find('\0'), std::string::npos);
        sawQuoted = sawQuoted || m == "StreamTitle='It''s';StreamUrl='';";
    }
    EXPECT_TRUE(sawQuoted);
}

// --- Playlists and redirects -------------------------------------------------------

TEST_F(NetInputTest, PlsEntriesAreTriedInOrder)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    server_.route("/list.pls", radiotest::textHandler(
                                   "audio/x-scpls", "[playlist]\r\nNumberOfEntries=3\r\nFile1="
                                       + server_.url("/dead") + "\r\nFile2=" + server_.url("/stream")
                                       + "\r\nFile3=" + server_.url("/never") + "\r\n"));
    auto input = open("/list.pls");
    ASSERT_TRUE(input);
    EXPECT_EQ(input->url(), server_.url("/stream"));
    EXPECT_EQ(server_.requests(), (std::vector<std::string>{"/list.pls", "/dead", "/stream"}));
    EXPECT_EQ(readPackets(*input, 50).packets, 50);
}

TEST_F(NetInputTest, M3uRecognisedByTypeOrByContent)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    const std::string body = "#EXTM3U\n#EXTINF:-1,Loop\n" + server_.url("/stream") + "\n";
    server_.route("/typed.m3u", radiotest::textHandler("audio/x-mpegurl", body));
    server_.route("/bare", radiotest::textHandler("text/plain", server_.url("/stream") + "\r\n"));
    server_.route("/untyped", radiotest::textHandler("", body));
    for (const char *path : {"/typed.m3u", "/bare", "/untyped"}) {
        auto input = open(path);
        ASSERT_TRUE(input) << path;
        EXPECT_EQ(input->url(), server_.url("/stream")) << path;
    }
}

TEST_F(NetInputTest, PlaylistsAreNotFollowedWhenSwitchedOff)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    server_.route("/list.m3u", radiotest::textHandler("audio/x-mpegurl", server_.url("/stream") + "\n"));
    EXPECT_FALSE(open("/list.m3u", false));
    EXPECT_EQ(server_.requests(), (std::vector<std::string>{"/list.m3u"}));
    // A direct stream still opens with the switch off.
    EXPECT_TRUE(open("/stream", false));
}

TEST_F(NetInputTest, PlaylistEntriesOtherThanHttpAreRefused)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    server_.route("/local.pls",
                  radiotest::textHandler("audio/x-scpls", "[playlist]\nFile1=file:///etc/passwd\n"));
    server_.route("/mixed.m3u", radiotest::textHandler(
                                    "audio/x-mpegurl", "file:///etc/passwd\n/etc/passwd\ntcp://127.0.0.1:"
                                        + std::to_string(server_.port()) + "\n" + server_.url("/stream") + "\n"));
    EXPECT_FALSE(open("/local.pls"));
    auto input = open("/mixed.m3u");
    ASSERT_TRUE(input);
    EXPECT_EQ(input->url(), server_.url("/stream"));
    // The tcp entry would have shown up as a request without a path.
    EXPECT_EQ(server_.requests(), (std::vector<std::string>{"/local.pls", "/mixed.m3u", "/stream"}));
}

TEST_F(NetInputTest, OversizedPlaylistsAreReadOnlyInPart)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    std::string padding;
    while (padding.size() < 100 * 1024)
        padding += "#EXTINF:-1,padding padding padding padding padding padding\n";
    const std::string url = server_.url("/stream") + "\n";
    server_.route("/early.m3u", radiotest::textHandler("audio/x-mpegurl", url + padding));
    server_.route("/late.m3u", radiotest::textHandler("audio/x-mpegurl", padding + url));
    EXPECT_TRUE(open("/early.m3u"));
    EXPECT_FALSE(open("/late.m3u"));
}

TEST_F(NetInputTest, NestedPlaylistsEndAtTheDepthLimit)
{
    server_.route("/loop.m3u", radiotest::textHandler("audio/x-mpegurl", server_.url("/loop.m3u") + "\n"));
    EXPECT_FALSE(open("/loop.m3u"));
    EXPECT_LE(server_.requests().size(), 4u);
}

TEST_F(NetInputTest, RedirectsStayWithinHttp)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    server_.route("/moved", radiotest::redirectHandler(server_.url("/stream")));
    server_.route("/to-file", radiotest::redirectHandler("file:///etc/passwd"));
    server_.route("/to-self", radiotest::redirectHandler(server_.url("/to-self")));
    auto moved = open("/moved");
    ASSERT_TRUE(moved);
    EXPECT_EQ(readPackets(*moved, 20).packets, 20);
    EXPECT_FALSE(open("/to-file"));
    EXPECT_FALSE(open("/to-self"));
}

TEST_F(NetInputTest, DemuxerOpensNoLocalFiles)
{
    // An HLS list is left to FFmpeg, which then opens the segments itself: a
    // segment on the local disk must stay closed, one over http plays.
    server_.route("/seg.mp3", radiotest::textHandler("audio/mpeg", *mp3_));
    const std::string head = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:0\n#EXTINF:1.0,\n";
    server_.route("/local.m3u8", radiotest::textHandler("application/vnd.apple.mpegurl",
                                                        head + "file://" + dir_->path() + "/loop.mp3\n#EXT-X-ENDLIST\n"));
    server_.route("/remote.m3u8", radiotest::textHandler("application/vnd.apple.mpegurl",
                                                         head + server_.url("/seg.mp3") + "\n#EXT-X-ENDLIST\n"));
    EXPECT_FALSE(open("/local.m3u8"));
    auto remote = open("/remote.m3u8");
    ASSERT_TRUE(remote);
    EXPECT_GT(readPackets(*remote, 20).packets, 0);
}

TEST_F(NetInputTest, DeadSegmentServerTimesOut)
{
    // The demuxer's own connections get the same timeouts as the station's.
    server_.route("/silent.mp3", radiotest::silentHandler());
    server_.route("/dead.m3u8", radiotest::textHandler("application/vnd.apple.mpegurl",
                                                       "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.0,\n"
                                                           + server_.url("/silent.mp3") + "\n#EXT-X-ENDLIST\n"));
    const auto start = Clock::now();
    EXPECT_FALSE(open("/dead.m3u8"));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
}

// --- Damaged answers -----------------------------------------------------------------

TEST_F(NetInputTest, GarbageAnswersFailCleanly)
{
    std::string binary;
    for (int i = 0; i < 3000; ++i)
        binary.push_back(static_cast<char>((i * 131) % 256));
    server_.route("/binary", radiotest::rawHandler(binary));
    server_.route("/no-status", radiotest::rawHandler("hello\r\n\r\n"));
    server_.route("/cut-head", radiotest::rawHandler("ICY 200 OK\r\nicy-name: Half"));
    server_.route("/bad-metaint", radiotest::rawHandler("ICY 200 OK\r\nicy-metaint: -5\r\n\r\n" + binary));
    for (const char *path : {"/binary", "/no-status", "/cut-head", "/bad-metaint"})
        EXPECT_FALSE(open(path)) << path;
}

TEST_F(NetInputTest, OversizedHeadersAreBounded)
{
    IcyStream s = station();
    s.headers.push_back("icy-description: " + std::string(20000, 'd'));
    for (int i = 0; i < 400; ++i)
        s.headers.push_back("icy-x-filler" + std::to_string(i) + ": " + std::string(60, 'f'));
    server_.route("/big", radiotest::icyStreamHandler(s));
    auto input = open("/big");
    ASSERT_TRUE(input);
    for (const std::string &tags : {input->icyTags(), input->httpTags()}) {
        EXPECT_TRUE(wellFormedTags(tags));
        EXPECT_LE(tags.size(), 8u * 1024u);
        const auto lines = tagLines(tags);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-name: Loop FM"), lines.end());
    }
}

TEST_F(NetInputTest, DroppedConnectionEndsTheStream)
{
    IcyStream s = station();
    s.dropAfter = 30000;
    server_.route("/short", radiotest::icyStreamHandler(s));
    auto input = open("/short");
    ASSERT_TRUE(input);
    const auto start = Clock::now();
    const ReadResult r = readPackets(*input, 100000);
    EXPECT_LT(r.error, 0);
    // 30000 bytes at 418 per packet, minus what probing consumed.
    EXPECT_LT(r.packets, 75);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));  // ends by EOF, not by timeout
}

// --- Timeouts and aborting -----------------------------------------------------------

TEST_F(NetInputTest, SilentServerTimesOut)
{
    server_.route("/silent", radiotest::silentHandler());
    const auto start = Clock::now();
    EXPECT_FALSE(open("/silent"));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::seconds(3));
    EXPECT_LT(waited, std::chrono::seconds(15));
}

TEST_F(NetInputTest, AbortEndsAPendingConnectAtOnce)
{
    server_.route("/silent", radiotest::silentHandler());
    std::thread aborter([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        abort_.store(true);
    });
    const auto start = Clock::now();
    EXPECT_FALSE(open("/silent"));
    const auto waited = Clock::now() - start;
    aborter.join();
    EXPECT_LT(waited, std::chrono::seconds(2));

    // Already aborted: no connection is even attempted.
    const std::size_t before = server_.requests().size();
    EXPECT_FALSE(open("/silent"));
    EXPECT_EQ(server_.requests().size(), before);
}

TEST_F(NetInputTest, AbortEndsAStalledRead)
{
    // Sends a burst, then holds the connection open without sending more.
    const std::string audio = *mp3_;
    server_.route("/stall", [audio](radiotest::Connection &c) {
        if (!c.sendAll("ICY 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n"))
            return;
        for (int i = 0; i < 8; ++i) {
            if (!c.sendAll(audio))
                return;
        }
        c.idle();
    });
    auto input = open("/stall");
    ASSERT_TRUE(input);
    std::thread aborter([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        abort_.store(true);
    });
    const auto start = Clock::now();
    const ReadResult r = readPackets(*input, 100000);
    const auto waited = Clock::now() - start;
    aborter.join();
    EXPECT_LT(r.error, 0);
    EXPECT_LT(waited, std::chrono::seconds(2));
}

} // namespace
