// The engine as the player uses it, through the dummy (or disk) output.

#include "engine.h"
#include "fixtures/mediafiles.h"
#include "fixtures/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <algorithm>
#include <thread>
#include <vector>

using audio::Active;
using audio::Engine;
using audiotest::Format;
using audiotest::waitUntil;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kStereoFrame = 4;  // 16-bit stereo

// Sets an environment variable for one test and puts the old value back.
class EnvOverride {
public:
    EnvOverride(const char *name, const std::string &value) : name_(name)
    {
        if (const char *old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvOverride()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char *name_;
    std::optional<std::string> old_;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine_.init(-1, kRate, 0)); }
    audio::Handle open(const std::string &path)
    {
        return engine_.streamCreateFile(path, 0, 0, audio::kSampleFx);
    }
    double seconds(audio::Handle h) { return engine_.channelBytes2Seconds(h, engine_.channelGetPosition(h)); }

    audiotest::TempDir dir_;
    Engine engine_;
};

TEST(EngineDevice, InitFailsCleanlyWithoutADevice)
{
    EnvOverride driver("SDL_AUDIODRIVER", "no_such_driver");
    Engine engine;
    EXPECT_FALSE(engine.init(-1, kRate, 0));
    EXPECT_FALSE(engine.free());
    EXPECT_EQ(engine.streamCreateFile("/nonexistent.mp3", 0, 0, 0), 0u);
    EXPECT_FALSE(engine.setVolume(0.5f));
}

TEST(EngineDevice, InitFreeAndInitAgain)
{
    Engine engine;
    EXPECT_FALSE(engine.init(7, kRate, 0));  // no such device
    ASSERT_TRUE(engine.init(-1, kRate, 0));
    EXPECT_FALSE(engine.init(-1, kRate, 0));  // already running
    EXPECT_TRUE(engine.free());
    EXPECT_FALSE(engine.free());
    ASSERT_TRUE(engine.init(-1, kRate, 0));
    EXPECT_TRUE(engine.free());
}

TEST(EngineDevice, FreeReleasesOpenStreams)
{
    audiotest::TempDir dir;
    Engine engine;
    ASSERT_TRUE(engine.init(-1, kRate, 0));
    const auto h = engine.streamCreateFile(audiotest::writeChirp(dir, "a", Format::Wav, 1.0), 0, 0, 0);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(engine.channelPlay(h, true));
    EXPECT_TRUE(engine.free());
    EXPECT_EQ(engine.channelGetLength(h), -1);
    EXPECT_FALSE(engine.streamFree(h));
}

TEST_F(EngineTest, VolumeStaysInRange)
{
    EXPECT_FLOAT_EQ(engine_.getVolume(), 1.0f);
    EXPECT_TRUE(engine_.setVolume(0.37f));
    EXPECT_FLOAT_EQ(engine_.getVolume(), 0.37f);
    EXPECT_FALSE(engine_.setVolume(1.5f));
    EXPECT_FALSE(engine_.setVolume(-0.1f));
    EXPECT_FALSE(engine_.setVolume(std::nanf("")));
    EXPECT_FLOAT_EQ(engine_.getVolume(), 0.37f);
}

TEST_F(EngineTest, WavLengthsAndConversionsAreExact)
{
    const auto h = open(audiotest::writeChirp(dir_, "a", Format::Wav, 1.5));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(engine_.channelGetLength(h), 66150 * kStereoFrame);
    EXPECT_DOUBLE_EQ(engine_.channelBytes2Seconds(h, engine_.channelGetLength(h)), 1.5);
    EXPECT_EQ(engine_.channelSeconds2Bytes(h, 0.75), 33075 * kStereoFrame);
    EXPECT_EQ(engine_.channelSeconds2Bytes(h, 1.0), kRate * kStereoFrame);
    EXPECT_DOUBLE_EQ(engine_.channelBytes2Seconds(h, kRate * kStereoFrame), 1.0);
    EXPECT_EQ(engine_.channelSeconds2Bytes(h, -1.0), -1);
    EXPECT_LT(engine_.channelBytes2Seconds(h, -4), 0.0);
    // Unplayed, the position is exactly where it was put.
    EXPECT_EQ(engine_.channelGetPosition(h), 0);
    ASSERT_TRUE(engine_.channelSetPosition(h, 12345 * kStereoFrame));
    EXPECT_EQ(engine_.channelGetPosition(h), 12345 * kStereoFrame);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(engine_.channelGetPosition(h), 12345 * kStereoFrame);
    EXPECT_FALSE(engine_.channelSetPosition(h, 70000 * kStereoFrame));  // beyond the end
    EXPECT_FALSE(engine_.channelSetPosition(h, -4));
}

