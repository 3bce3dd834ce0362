#include "barlevels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace SpectrumBars {

namespace {
std::size_t at(int i)
{
    return static_cast<std::size_t>(i);
}

// Round(height x (level / scale) x weight), kept to one row above the area:
// a taller bar is cut off at the top anyway, and a tiny reference must not
// overflow the pixel arithmetic.
int barHeight(float level, float scale, int height, int i)
{
    double h = static_cast<double>(height) * (static_cast<double>(level) / static_cast<double>(scale)) * weight(i);
    if (!(h <= height + 1.0))
        h = height + 1.0;
    return std::max(0, roundHalfEven(h));
}
} // namespace

int roundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double limit = std::numeric_limits<int>::max();
    value = std::clamp(value, -limit, limit);
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1.0;
    return static_cast<int>(std::clamp(rounded, -limit, limit));
}

Layout layout(int bars, int width)
{
    if (bars < 1)
        return {};
    Layout l;
    l.step = roundHalfEven(static_cast<double>(FftValues) / bars);
    l.barWidth = roundHalfEven(static_cast<double>(width) / FftValues * l.step);
    return l;
}

double weight(int i)
{
    return 2.0 * std::log10(i / 4.0 + 5.0) - 1.2;
}

void TSpectrumLevels::clear(bool holdOn)
{
    fft.fill(0.0f);
    cleared = true;
    hold = holdOn;
}

bool TSpectrumLevels::allLevelsZero() const
{
    return std::all_of(level.begin(), level.end(), [](float v) { return v == 0.0f; });
}

float TSpectrumLevels::frame(int bars, int width, int height, float frameScale, std::vector<Bar> &out,
                             int &barWidth)
{
    out.clear();
    float peak = 0.0f;
    const Layout l = layout(bars, width);
    barWidth = l.barWidth;
    if (l.step < 1)
        return peak;
    const float decay = frameScale / 40.0f;
    int x = 0;
    for (int i = l.step + 1; i < FftValues; i += l.step) {
        double sum = 0.0;
        for (int k = i - l.step; k < i; ++k)
            sum += fft[at(k)];
        float avg = static_cast<float>(sum / l.step);
        // Whatever the analysis delivers, a level must be able to reach zero.
        if (!std::isfinite(avg))
            avg = 0.0f;
        if (avg > peak)
            peak = avg;
        float &current = level[at(i)];
        if (avg >= current) {
            current = avg;
        } else {
            current -= decay;
            if (current < 0.0f)
                current = 0.0f;
        }
        out.push_back({x, barHeight(current, frameScale, height, i)});
        x += l.barWidth;
    }
    return peak;
}

void TSpectrumLevels::adaptScale(float peak)
{
    if (peak > scale)
        scale += scale / 40.0f;
    else
        scale -= scale / 40.0f / 3.0f;
    if (!(scale >= ScaleFloor))
        scale = ScaleFloor;
}

} // namespace SpectrumBars
