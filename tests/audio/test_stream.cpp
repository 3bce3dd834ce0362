// The decode side of a stream rendered offline: equalizer bands as the
// player sets them, their removal, the analysis tap, and format conversion.

#include "fixtures/mediafiles.h"
#include "fixtures/render.h"
#include "fftanalyzer.h"
#include "stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using audio::MediaSource;
using audio::ParamEq;
using audio::Stream;
using audiotest::Format;

namespace {

constexpr int kRate = 44100;

double db(double ratio)
{
    return 20.0 * std::log10(ratio);
}

class StreamRender : public ::testing::Test {
protected:
    std::unique_ptr<Stream> open(const std::string &path)
    {
        auto stream = Stream::openFile(path, MediaSource::Kind::Any, 1, kRate);
        if (stream)
            stream->play(true);
        return stream;
    }
    audiotest::TempDir dir_;
};

TEST_F(StreamRender, FifteenDecibelBandLiftsItsCentreByFifteen)
{
    const auto path = audiotest::writeSine(dir_, "low", Format::Wav, 3.0, 125.0, 0.05);
    auto plain = open(path);
    auto lifted = open(path);
    ASSERT_TRUE(plain && lifted);
    lifted->addFx(7, 1);
    ASSERT_TRUE(lifted->setFxParams(7, ParamEq{125.0f, 18.0f, 15.0f}));
    const auto a = audiotest::render(*plain, 2 * kRate);
    const auto b = audiotest::render(*lifted, 2 * kRate);
    ASSERT_EQ(a.size(), b.size());
    // Skip the first half second: the filter settles and the ramp ends.
    const double gain = db(audiotest::rms(b, kRate / 2, 2 * kRate) / audiotest::rms(a, kRate / 2, 2 * kRate));
    EXPECT_NEAR(gain, 15.0, 0.5);
    EXPECT_NEAR(db(audiotest::rms(b, kRate / 2, 2 * kRate, 1) / audiotest::rms(a, kRate / 2, 2 * kRate, 1)), 15.0, 0.5);
}

TEST_F(StreamRender, BandLeavesFrequenciesFarAwayAlone)
{
    const auto path = audiotest::writeSine(dir_, "high", Format::Wav, 2.0, 8000.0, 0.3);
    auto plain = open(path);
    auto banded = open(path);
    ASSERT_TRUE(plain && banded);
    banded->addFx(7, 1);
    banded->setFxParams(7, ParamEq{125.0f, 18.0f, 15.0f});
    const auto a = audiotest::render(*plain, kRate);
    const auto b = audiotest::render(*banded, kRate);
    EXPECT_NEAR(db(audiotest::rms(b, kRate / 4, kRate) / audiotest::rms(a, kRate / 4, kRate)), 0.0, 0.2);
}

TEST_F(StreamRender, FlatBandChangesNothing)
{
    const auto path = audiotest::writeChirp(dir_, "chirp", Format::Wav, 2.0);
    auto plain = open(path);
    auto banded = open(path);
    ASSERT_TRUE(plain && banded);
    banded->addFx(7, 1);
    banded->setFxParams(7, ParamEq{1000.0f, 18.0f, 0.0f});
    const auto a = audiotest::render(*plain, kRate);
    const auto b = audiotest::render(*banded, kRate);
    ASSERT_EQ(a.size(), b.size());
    double worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::abs(a[i]) > 1e-3)
            worst = std::max(worst, std::abs(db(std::abs(b[i] / a[i]))));
    EXPECT_LT(worst, 0.01);
}

