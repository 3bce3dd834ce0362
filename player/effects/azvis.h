#pragma once

// The bar spectrum painted into the skin picture while a song plays. It keeps
// the picture's pixels under its area from the moment the skin was set up,
// composes each frame on a second bitmap of the same size and copies that into
// the picture; both bitmaps live until the next skin is set up.

#include "engine.h"
#include "barlevels.h"

#include <QImage>
#include <QRect>

#include <functional>
#include <vector>

class QTimer;
class TImage;

class TAzVis
{
public:
    // Where the main window's spectrum sits on its skin, and how it is drawn.
    static constexpr int kLeft = 377;
    static constexpr int kTop = 8;
    static constexpr int kWidth = 150;
    static constexpr int kHeight = 35;
    static constexpr int kTimerBars = 32;
    static constexpr quint32 kOutline = 0x000000;

    // What the timer handler works with: the engine, the current stream (read
    // at every tick), the timer that stops once the bars have fallen, and the
    // spectrum colour of the skin.
    struct Context
    {
        audio::Engine &engine;
        const audio::Handle &stream;
        QTimer &timer;
        std::function<quint32()> colour;
    };

    explicit TAzVis(Context context);

    // Takes the picture's pixels under the area as the new background and
    // starts the bars from zero.
    void initSpectrum(int left, int top, int width, int height, TImage *image);
    // Zeroes the FFT values; with holdOn no new ones are fetched until the
    // bars have fallen.
    void clearSpectrum(bool holdOn);
    // Composes and paints one frame; returns the largest band mean.
    float drawSpectrum(audio::Handle stream, int bars, quint32 fill, quint32 outline, float scale);
    // One tick of the main window's spectrum timer.
    void azVisTimerTimer();

    SpectrumBars::TSpectrumLevels &levels() { return levels_; }
    const SpectrumBars::TSpectrumLevels &levels() const { return levels_; }
    QRect area() const { return {left_, top_, work_.width(), work_.height()}; }

private:
    void compose(int barWidth, QRgb fill, QRgb outline);
    void paintIntoPicture();

    Context c_;
    TImage *image_ = nullptr;
    int left_ = kLeft;
    int top_ = kTop;
    QImage background_;
    QImage work_;
    SpectrumBars::TSpectrumLevels levels_;
    std::vector<SpectrumBars::Bar> bars_;
};