TEST_F(EngineTest, MonoAndOtherRatesKeepTheirOwnByteFormat)
{
    const auto mono = open(audiotest::writeChirp(dir_, "m", Format::Wav, 2.0, 22050, 1));
    ASSERT_NE(mono, 0u);
    EXPECT_EQ(engine_.channelGetLength(mono), 2 * 22050 * 2);
    EXPECT_DOUBLE_EQ(engine_.channelBytes2Seconds(mono, 22050 * 2), 1.0);
    EXPECT_EQ(engine_.channelSeconds2Bytes(mono, 0.5), 11025 * 2);
}

// Wall-clock seconds since a moment: what was heard since then can trail it
// (a late decoder, a busy machine) but runs ahead of it by no more than what
// the device has already taken: it asks for up to two 1024-frame buffers at
// once, about 46 ms.
class Since {
public:
    double seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0_).count(); }

private:
    std::chrono::steady_clock::time_point t0_ = std::chrono::steady_clock::now();
};
constexpr double kRounding = 0.05;

TEST_F(EngineTest, PlayingMovesThePositionAndPauseHoldsIt)
{
    const auto h = open(audiotest::writeChirp(dir_, "a", Format::Mp3, 8.0));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(engine_.channelIsActive(h), Active::Stopped);
    const Since started;
    ASSERT_TRUE(engine_.channelPlay(h, true));
    EXPECT_EQ(engine_.channelIsActive(h), Active::Playing);
    ASSERT_TRUE(waitUntil([&] { return seconds(h) >= 0.3; }));
    EXPECT_LE(seconds(h), started.seconds() + kRounding);

    // Paused, the position stays exactly where the pause was heard.
    ASSERT_TRUE(engine_.channelStop(h));
    EXPECT_EQ(engine_.channelIsActive(h), Active::Stopped);
    const auto paused = engine_.channelGetPosition(h);
    std::this_thread::sleep_for(300ms);  // time for a wrong position to move
    EXPECT_EQ(engine_.channelGetPosition(h), paused);

    const Since resumedAt;
    ASSERT_TRUE(engine_.channelPlay(h, false));  // resume
    ASSERT_TRUE(waitUntil([&] { return engine_.channelGetPosition(h) > paused; }));
    ASSERT_TRUE(waitUntil([&] { return seconds(h) - engine_.channelBytes2Seconds(h, paused) >= 0.2; }));
    EXPECT_LE(seconds(h) - engine_.channelBytes2Seconds(h, paused), resumedAt.seconds() + kRounding);

    const Since restarted;
    ASSERT_TRUE(engine_.channelPlay(h, true));  // new song: from the start
    EXPECT_LE(seconds(h), restarted.seconds() + kRounding);
}

TEST_F(EngineTest, SeekWhilePlayingContinuesFromThere)
{
    const auto h = open(audiotest::writeChirp(dir_, "a", Format::Ogg, 6.0));
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(engine_.channelPlay(h, true));
    ASSERT_TRUE(waitUntil([&] { return seconds(h) > 0.05; }));
    // From each target on, the position moves as fast as the clock, and no
    // faster, whatever the machine does meanwhile.
    for (const double target : {4.0, 1.0}) {
        const Since seeked;
        ASSERT_TRUE(engine_.channelSetPosition(h, engine_.channelSeconds2Bytes(h, target)));
        const double at = seconds(h);
        EXPECT_GE(at, target);
        EXPECT_LE(at, target + seeked.seconds() + kRounding);
        ASSERT_TRUE(waitUntil([&] { return seconds(h) >= target + 0.2; }));
        EXPECT_LE(seconds(h), target + seeked.seconds() + kRounding);
    }
}