TEST_F(StreamRender, RemovedBandRestoresTheOriginal)
{
    const auto path = audiotest::writeSine(dir_, "low", Format::Wav, 4.0, 125.0, 0.05);
    auto plain = open(path);
    auto banded = open(path);
    ASSERT_TRUE(plain && banded);
    banded->addFx(7, 1);
    banded->setFxParams(7, ParamEq{125.0f, 18.0f, 15.0f});
    const auto before = audiotest::render(*banded, kRate);
    EXPECT_GT(audiotest::rms(before, kRate / 2, kRate), 4 * 0.05 / std::sqrt(2.0));
    ASSERT_TRUE(banded->removeFx(7));
    EXPECT_FALSE(banded->removeFx(7));
    ParamEq ignored;
    EXPECT_FALSE(banded->fxParams(7, ignored));
    // What was buffered still carries the band; after that the signal is
    // the original again, sample for sample once the fade has passed.
    const auto after = audiotest::render(*banded, 2 * kRate);
    const auto reference = audiotest::render(*plain, 3 * kRate);
    const std::size_t from = kRate;  // well past the buffered part and the fade
    double worst = 0;
    for (std::size_t i = from * 2; i < after.size(); ++i)
        worst = std::max(worst, static_cast<double>(std::abs(after[i] - reference[kRate * 2 + i])));
    EXPECT_LT(worst, 1e-4);
    // No jump where the band faded out: neighbouring samples stay close.
    double step = 0;
    for (std::size_t i = 2; i < after.size(); i += 2)
        step = std::max(step, static_cast<double>(std::abs(after[i] - after[i - 2])));
    EXPECT_LT(step, 0.05);
}

TEST_F(StreamRender, SettingsReadBackAsWritten)
{
    auto stream = open(audiotest::writeChirp(dir_, "c", Format::Wav, 0.5));
    ASSERT_TRUE(stream);
    stream->addFx(3, 1);
    ParamEq p;
    ASSERT_TRUE(stream->fxParams(3, p));
    EXPECT_EQ(p.gain, 0.0f);
    ASSERT_TRUE(stream->setFxParams(3, ParamEq{250.0f, 18.0f, -7.0f}));
    ASSERT_TRUE(stream->fxParams(3, p));
    EXPECT_EQ(p.center, 250.0f);
    EXPECT_EQ(p.bandwidth, 18.0f);
    EXPECT_EQ(p.gain, -7.0f);
    EXPECT_FALSE(stream->setFxParams(4, p));
}

TEST_F(StreamRender, SpectrumOfAOneKilohertzSinePeaksInItsBin)
{
    auto stream = open(audiotest::writeSine(dir_, "k", Format::Wav, 2.0, 1000.0, 1.0));
    ASSERT_TRUE(stream);
    audiotest::render(*stream, kRate / 2);
    float mono[audio::Spectrum::kSize];
    stream->recentMono(mono, audio::Spectrum::kSize);
    float bins[audio::Spectrum::kBins];
    audio::Spectrum spectrum;
    spectrum.compute(mono, bins);
    const auto peak = static_cast<std::size_t>(std::max_element(bins, bins + audio::Spectrum::kBins) - bins);
    EXPECT_EQ(peak, static_cast<std::size_t>(std::lround(1000.0 * 512 / kRate)));
    // Between two bins the Hann window loses up to 1.4 dB.
    EXPECT_GT(bins[peak], 0.8f);
    EXPECT_LT(bins[peak], 1.05f);
    EXPECT_LT(bins[peak + 10], 0.01f);
    EXPECT_LT(bins[2], 0.01f);
}

TEST_F(StreamRender, MonoIsHeardOnBothSidesAtFullLevel)
{
    auto stream = open(audiotest::writeSine(dir_, "m", Format::Wav, 1.0, 440.0, 0.5, kRate, 1));
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->bytesPerFrame(), 2);
    const auto out = audiotest::render(*stream, kRate / 2);
    EXPECT_NEAR(audiotest::rms(out, 0, kRate / 2, 0), 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(audiotest::rms(out, 0, kRate / 2, 1), 0.5 / std::sqrt(2.0), 0.01);
}

TEST_F(StreamRender, OtherRatesAreResampledButCountedInTheirOwn)
{
    auto stream = open(audiotest::writeChirp(dir_, "r", Format::Wav, 1.0, 48000));
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->lengthBytes(), 48000 * 4);
    EXPECT_DOUBLE_EQ(stream->bytesToSeconds(stream->lengthBytes()), 1.0);
    const auto out = audiotest::render(*stream, 3 * kRate);
    // One second of sound at the output's rate, give or take the filter's tail.
    EXPECT_NEAR(static_cast<double>(out.size() / 2), kRate, 64);
}

}  // namespace
