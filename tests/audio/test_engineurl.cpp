// URL streams through the engine, against the loopback radio server: the
// stream plays, carries its tags, reports new titles on the library's own
// thread, and goes away at once when freed.

#include "engine.h"
#include "fixtures/mediafiles.h"
#include "fixtures/wait.h"
#include "support/loopbackserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

using audiotest::waitUntil;
using namespace std::chrono_literals;

namespace {

class EngineUrl : public ::testing::Test {
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
    void SetUp() override
    {
        ASSERT_FALSE(mp3_->empty());
        ASSERT_TRUE(engine_.init(-1, 44100, 0));
        engine_.setConfig(audio::Config::NetPlaylist, 1);
    }

    radiotest::IcyStream station() const
    {
        radiotest::IcyStream s;
        s.audio = *mp3_;
        s.headers = {"Content-Type: audio/mpeg", "icy-name: Loop FM", "icy-br: 128"};
        s.metaint = 4000;
        s.meta = radiotest::rotatingTitles({"First Song", "Second Song", "Third Song"}, 3);
        return s;
    }

    double seconds(audio::Handle h) { return engine_.channelBytes2Seconds(h, engine_.channelGetPosition(h)); }

    static inline radiotest::TempDir *dir_ = nullptr;
    static inline std::string *mp3_ = nullptr;
    radiotest::LoopbackServer server_;
    audio::Engine engine_;
};

TEST_F(EngineUrl, StationPlaysWithItsTags)
{
    server_.route("/radio", radiotest::icyStreamHandler(station()));
    const auto h = engine_.streamCreateUrl(server_.url("/radio"), 0, audio::kStreamStatus);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(engine_.channelGetLength(h), -1);
    EXPECT_FALSE(engine_.channelSetPosition(h, 0));
    const auto icy = engine_.channelGetTags(h, audio::TagType::Icy);
    ASSERT_TRUE(icy);
    EXPECT_NE(icy->find("icy-name: Loop FM"), std::string::npos);
    EXPECT_EQ(icy->substr(icy->size() - 2), std::string(2, '\0'));
    ASSERT_TRUE(engine_.channelGetTags(h, audio::TagType::Http));
    // The title is there as soon as the stream is, before it plays.
    const auto first = engine_.channelGetTags(h, audio::TagType::Meta);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->rfind("StreamTitle='", 0), 0u) << *first;
    EXPECT_NE(first->find(" Song';"), std::string::npos) << *first;

    ASSERT_TRUE(engine_.channelPlay(h, false));
    EXPECT_TRUE(waitUntil([&] { return seconds(h) > 0.2; }));
    EXPECT_EQ(engine_.channelIsActive(h), audio::Active::Playing);
    const auto meta = engine_.channelGetTags(h, audio::TagType::Meta);
    ASSERT_TRUE(meta);
    EXPECT_EQ(meta->rfind("StreamTitle='", 0), 0u) << *meta;
    EXPECT_TRUE(engine_.streamFree(h));
}

TEST_F(EngineUrl, NewTitlesArriveOnTheLibrarysThread)
{
    server_.route("/radio", radiotest::icyStreamHandler(station()));
    const auto h = engine_.streamCreateUrl(server_.url("/radio"), 0, audio::kStreamStatus);
    ASSERT_NE(h, 0u);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> titles;
    bool foreignThread = true;
    const auto caller = std::this_thread::get_id();
    const auto sync = engine_.channelSetSync(h, audio::SyncType::Meta, 0, [&](audio::Handle, audio::Handle channel) {
        const auto text = engine_.channelGetTags(channel, audio::TagType::Meta);
        std::lock_guard lock(mutex);
        foreignThread = foreignThread && std::this_thread::get_id() != caller;
        titles.push_back(text.value_or(""));
        changed.notify_all();
    });
    ASSERT_NE(sync, 0u);
    ASSERT_TRUE(engine_.channelPlay(h, false));
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 10s, [&] { return titles.size() >= 2; });
        ASSERT_GE(titles.size(), 2u);
        EXPECT_TRUE(foreignThread);
        // The server repeats each block three times; each change is told once.
        for (std::size_t i = 1; i < titles.size(); ++i)
            EXPECT_NE(titles[i], titles[i - 1]);
    }
    EXPECT_TRUE(engine_.streamFree(h));
}

