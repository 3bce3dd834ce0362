// Playback figures on the real main window (offscreen platform, dummy audio
// output, a private program directory):
//   - grid fill: showList with 100,000 rows (goal: under 300 ms);
//   - gap between songs: from the first song's last sample being played to
//     the next song's first one, with end detection by the 250 ms monitor;
//   - CPU: percent of one core used by the whole process while a song plays.
//
//   bench_playback [cpu-seconds]      default 30

#include "defaultskin.h"
#include "mediafixtures.h"
#include "melodeck.h"
#include "skinsettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr double kFillGoalMs = 300.0;
constexpr int kFillRows = 100000;
constexpr int kFillRuns = 7;
constexpr int kGapRuns = 5;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void benchFill(Melodeck &window)
{
    window.musiclist.clear();
    for (int i = 0; i < kFillRows; ++i) {
        const QString n = QString::number(i);
        window.musiclist.appendRow(u"/music/"_s + n + u".mp3"_s, QString(), u"Artist "_s + n, u"Title "_s + n,
                                   u"Album"_s);
    }
    std::vector<double> times;
    for (int run = 0; run < kFillRuns; ++run) {
        window.showList(window.playlist);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        window.showList(window.musiclist);
        // The view lays out and paints what is visible before the user sees it.
        window.repaint();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("grid fill, %d rows: median %.2f ms  min %.2f ms  max %.2f ms  median/goal %.3f\n", kFillRows,
                median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), median(times) / kFillGoalMs);
    window.musiclist.clear();
    window.showList(window.playlist);
}

void benchGap(Melodeck &window, const QString &home)
{
    const QString first = home + u"first.wav"_s;
    const QString second = home + u"second.wav"_s;
    if (!testsupport::writeWav(first, 1.0) || !testsupport::writeWav(second, 1.0)) {
        std::printf("gap: ffmpeg could not write the songs\n");
        return;
    }
    window.playlist.clear();
    window.playlist.appendRow(first, QString(), u"a"_s, u"first"_s, QString());
    window.playlist.appendRow(second, QString(), u"a"_s, u"second"_s, QString());
    audio::Engine &engine = window.engine();
    std::vector<double> gaps;
    for (int run = 0; run < kGapRuns; ++run) {
        window.playSong(0, false);
        const audio::Handle stream = window.currentStream;
        const std::int64_t length = engine.channelGetLength(stream);
        QElapsedTimer clock;
        clock.start();
        qint64 endedAt = -1;
        qint64 startedAt = -1;
        while (clock.elapsed() < 10000 && startedAt < 0) {
            QTest::qWait(1);
            if (endedAt < 0 && window.currentStream == stream && engine.channelGetPosition(stream) >= length)
                endedAt = clock.nsecsElapsed();
            if (window.currentIndex == 1 && window.currentStream != stream
                && engine.channelGetPosition(window.currentStream) > 0)
                startedAt = clock.nsecsElapsed();
        }
        if (endedAt >= 0 && startedAt >= 0)
            gaps.push_back(static_cast<double>(startedAt - endedAt) / 1e6);
        window.button_stopClick();
    }
    if (gaps.empty()) {
        std::printf("gap between songs: not measured (no song change seen)\n");
        return;
    }
    std::printf("gap between songs (monitor every 250 ms): median %.1f ms  min %.1f ms  max %.1f ms  "
                "median/monitor-interval %.2f\n",
                median(gaps), *std::min_element(gaps.begin(), gaps.end()),
                *std::max_element(gaps.begin(), gaps.end()), median(gaps) / 250.0);
}

void benchCpu(Melodeck &window, const QString &home, int seconds)
{
    const QString song = home + u"long.wav"_s;
    if (!testsupport::writeWav(song, seconds + 5.0)) {
        std::printf("cpu: ffmpeg could not write the song\n");
        return;
    }
    window.playlist.clear();
    window.playlist.appendRow(song, QString(), u"a"_s, u"long"_s, QString());
    window.playSong(0, false);
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = processCpuSeconds();
    QTest::qWait(seconds * 1000);
    const double cpu = processCpuSeconds() - cpuBefore;
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    std::printf("cpu while a song plays, %.1f s: %.2f %% of one core (cpu %.3f s)\n", elapsed,
                100.0 * cpu / elapsed, cpu);
    window.button_stopClick();
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QTemporaryDir home;
    QTemporaryDir runtime;
    qputenv("MELODECK_HOME", QFile::encodeName(home.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    // Never reach the machine's logind, whatever the after-playlist mode.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", QFile::encodeName(u"unix:path="_s + runtime.path() + u"/none"_s));
    QApplication app(argc, argv);
    const int cpuSeconds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 30;

    const QString dir = home.path() + u'/';
    TSkinSettings settings;
    settings.spectrumOn = false;
    settings.hotKeysOn = false;
    if (!saveSkinPicture(defaultSkinPicture(), dir + kSkinPictureFileName)
        || !settings.saveToFile(dir + kSkinSettingsFileName)) {
        std::fprintf(stderr, "bench_playback: cannot write the skin\n");
        return 1;
    }
    Melodeck window({});
    if (!window.started()) {
        std::fprintf(stderr, "bench_playback: the window did not start\n");
        return 1;
    }
    window.load_songlist_timer.stop();
    window.show();
    QApplication::processEvents();

    benchFill(window);
    benchGap(window, dir);
    benchCpu(window, dir, cpuSeconds);
    window.close();
    return 0;
}
