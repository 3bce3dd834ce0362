#pragma once

// The spectrum's arithmetic, apart from any picture: how the FFT values are
// grouped into bars, levels that rise at once and fall at a steady rate, the
// bar heights, and the gain reference that follows the music's loudness.

#include <array>
#include <cstddef>
#include <vector>

namespace SpectrumBars {
constexpr std::size_t ValueCount = 257;  // the library fills the first 256
constexpr int FftValues = 256;
constexpr float StartScale = 0.1f;
// Long silence while a stream plays would shrink the reference without end;
// below this the bars would only magnify noise.
constexpr float ScaleFloor = 1e-4f;

// Round to nearest, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
int roundHalfEven(double value);

// One bar: from (x, area height - height) to (x + width, area height), right
// and bottom exclusive.
struct Bar
{
    int x = 0;
    int height = 0;
};

struct Layout
{
    int step = 0;      // FFT values per bar
    int barWidth = 0;  // pixels per bar
};

// Round(256 / bars) values per bar, Round(width / 256 * step) pixels.
Layout layout(int bars, int width);

// The weight of the bar that ends before FFT value i: higher bands are
// drawn taller.
double weight(int i);

class TSpectrumLevels
{
public:
    std::array<float, ValueCount> fft{};
    std::array<float, ValueCount> level{};
    bool cleared = false;  // the FFT values were zeroed because nothing plays
    bool hold = false;     // fetch no FFT values, even while the stream plays
    float scale = StartScale;

    // Zeroes the FFT values.
    void clear(bool holdOn);
    void resetLevels() { level.fill(0.0f); }
    bool allLevelsZero() const;

    // One frame over an area of width x height: moves every level towards
    // the mean of its band's FFT values (up at once, down by scale / 40) and
    // lays out the bars. Returns the largest band mean.
    float frame(int bars, int width, int height, float frameScale, std::vector<Bar> &out, int &barWidth);

    // After a frame with fresh data: +2.5 % when the peak exceeded the
    // reference, else -1/120, never below the floor.
    void adaptScale(float peak);
};

} // namespace SpectrumBars
