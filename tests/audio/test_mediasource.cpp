// Decoding and exact seeking of the five file formats, checked against a
// straight decode of the same file from its first frame.

#include "fixtures/mediafiles.h"
#include "mediasource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

using audio::MediaSource;
using audiotest::Format;

namespace {

constexpr double kSeconds = 8.0;

std::vector<float> decodeAll(MediaSource &source)
{
    std::vector<float> all, block;
    while (source.read(block))
        all.insert(all.end(), block.begin(), block.end());
    return all;
}

std::vector<float> readFrames(MediaSource &source, std::size_t frames)
{
    std::vector<float> out, block;
    const auto wanted = frames * static_cast<std::size_t>(source.channels());
    while (out.size() < wanted && source.read(block))
        out.insert(out.end(), block.begin(), block.end());
    out.resize(std::min(out.size(), wanted));
    return out;
}

// The shift (in frames) at which `got` best matches the reference around
// `frame`, and the RMS difference there.
std::pair<long, double> bestLag(const std::vector<float> &reference, const std::vector<float> &got, long frame,
                                int channels, long search)
{
    std::pair<long, double> best{0, std::numeric_limits<double>::max()};
    const long frames = static_cast<long>(got.size()) / channels;
    for (long lag = -search; lag <= search; ++lag) {
        const long start = frame + lag;
        if (start < 0 || (start + frames) * channels > static_cast<long>(reference.size()))
            continue;
        double sum = 0;
        for (long i = 0; i < frames * channels; ++i) {
            const double d = reference[static_cast<std::size_t>(start * channels + i)] - got[static_cast<std::size_t>(i)];
            sum += d * d;
        }
        const double rms = std::sqrt(sum / static_cast<double>(frames * channels));
        if (rms < best.second)
            best = {lag, rms};
    }
    return best;
}

class EveryFormat : public ::testing::TestWithParam<Format> {
protected:
    audiotest::TempDir dir_;
};

TEST_P(EveryFormat, LengthMatchesWhatTheDecoderDelivers)
{
    const auto path = audiotest::writeChirp(dir_, "chirp", GetParam(), kSeconds);
    auto source = MediaSource::openFile(path, GetParam() == Format::Wma ? MediaSource::Kind::Wma : MediaSource::Kind::Any);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->sampleRate(), 44100);
    EXPECT_EQ(source->channels(), 2);
    const auto decoded = static_cast<std::int64_t>(decodeAll(*source).size() / 2);
    // Encoders pad to whole frames; the decoded count is what plays.
    EXPECT_NEAR(static_cast<double>(decoded), kSeconds * 44100, 4096);
    EXPECT_NEAR(static_cast<double>(source->lengthFrames()), static_cast<double>(decoded),
                GetParam() == Format::Wav || GetParam() == Format::Mp3VbrNoXing ? 0 : 2048);
    EXPECT_EQ(source->position(), decoded);
}