TEST_F(EngineTest, PositionStopsAtTheEndOfTheSong)
{
    const auto h = open(audiotest::writeChirp(dir_, "short", Format::Wav, 0.4));
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(engine_.channelPlay(h, true));
    // Everything has gone out, and what was heard comes to the exact end.
    const auto length = engine_.channelGetLength(h);
    ASSERT_TRUE(waitUntil([&] {
        return engine_.channelIsActive(h) == Active::Stopped && engine_.channelGetPosition(h) == length;
    }));
    std::this_thread::sleep_for(300ms);  // time for a wrong position to move on
    EXPECT_EQ(engine_.channelGetPosition(h), length);
    EXPECT_EQ(engine_.channelIsActive(h), Active::Stopped);
    // Rewound, it plays again.
    const Since restarted;
    ASSERT_TRUE(engine_.channelPlay(h, true));
    EXPECT_EQ(engine_.channelIsActive(h), Active::Playing);
    EXPECT_LE(seconds(h), restarted.seconds() + kRounding);
}

TEST_F(EngineTest, EveryFormatOpensAndReportsItsLength)
{
    for (const Format f : {Format::Wav, Format::Mp3, Format::Mp3VbrNoXing, Format::Mp2, Format::Ogg}) {
        const auto h = open(audiotest::writeChirp(dir_, audiotest::formatName(f), f, 3.0));
        ASSERT_NE(h, 0u) << audiotest::formatName(f);
        EXPECT_NEAR(engine_.channelBytes2Seconds(h, engine_.channelGetLength(h)), 3.0, 0.06)
            << audiotest::formatName(f);
        EXPECT_EQ(engine_.wmaStreamCreateFile(dir_.file(std::string(audiotest::formatName(f)) + audiotest::extension(f)), 0, 0, 0), 0u);
        EXPECT_TRUE(engine_.streamFree(h));
    }
    const auto wma = engine_.wmaStreamCreateFile(audiotest::writeChirp(dir_, "w", Format::Wma, 3.0), 0, 0, 0);
    ASSERT_NE(wma, 0u);
    EXPECT_NEAR(engine_.channelBytes2Seconds(wma, engine_.channelGetLength(wma)), 3.0, 0.06);
}

TEST_F(EngineTest, BadFilesGiveNoHandle)
{
    EXPECT_EQ(open(dir_.file("missing.mp3")), 0u);
    audiotest::writeBytes(dir_.file("bad.mp3"), std::string(5000, '\x55'));
    EXPECT_EQ(open(dir_.file("bad.mp3")), 0u);
    EXPECT_EQ(engine_.wmaStreamCreateFile(dir_.file("bad.mp3"), 0, 0, 0), 0u);
    const auto good = audiotest::writeChirp(dir_, "g", Format::Wav, 0.5);
    EXPECT_EQ(engine_.streamCreateFile(good, 100, 0, 0), 0u);  // parts of files are not offered
}

TEST_F(EngineTest, InvalidHandlesFailHarmlessly)
{
    const auto h = open(audiotest::writeChirp(dir_, "a", Format::Wav, 0.5));
    ASSERT_NE(h, 0u);
    const auto fx = engine_.channelSetFx(h, audio::FxType::ParamEq, 1);
    ASSERT_NE(fx, 0u);
    ASSERT_TRUE(engine_.streamFree(h));
    float data[256];
    audio::ParamEq p;
    for (const audio::Handle bad : {audio::Handle{0}, h, fx, audio::Handle{987654}}) {
        EXPECT_FALSE(engine_.streamFree(bad));
        EXPECT_FALSE(engine_.channelPlay(bad, true));
        EXPECT_FALSE(engine_.channelStop(bad));
        EXPECT_EQ(engine_.channelIsActive(bad), Active::Stopped);
        EXPECT_EQ(engine_.channelGetLength(bad), -1);
        EXPECT_EQ(engine_.channelGetPosition(bad), -1);
        EXPECT_FALSE(engine_.channelSetPosition(bad, 0));
        EXPECT_LT(engine_.channelBytes2Seconds(bad, 0), 0.0);
        EXPECT_EQ(engine_.channelSeconds2Bytes(bad, 1.0), -1);
        EXPECT_FALSE(engine_.channelGetTags(bad, audio::TagType::Meta));
        EXPECT_EQ(engine_.channelSetSync(bad, audio::SyncType::Meta, 0, [](audio::Handle, audio::Handle) {}), 0u);
        EXPECT_FALSE(engine_.channelGetData(bad, data, audio::kDataFft512));
        EXPECT_EQ(engine_.channelSetFx(bad, audio::FxType::ParamEq, 1), 0u);
        EXPECT_FALSE(engine_.channelRemoveFx(bad, fx));
        EXPECT_FALSE(engine_.fxGetParameters(bad, p));
        EXPECT_FALSE(engine_.fxSetParameters(bad, p));
    }
}

