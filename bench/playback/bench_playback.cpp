// Playback figures on the real main window (offscreen platform, dummy audio
// output, a private program directory):
//   - grid fill: showList with 100,000 rows (goal: under 300 ms);
//   - gap between songs: the silence heard between two WAV songs and between
//     two MP3 songs, read from a capture of the SDL disk device (goal: at
//     most 50 ms);
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
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <optional>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr double kFillGoalMs = 300.0;
constexpr int kFillRows = 100000;
constexpr int kFillRuns = 7;
constexpr int kGapRuns = 5;
constexpr double kGapGoalMs = 50.0;
constexpr int kRate = 44100;

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

// A sine tone at the output's own rate, so the captured samples are the
// song's samples (no resampler ramp at either end).
bool writeTone(const QString &path, double seconds)
{
    QStringList arguments{u"-nostdin"_s, u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-y"_s,
                          u"-f"_s, u"lavfi"_s, u"-i"_s,
                          u"sine=frequency=440:sample_rate=44100:duration="_s + QString::number(seconds)};
    if (path.endsWith(u".mp3"_s))
        arguments << u"-c:a"_s << u"libmp3lame"_s;
    arguments << path;
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s, arguments);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit
           && ffmpeg.exitCode() == 0;
}

// Stretches of sound in a capture of stereo float frames, split where at
// least kSilentFrames frames in a row are exactly zero (a sine tone has at
// most a lone zero sample where it crosses).
struct Segment
{
    std::size_t start;
    std::size_t end;
};
constexpr std::size_t kSilentFrames = 8;

std::vector<Segment> soundSegments(const std::vector<float> &stereo)
{
    std::vector<Segment> segments;
    const std::size_t frames = stereo.size() / 2;
    std::size_t i = 0;
    while (i < frames) {
        while (i < frames && stereo[2 * i] == 0.0f && stereo[2 * i + 1] == 0.0f)
            ++i;
        if (i == frames)
            break;
        const std::size_t start = i;
        std::size_t zeros = 0;
        for (; i < frames && zeros < kSilentFrames; ++i)
            zeros = stereo[2 * i] == 0.0f && stereo[2 * i + 1] == 0.0f ? zeros + 1 : 0;
        segments.push_back({start, i - zeros});
    }
    return segments;
}

struct GapFigures
{
    std::vector<double> gapsMs;
    int dropouts = 0;
};

// Reads back the pairs of songs: each song is the run of segments that
// spans (nearly) its length; what lies between the first and the second
// song of a pair is the gap.
GapFigures gapsInCapture(const std::vector<float> &stereo, std::size_t firstFrames, std::size_t secondFrames,
                         int rate)
{
    GapFigures figures;
    const std::vector<Segment> segments = soundSegments(stereo);
    std::size_t k = 0;
    // Merges segments from k on until they span the song; returns the end.
    const auto song = [&](std::size_t frames) -> std::optional<std::size_t> {
        if (k >= segments.size())
            return std::nullopt;
        const std::size_t start = segments[k].start;
        while (k < segments.size() && segments[k].end - start < frames * 97 / 100) {
            ++k;
            if (k < segments.size())
                ++figures.dropouts;
        }
        if (k >= segments.size())
            return std::nullopt;
        return segments[k++].end;
    };
    while (k < segments.size()) {
        const auto firstEnd = song(firstFrames);
        if (!firstEnd || k >= segments.size())
            break;
        const std::size_t secondStart = segments[k].start;
        if (!song(secondFrames))
            break;
        figures.gapsMs.push_back(1000.0 * static_cast<double>(secondStart - *firstEnd) / rate);
    }
    return figures;
}

// The silence between two songs, as heard: the main window plays two songs
// in a row into the SDL disk device (paced like a sound card), and the
// captured samples are searched for the silence between them.
void benchGap(const QString &home, const QString &extension)
{
    const QString first = home + u"first"_s + extension;
    const QString second = home + u"second"_s + extension;
    if (!writeTone(first, 1.0) || !writeTone(second, 1.0)) {
        std::printf("gap: ffmpeg could not write the songs\n");
        return;
    }
    const QString capture = home + u"capture.raw"_s;
    QFile::remove(capture);
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(capture));
    std::size_t firstFrames = 0;
    std::size_t secondFrames = 0;
    int finished = 0;
    {
        Melodeck window({});
        if (!window.started()) {
            std::printf("gap: the window did not start with the disk device\n");
            return;
        }
        window.load_songlist_timer.stop();
        window.show();
        window.playlist.clear();
        window.playlist.appendRow(first, QString(), u"a"_s, u"first"_s, QString());
        window.playlist.appendRow(second, QString(), u"a"_s, u"second"_s, QString());
        audio::Engine &engine = window.engine();
        for (int run = 0; run < kGapRuns; ++run) {
            window.playSong(0, false);
            const audio::Handle stream = window.currentStream;
            firstFrames = static_cast<std::size_t>(engine.channelGetLength(stream) / 4);
            // The second song has ended when "Stop Playlist" has stopped it.
            const bool done = QTest::qWaitFor(
                [&] {
                    if (window.currentIndex == 1 && window.currentStream != stream && secondFrames == 0)
                        secondFrames = static_cast<std::size_t>(engine.channelGetLength(window.currentStream) / 4);
                    return window.currentIndex == 1 && !window.button_stop->isEnabled();
                },
                10000);
            if (done)
                ++finished;
        }
    }
    qputenv("SDL_AUDIODRIVER", driver);
    QFile file(capture);
    if (!file.open(QIODevice::ReadOnly) || finished == 0 || secondFrames == 0) {
        std::printf("gap between songs (%s): not measured (no song change seen)\n", qPrintable(extension));
        return;
    }
    const QByteArray bytes = file.readAll();
    std::vector<float> stereo(static_cast<std::size_t>(bytes.size()) / sizeof(float));
    std::memcpy(stereo.data(), bytes.constData(), stereo.size() * sizeof(float));
    const GapFigures figures = gapsInCapture(stereo, firstFrames, secondFrames, kRate);
    if (figures.gapsMs.empty()) {
        std::printf("gap between songs (%s): no pair of songs found in the capture\n", qPrintable(extension));
        return;
    }
    const auto &gaps = figures.gapsMs;
    std::printf("gap between songs (%s, heard): median %.1f ms  min %.1f ms  max %.1f ms  median/goal %.2f  "
                "(%zu of %d runs, %d dropouts)\n",
                qPrintable(extension), median(gaps), *std::min_element(gaps.begin(), gaps.end()),
                *std::max_element(gaps.begin(), gaps.end()), median(gaps) / kGapGoalMs, gaps.size(), kGapRuns,
                figures.dropouts);
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
    // First, while no other window holds the audio device: SDL picks its
    // driver when the device is first opened.
    benchGap(dir, u".wav"_s);
    benchGap(dir, u".mp3"_s);

    Melodeck window({});
    if (!window.started()) {
        std::fprintf(stderr, "bench_playback: the window did not start\n");
        return 1;
    }
    window.load_songlist_timer.stop();
    window.show();
    QApplication::processEvents();

    benchFill(window);
    benchCpu(window, dir, cpuSeconds);
    window.close();
    return 0;
}