TEST_F(EngineUrl, PositionStopsWhenTheServerDrops)
{
    auto s = station();
    s.dropAfter = 48000;  // three seconds at 128 kbit/s
    server_.route("/radio", radiotest::icyStreamHandler(s));
    const auto h = engine_.streamCreateUrl(server_.url("/radio"), 0, audio::kStreamStatus);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(engine_.channelPlay(h, false));
    // Everything received has gone out; the position then comes to rest.
    ASSERT_TRUE(waitUntil([&] { return engine_.channelIsActive(h) == audio::Active::Stopped; }));
    std::int64_t last = -1;
    ASSERT_TRUE(waitUntil([&] {
        const auto now = engine_.channelGetPosition(h);
        return std::exchange(last, now) == now;
    }));
    std::this_thread::sleep_for(300ms);  // time for a wrong position to move on
    EXPECT_EQ(engine_.channelGetPosition(h), last);
    EXPECT_GT(engine_.channelBytes2Seconds(h, last), 2.0);
}

TEST_F(EngineUrl, FreeEndsAStalledRead)
{
    server_.route("/radio", [mp3 = *mp3_](radiotest::Connection &c) {
        c.sendAll("ICY 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
        c.sendAll(mp3 + mp3 + mp3 + mp3 + mp3 + mp3 + mp3 + mp3);
        c.idle();  // then nothing more
    });
    const auto h = engine_.streamCreateUrl(server_.url("/radio"), 0, audio::kStreamStatus);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(engine_.channelPlay(h, false));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(engine_.streamFree(h));
    EXPECT_EQ(engine_.channelGetPosition(h), -1);
}

TEST_F(EngineUrl, DeadOrRefusedStationsGiveNoHandle)
{
    server_.route("/garbage", radiotest::rawHandler("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n"
                                                   + std::string(3000, '\x17')));
    server_.route("/passwd.pls", radiotest::textHandler("audio/x-scpls", "[playlist]\nFile1=file:///etc/passwd\nNumberOfEntries=1\n"));
    EXPECT_EQ(engine_.streamCreateUrl(server_.url("/garbage"), 0, audio::kStreamStatus), 0u);
    EXPECT_EQ(engine_.streamCreateUrl(server_.url("/passwd.pls"), 0, audio::kStreamStatus), 0u);
    EXPECT_EQ(engine_.streamCreateUrl("file:///etc/passwd", 0, audio::kStreamStatus), 0u);
    EXPECT_EQ(engine_.streamCreateUrl(server_.url("/missing"), 0, audio::kStreamStatus), 0u);
}

TEST_F(EngineUrl, ATricklingStationIsGivenUpAfterTwiceTheNetTimeout)
{
    server_.route("/trickle", radiotest::tricklingHandler());
    EXPECT_FALSE(engine_.setConfig(audio::Config::NetTimeout, 0));
    // Each byte comes well within the read timeout; the opening as a whole
    // runs out all the same.
    ASSERT_TRUE(engine_.setConfig(audio::Config::NetTimeout, 400));
    EXPECT_EQ(engine_.streamCreateUrl(server_.url("/trickle"), 0, audio::kStreamStatus), 0u);
}

TEST_F(EngineUrl, PlaylistIsFollowedWhenAsked)
{
    server_.route("/radio", radiotest::icyStreamHandler(station()));
    server_.route("/list.m3u", radiotest::textHandler("audio/x-mpegurl", "#EXTM3U\n" + server_.url("/radio") + "\n"));
    const auto h = engine_.streamCreateUrl(server_.url("/list.m3u"), 0, audio::kStreamStatus);
    EXPECT_NE(h, 0u);
    engine_.streamFree(h);
    engine_.setConfig(audio::Config::NetPlaylist, 0);
    EXPECT_EQ(engine_.streamCreateUrl(server_.url("/list.m3u"), 0, audio::kStreamStatus), 0u);
}

}  // namespace
