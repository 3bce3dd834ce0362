// The spectrum's arithmetic without a picture: rounding, the bar layout, how
// fast levels fall and how the gain reference follows the loudness.

#include "spectrumlevels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace SpectrumBars;

namespace {

TEST(SpectrumArithmetic, RoundingAndLayout)
{
    struct Case
    {
        double value;
        int rounded;
    };
    const Case rounding[] = {{2.5, 2}, {3.5, 4}, {0.5, 0}, {1.5, 2}, {-2.5, -2}, {-3.5, -4},
                             {4.6875, 5}, {2.4999, 2}, {2.5001, 3}, {-0.4, 0}, {1e300, 2147483647}};
    for (const Case &c : rounding)
        EXPECT_EQ(roundHalfEven(c.value), c.rounded) << c.value;
    EXPECT_EQ(roundHalfEven(std::nan("")), 0);

    struct LayoutCase
    {
        int bars, width, step, barWidth;
    };
    // 32 bars over 150 pixels: 8 values per bar, 4.6875 pixels rounded to 5.
    const LayoutCase layouts[] = {{32, 150, 8, 5}, {64, 150, 4, 2}, {10, 150, 26, 15}, {0, 150, 0, 0}};
    for (const LayoutCase &c : layouts) {
        const Layout l = layout(c.bars, c.width);
        EXPECT_EQ(l.step, c.step) << c.bars;
        EXPECT_EQ(l.barWidth, c.barWidth) << c.bars;
    }

    // 31 bars for FFT values 1 to 248; the 31st starts at x = 150, outside.
    TSpectrumLevels levels;
    std::vector<Bar> bars;
    int barWidth = 0;
    levels.frame(32, 150, 35, levels.scale, bars, barWidth);
    ASSERT_EQ(bars.size(), 31u);
    EXPECT_EQ(bars.front().x, 0);
    EXPECT_EQ(bars.back().x, 150);
    EXPECT_NEAR(weight(9), 0.52, 0.005);
    EXPECT_NEAR(weight(249), 2.46, 0.005);
}

TEST(SpectrumArithmetic, LevelsRiseAtOnceAndFallByAFortiethOfTheReference)
{
    TSpectrumLevels levels;
    std::vector<Bar> bars;
    int barWidth = 0;
    levels.fft[20] = 0.4f;  // the band of i = 25 holds values 17 to 24
    EXPECT_FLOAT_EQ(levels.frame(32, 150, 35, 0.1f, bars, barWidth), 0.05f);
    EXPECT_FLOAT_EQ(levels.level[25], 0.05f);

    // From here on silence: each frame takes scale / 40 off, down to zero.
    levels.clear(false);
    const float expected[] = {0.0475f, 0.045f, 0.0425f};
    for (const float e : expected) {
        EXPECT_EQ(levels.frame(32, 150, 35, 0.1f, bars, barWidth), 0.0f);
        EXPECT_NEAR(levels.level[25], e, 1e-6f);
    }
    for (int i = 0; i < 20 && !levels.allLevelsZero(); ++i)
        levels.frame(32, 150, 35, 0.1f, bars, barWidth);
    EXPECT_TRUE(levels.allLevelsZero());

    // Data that is no number cannot keep a bar up for ever.
    levels.fft[40] = std::nanf("");
    levels.frame(32, 150, 35, 0.1f, bars, barWidth);
    EXPECT_TRUE(levels.allLevelsZero());
}

TEST(SpectrumArithmetic, TheReferenceFollowsTheLoudnessAndNeverFallsBelowItsFloor)
{
    struct Case
    {
        float scale, peak, after;
    };
    const Case cases[] = {
        {0.1f, 0.2f, 0.1025f},            // louder: +2.5 %
        {0.1f, 0.1f, 0.1f - 0.1f / 120},  // not above it: -1/120
        {0.1f, 0.0f, 0.1f - 0.1f / 120},
        {ScaleFloor, 0.0f, ScaleFloor},   // at the floor it stays
        {0.0f, 0.0f, ScaleFloor},
    };
    for (const Case &c : cases) {
        TSpectrumLevels levels;
        levels.scale = c.scale;
        levels.adaptScale(c.peak);
        EXPECT_NEAR(levels.scale, c.after, 1e-7f) << c.scale << " " << c.peak;
    }

    // Ten minutes of silence at 24 frames a second while a stream plays: the
    // reference settles on the floor, and a bar height stays finite.
    TSpectrumLevels levels;
    std::vector<Bar> bars;
    int barWidth = 0;
    for (int frame = 0; frame < 24 * 600; ++frame) {
        levels.frame(32, 150, 35, levels.scale, bars, barWidth);
        levels.adaptScale(0.0f);
        ASSERT_GE(levels.scale, ScaleFloor);
    }
    EXPECT_EQ(levels.scale, ScaleFloor);
    levels.fft[100] = 1.0f;
    levels.frame(32, 150, 35, levels.scale, bars, barWidth);
    for (const Bar &bar : bars)
        EXPECT_LE(bar.height, 36);
}

} // namespace