TEST_P(EveryFormat, SeekingLandsOnTheExactFrame)
{
    const auto path = audiotest::writeChirp(dir_, "chirp", GetParam(), kSeconds);
    auto reference = MediaSource::openFile(path, MediaSource::Kind::Any);
    ASSERT_TRUE(reference);
    const auto all = decodeAll(*reference);

    auto source = MediaSource::openFile(path, MediaSource::Kind::Any);
    ASSERT_TRUE(source);
    // Forward, far forward, backward, near the start, then forward again
    // after having read on.
    for (const double seconds : {2.5, 6.9, 1.1, 0.01, 4.321}) {
        const auto frame = static_cast<long>(seconds * 44100);
        ASSERT_TRUE(source->seek(frame)) << seconds;
        EXPECT_EQ(source->position(), frame);
        const auto got = readFrames(*source, 4096);
        ASSERT_EQ(got.size(), 4096u * 2) << seconds;
        const auto [lag, rms] = bestLag(all, got, frame, 2, 1500);
        EXPECT_EQ(lag, 0) << audiotest::formatName(GetParam()) << " at " << seconds << " s";
        EXPECT_LT(rms, 0.01) << audiotest::formatName(GetParam()) << " at " << seconds << " s";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
                         ::testing::Values(Format::Wav, Format::Mp3, Format::Mp3VbrNoXing, Format::Mp2, Format::Ogg,
                                           Format::Wma),
                         [](const auto &p) { return std::string(audiotest::formatName(p.param)); });

TEST(MediaSourceTagged, Mp3WithTagAndCoverSeeksExactly)
{
    // Real libraries carry ID3 tags with pictures in front of the audio.
    audiotest::TempDir dir;
    const auto plain = audiotest::writeChirp(dir, "plain", Format::Mp3VbrNoXing, 6.0);
    const auto tagged = dir.file("tagged.mp3");
    ASSERT_TRUE(audiotest::runFfmpeg({"-i", plain, "-f", "lavfi", "-i", "color=c=red:s=64x64:d=1", "-frames:v", "1",
                                      "-map", "0:a", "-map", "1:v", "-c:a", "copy", "-c:v", "png", "-id3v2_version",
                                      "3", "-write_xing", "0", "-metadata", "title=Song", "-disposition:v", "attached_pic", tagged}));
    auto reference = MediaSource::openFile(plain, MediaSource::Kind::Any);
    auto source = MediaSource::openFile(tagged, MediaSource::Kind::Any);
    ASSERT_TRUE(reference && source);
    const auto all = decodeAll(*reference);
    EXPECT_EQ(source->lengthFrames(), static_cast<std::int64_t>(all.size() / 2));
    for (const double seconds : {4.2, 0.7}) {
        const auto frame = static_cast<long>(seconds * 44100);
        ASSERT_TRUE(source->seek(frame));
        const auto [lag, rms] = bestLag(all, readFrames(*source, 4096), frame, 2, 1500);
        EXPECT_EQ(lag, 0) << seconds;
        EXPECT_LT(rms, 0.01) << seconds;
    }
}

TEST(MediaSourceOpen, RefusesWhatIsNotAudio)
{
    audiotest::TempDir dir;
    EXPECT_FALSE(MediaSource::openFile(dir.file("missing.mp3"), MediaSource::Kind::Any));
    audiotest::writeBytes(dir.file("empty.mp3"), "");
    EXPECT_FALSE(MediaSource::openFile(dir.file("empty.mp3"), MediaSource::Kind::Any));
    audiotest::writeBytes(dir.file("text.mp3"), "just some words, nothing to hear\n");
    EXPECT_FALSE(MediaSource::openFile(dir.file("text.mp3"), MediaSource::Kind::Any));
    std::string garbage(64 * 1024, '\0');
    std::uint32_t x = 12345;
    for (auto &c : garbage) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    audiotest::writeBytes(dir.file("noise.wma"), garbage);
    EXPECT_FALSE(MediaSource::openFile(dir.file("noise.wma"), MediaSource::Kind::Wma));
}

TEST(MediaSourceOpen, WmaOperationTakesOnlyAsf)
{
    audiotest::TempDir dir;
    const auto mp3 = audiotest::writeChirp(dir, "a", Format::Mp3, 1.0);
    const auto wma = audiotest::writeChirp(dir, "b", Format::Wma, 1.0);
    EXPECT_FALSE(MediaSource::openFile(mp3, MediaSource::Kind::Wma));
    EXPECT_TRUE(MediaSource::openFile(wma, MediaSource::Kind::Wma));
    EXPECT_TRUE(MediaSource::openFile(wma, MediaSource::Kind::Any));
}

TEST(MediaSourceOpen, ColonInFileNameIsNotAProtocol)
{
    audiotest::TempDir dir;
    const auto plain = audiotest::writeChirp(dir, "x", Format::Wav, 0.5);
    const auto odd = dir.file("http:odd name.wav");
    std::filesystem::rename(plain, odd);
    EXPECT_TRUE(MediaSource::openFile(odd, MediaSource::Kind::Any));
}

TEST(MediaSourceOpen, SeekBeyondTheEndStopsAtTheEnd)
{
    audiotest::TempDir dir;
    auto source = MediaSource::openFile(audiotest::writeChirp(dir, "x", Format::Wav, 1.0), MediaSource::Kind::Any);
    ASSERT_TRUE(source);
    ASSERT_TRUE(source->seek(10 * 44100));
    EXPECT_EQ(source->position(), 44100);
    std::vector<float> block;
    EXPECT_FALSE(source->read(block));
    ASSERT_TRUE(source->seek(0));
    EXPECT_TRUE(source->read(block));
}

}  // namespace
