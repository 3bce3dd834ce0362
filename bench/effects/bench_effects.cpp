// The spectrum's frame cost on the default skin (offscreen platform, dummy
// audio output): a whole tick of the spectrum timer while a song plays (one
// FFT request, 31 bars, two 150 by 35 bitmap copies), and the drawing alone
// from held data. The budget is one millisecond per frame at 24 frames a
// second.
//
//   bench_effects [frames]      default 5000

#include "azvis.h"
#include "defaultskin.h"
#include "mediafixtures.h"
#include "timage.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr double kBudgetUs = 1000.0;
constexpr std::uint32_t kAqua = 0xFFFF00;

void report(const char *what, std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (const double v : us)
        sum += v;
    const double median = us[us.size() / 2];
    std::printf("%s, %zu frames: median %.1f us  mean %.1f us  p99 %.1f us  max %.1f us  median/budget %.4f\n", what,
                us.size(), median, sum / static_cast<double>(us.size()), us[us.size() * 99 / 100], us.back(),
                median / kBudgetUs);
}

std::vector<double> timeFrames(int frames, const std::function<void()> &frame)
{
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        frame();
        const auto end = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    return us;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(100, std::atoi(argv[1])) : 5000;

    QTemporaryDir dir;
    const QString song = dir.filePath(u"song.wav"_s);
    if (!dir.isValid() || !testsupport::writeTone(song, 600.0, 440.0, 0.4)) {
        std::fprintf(stderr, "bench_effects: ffmpeg could not write the song\n");
        return 1;
    }
    audio::Engine engine;
    if (!engine.init(-1, 44100, 0)) {
        std::fprintf(stderr, "bench_effects: no audio output\n");
        return 1;
    }
    const audio::Handle stream = engine.streamCreateFile(song.toStdString(), 0, 0, audio::kSampleFx);
    engine.channelPlay(stream, true);
    while (engine.channelGetPosition(stream) <= 0)
        std::this_thread::yield();

    TImage image;
    image.setPicture(defaultSkinPicture());
    image.resize(600, 260);
    QTimer timer;
    TAzVis spectrum({engine, stream, timer, [] { return kAqua; }});
    spectrum.initSpectrum(TAzVis::kLeft, TAzVis::kTop, TAzVis::kWidth, TAzVis::kHeight, &image);

    // Warm up, so the reference has settled on the song's loudness.
    for (int i = 0; i < 200; ++i)
        spectrum.azVisTimerTimer();
    report("timer tick while playing (FFT request + frame)", timeFrames(frames, [&] { spectrum.azVisTimerTimer(); }));
    // The figure means nothing unless the ticks fetched fresh data.
    const auto &levels = spectrum.levels();
    std::printf("  fresh data: %s  reference %.4f  highest level %.4f\n", levels.cleared ? "no" : "yes",
                static_cast<double>(levels.scale),
                static_cast<double>(*std::max_element(levels.level.begin(), levels.level.end())));

    // Held data: no FFT request, the bars as they were.
    spectrum.clearSpectrum(true);
    for (std::size_t i = 1; i < 249; ++i)
        spectrum.levels().fft[i] = 0.02f * static_cast<float>(i % 9);
    const audio::Handle none = 0;
    report("frame from held data (no FFT)", timeFrames(frames, [&] {
               spectrum.drawSpectrum(none, TAzVis::kTimerBars, kAqua, TAzVis::kOutline, spectrum.levels().scale);
           }));
    return 0;
}