TEST_F(EngineTest, EffectHandlesBelongToTheirStream)
{
    const auto a = open(audiotest::writeChirp(dir_, "a", Format::Wav, 0.5));
    const auto b = open(audiotest::writeChirp(dir_, "b", Format::Wav, 0.5));
    const auto fx = engine_.channelSetFx(a, audio::FxType::ParamEq, 1);
    ASSERT_NE(fx, 0u);
    ASSERT_TRUE(engine_.fxSetParameters(fx, audio::ParamEq{500.0f, 18.0f, 6.0f}));
    audio::ParamEq p;
    ASSERT_TRUE(engine_.fxGetParameters(fx, p));
    EXPECT_EQ(p.center, 500.0f);
    EXPECT_EQ(p.gain, 6.0f);
    EXPECT_FALSE(engine_.channelRemoveFx(b, fx));
    EXPECT_TRUE(engine_.channelRemoveFx(a, fx));
    EXPECT_FALSE(engine_.fxGetParameters(fx, p));
    EXPECT_FALSE(engine_.channelRemoveFx(a, fx));
}

TEST_F(EngineTest, FileStreamsHaveNoTags)
{
    const auto h = open(audiotest::writeChirp(dir_, "a", Format::Mp3, 0.5));
    for (const auto type : {audio::TagType::Meta, audio::TagType::Http, audio::TagType::Icy})
        EXPECT_FALSE(engine_.channelGetTags(h, type));
    EXPECT_TRUE(engine_.setConfig(audio::Config::NetPlaylist, 1));
}

TEST_F(EngineTest, SpectrumShowsWhatIsPlaying)
{
    const auto h = open(audiotest::writeSine(dir_, "k", Format::Wav, 3.0, 1000.0, 1.0));
    float bins[256];
    EXPECT_TRUE(engine_.channelGetData(h, bins, audio::kDataFft512));
    EXPECT_EQ(*std::max_element(bins, bins + 256), 0.0f);  // nothing sent out yet
    ASSERT_TRUE(engine_.channelPlay(h, true));
    // The spectrum shows the last block that went out; once that block is
    // all tone (the output has taken a full one), the tone's bin leads.
    ASSERT_TRUE(waitUntil([&] { return seconds(h) > 0.1 && engine_.channelGetData(h, bins, audio::kDataFft512)
                                       && bins[2] < 0.01f; }));
    const auto peak = std::max_element(bins, bins + 256) - bins;
    EXPECT_EQ(peak, 12);
    EXPECT_GT(bins[peak], 0.8f);
    EXPECT_LT(bins[peak], 1.05f);
    EXPECT_FALSE(engine_.channelGetData(h, bins, 0x80000003));
    EXPECT_FALSE(engine_.channelGetData(h, nullptr, audio::kDataFft512));
}

