// The spectrum's rounding and its gain reference, without a picture.

#include "barlevels.h"

#include <gtest/gtest.h>

using namespace SpectrumBars;

TEST(SpectrumArithmetic, HalvesGoToEvenAndTheReferenceFollowsTheLoudnessDownToAFloor)
{
    for (const auto &[value, rounded] : {std::pair{2.5, 2}, {3.5, 4}, {-2.5, -2}, {4.6875, 5}, {1e300, 2147483647}})
        EXPECT_EQ(roundHalfEven(value), rounded) << value;
    // Up by 2.5 % when the peak exceeds it, else down by one part in 120.
    for (const auto &[scale, peak, after] : {std::tuple{0.1f, 0.2f, 0.1025f}, {0.1f, 0.1f, 0.1f - 0.1f / 120},
                                             {ScaleFloor, 0.0f, ScaleFloor}, {0.0f, 0.0f, ScaleFloor}}) {
        TSpectrumLevels levels;
        levels.scale = scale;
        levels.adaptScale(peak);
        EXPECT_NEAR(levels.scale, after, 1e-7f) << scale << " " << peak;
    }
    // Ten minutes of silence while a stream plays settle the reference on the
    // floor, and a loud frame after it still gives bars of finite height.
    TSpectrumLevels levels;
    std::vector<Bar> bars;
    int barWidth = 0;
    for (int frame = 0; frame < 24 * 600; ++frame) {
        levels.frame(32, 150, 35, levels.scale, bars, barWidth);
        levels.adaptScale(0.0f);
    }
    EXPECT_EQ(levels.scale, ScaleFloor);
    levels.fft[100] = 1.0f;
    levels.frame(32, 150, 35, levels.scale, bars, barWidth);
    EXPECT_EQ(bars.at(12).height, 36); // cut off by the top of the area
}
