// What the player reads from a URL stream through the engine: the exact tag
// texts, the title known before playing, and a dead station giving up.

#include "engine.h"
#include "support/loopbackserver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::vector<std::string> kCycle = {"StreamTitle='First Song';StreamUrl='';",
                                         "StreamTitle='Second Song';StreamUrl='';",
                                         "StreamTitle='Third Song';StreamUrl='';"};

class NetEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Never the real sound card, even when run by hand.
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
        dir_ = new radiotest::TempDir;
        mp3_ = new std::string(radiotest::makeMp3(dir_->path(), 1.0));
    }
    static void TearDownTestSuite()
    {
        delete mp3_;
        delete dir_;
    }
    void SetUp() override
    {
        ASSERT_FALSE(mp3_->empty()) << "ffmpeg could not make the test MP3";
        ASSERT_TRUE(engine_.init(-1, 44100, 0));
    }

    radiotest::IcyStream station() const
    {
        radiotest::IcyStream s;
        s.audio = *mp3_;
        s.headers = {"Content-Type: audio/mpeg", "icy-name:   Loop FM", "icy-url: http://loop.example/",
                     "icy-br: 128"};
        s.metaint = 4000;
        s.meta = radiotest::rotatingTitles({"First Song", "Second Song", "Third Song"}, 3);
        return s;
    }

    audio::Handle openUrl(const std::string &path)
    {
        return engine_.streamCreateUrl(server_.url(path), 0, audio::kStreamStatus);
    }

    static inline radiotest::TempDir *dir_ = nullptr;
    static inline std::string *mp3_ = nullptr;
    radiotest::LoopbackServer server_;
    audio::Engine engine_;
};

TEST_F(NetEngineTest, TitleIsKnownBeforePlaying)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    const audio::Handle h = openUrl("/stream");
    ASSERT_NE(h, 0u);
    const auto meta = engine_.channelGetTags(h, audio::TagType::Meta);
    ASSERT_TRUE(meta);
    EXPECT_NE(std::find(kCycle.begin(), kCycle.end(), *meta), kCycle.end()) << *meta;
    EXPECT_TRUE(engine_.streamFree(h));
}

TEST_F(NetEngineTest, SyncReportsTheTitlesInTheOrderSent)
{
    server_.route("/stream", radiotest::icyStreamHandler(station()));
    const audio::Handle h = openUrl("/stream");
    ASSERT_NE(h, 0u);
    const auto first = engine_.channelGetTags(h, audio::TagType::Meta);
    ASSERT_TRUE(first);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> titles{*first};
    ASSERT_NE(engine_.channelSetSync(h, audio::SyncType::Meta, 0,
                                     [&](audio::Handle, audio::Handle channel) {
                                         const auto meta = engine_.channelGetTags(channel, audio::TagType::Meta);
                                         std::lock_guard lock(mutex);
                                         titles.push_back(meta.value_or(std::string()));
                                         changed.notify_all();
                                     }),
              0u);
    ASSERT_TRUE(engine_.channelPlay(h, false));
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 10s, [&] { return titles.size() >= 5; });
    }
    EXPECT_TRUE(engine_.streamFree(h));
    std::lock_guard lock(mutex);
    ASSERT_GE(titles.size(), 5u);
    auto at = std::find(kCycle.begin(), kCycle.end(), titles.front());
    ASSERT_NE(at, kCycle.end()) << titles.front();
    std::size_t expected = static_cast<std::size_t>(at - kCycle.begin());
    for (std::size_t i = 1; i < titles.size(); ++i) {
        expected = (expected + 1) % kCycle.size();
        EXPECT_EQ(titles[i], kCycle[expected]) << "change " << i;
    }
}

TEST_F(NetEngineTest, HeaderTagsAreZeroTerminatedLines)
{
    radiotest::IcyStream s = station();
    for (int i = 0; i < 300; ++i)
        s.headers.push_back("icy-x-filler" + std::to_string(i) + ": " + std::string(80, 'f'));
    server_.route("/stream", radiotest::icyStreamHandler(s));
    const audio::Handle h = openUrl("/stream");
    ASSERT_NE(h, 0u);
    for (const audio::TagType type : {audio::TagType::Http, audio::TagType::Icy}) {
        const auto tags = engine_.channelGetTags(h, type);
        ASSERT_TRUE(tags);
        ASSERT_GE(tags->size(), 2u);
        EXPECT_EQ(tags->substr(tags->size() - 2), std::string(2, '\0'));
        EXPECT_LE(tags->size(), 8u * 1024u);
        // FFmpeg drops the spaces after the colon; the player strips them anyway.
        EXPECT_NE(tags->find(std::string("icy-name: Loop FM\0", 18)), std::string::npos);
        EXPECT_NE(tags->find(std::string("icy-br: 128\0", 12)), std::string::npos);
    }
    engine_.streamFree(h);
}

TEST_F(NetEngineTest, DeadStationGivesUp)
{
    server_.route("/silent", radiotest::silentHandler());
    // Headers, a few frames, then nothing: opening must not wait for ever.
    server_.route("/stall", [mp3 = *mp3_](radiotest::Connection &c) {
        if (c.sendAll("ICY 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n") && c.sendAll(mp3.substr(0, 6000)))
            c.idle();
    });
    for (const char *path : {"/silent", "/stall"}) {
        const auto start = Clock::now();
        const audio::Handle h = openUrl(path);
        EXPECT_LT(Clock::now() - start, 20s) << path;
        if (h != 0)
            engine_.streamFree(h);
        if (std::string(path) == "/silent") {
            EXPECT_EQ(h, 0u);
        }
    }
}

} // namespace

namespace {

// A station whose first metadata block holds an empty title, as a server
// sends it right after a connect, and whose real title (if any) comes some
// blocks later at the station's pace: the title read at open is that one.
TEST_F(NetEngineTest, AnEmptyFirstTitleIsReadOnToTheNextBlock)
{
    const struct {
        const char *path;
        std::string later;  // metadata of block 19 on, after eighteen empty blocks
        std::string expected;
    } cases[] = {
        {"/titled", "StreamTitle='Real Song';StreamUrl='';", "StreamTitle='Real Song';StreamUrl='';"},
        {"/untitled", "", "StreamTitle='';"},
    };
    for (const auto &c : cases) {
        radiotest::IcyStream s = station();
        s.meta = [later = c.later](std::size_t block) {
            return block == 0 ? std::string("StreamTitle='';") : block < 19 ? std::string() : later;
        };
        // The burst holds more than half the buffer; block 19 comes half a
        // second later, while the buffer still has room.
        s.metaint = 1000;
        s.burstBytes = 18000;
        s.paceBytesPerSecond = 4000;
        server_.route(c.path, radiotest::icyStreamHandler(s));
        const audio::Handle h = openUrl(c.path);
        ASSERT_NE(h, 0u) << c.path;
        EXPECT_EQ(engine_.channelGetTags(h, audio::TagType::Meta).value_or(""), c.expected) << c.path;
        EXPECT_TRUE(engine_.streamFree(h));
    }
}

}  // namespace