TEST_F(EngineTest, TwoThreadsMayDriveTheEngineAtOnce)
{
    // The player's refresh worker opens and frees streams while the user
    // interface seeks, moves sliders and asks for the spectrum.
    const auto song = audiotest::writeChirp(dir_, "song", Format::Mp3, 4.0);
    const auto probe = audiotest::writeChirp(dir_, "probe", Format::Wav, 1.0);
    const auto h = open(song);
    ASSERT_NE(h, 0u);
    std::vector<audio::Handle> bands;
    for (int i = 0; i < 7; ++i)
        bands.push_back(engine_.channelSetFx(h, audio::FxType::ParamEq, 1));
    ASSERT_TRUE(engine_.channelPlay(h, true));
    std::atomic<bool> done{false};
    std::atomic<int> opened{0};
    std::thread worker([&] {
        while (!done.load()) {
            const auto p = open(probe);
            if (p != 0) {
                ++opened;
                engine_.channelPlay(p, false);
                engine_.channelGetLength(p);
                engine_.streamFree(p);
            }
        }
    });
    float bins[256];
    // At least 200 rounds, and on until the worker has really been at it.
    for (int round = 0; round < 200 || opened.load() < 5; ++round) {
        const auto gain = static_cast<float>(round % 31 - 15);
        for (std::size_t b = 0; b < bands.size(); ++b)
            EXPECT_TRUE(engine_.fxSetParameters(bands[b], audio::ParamEq{125.0f * static_cast<float>(1 << b), 18.0f, gain}));
        if (round % 10 == 0) {
            EXPECT_TRUE(engine_.channelSetPosition(h, engine_.channelSeconds2Bytes(h, (round % 30) / 10.0)));
        }
        EXPECT_TRUE(engine_.channelGetData(h, bins, audio::kDataFft512));
        EXPECT_GE(engine_.channelGetPosition(h), 0);
        std::this_thread::sleep_for(2ms);
    }
    done.store(true);
    worker.join();
    EXPECT_GT(opened.load(), 0);
    for (const auto fx : bands)
        EXPECT_TRUE(engine_.channelRemoveFx(h, fx));
    EXPECT_TRUE(engine_.streamFree(h));
}

TEST(EngineCapture, OutputCarriesTheSongScaledByTheVolume)
{
    audiotest::TempDir dir;
    const std::string capture = dir.file("out.raw");
    EnvOverride driver("SDL_AUDIODRIVER", "disk");
    EnvOverride file("SDL_DISKAUDIOFILE", capture);
    // Paced like a sound card, so the file grows by what is played.
    EnvOverride delay("SDL_DISKAUDIODELAY", "20");
    const auto path = audiotest::writeChirp(dir, "c", Format::Wav, 1.0);
    const auto source = audiotest::readWavSamples(path);
    ASSERT_EQ(source.size(), 2u * kRate);
    // A late decoder leaves gaps of silence between pieces of the song. Every sound sample must be half the source
    // sample at the same place, in order. Reads what the device has added
    // since the last call; returns how many samples matched so far.
    std::size_t matched = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> in(nullptr, &std::fclose);
    std::string partial;
    const auto matchedSamples = [&] {
        if (!in)
            in.reset(std::fopen(capture.c_str(), "rb"));
        if (!in)
            return matched;
        char buffer[65536];
        std::clearerr(in.get());
        for (std::size_t got; matched < source.size() && (got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0;) {
            partial.append(buffer, got);
            std::size_t used = 0;
            for (; used + sizeof(float) <= partial.size() && matched < source.size(); used += sizeof(float)) {
                float sample;
                std::memcpy(&sample, partial.data() + used, sizeof sample);
                const float expected = 0.5f * static_cast<float>(source[matched]) / 32768.0f;
                if (sample == 0.0f && source[matched] != 0)
                    continue;
                if (std::abs(sample - expected) > 1e-4f) {
                    ADD_FAILURE() << "sample " << matched << ": " << sample << " instead of " << expected;
                    return std::size_t{0};
                }
                ++matched;
            }
            partial.erase(0, used);
        }
        return matched;
    };
    {
        Engine engine;
        ASSERT_TRUE(engine.init(-1, kRate, 0));
        ASSERT_TRUE(engine.setVolume(0.5f));
        const auto h = engine.streamCreateFile(path, 0, 0, 0);
        ASSERT_TRUE(engine.channelPlay(h, true));
        // Until the whole song is in the file (a wrong sample ends the wait).
        waitUntil([&] { return matchedSamples() == source.size() || ::testing::Test::HasFailure(); });
    }
    EXPECT_EQ(matchedSamples(), source.size());
}

}  // namespace
