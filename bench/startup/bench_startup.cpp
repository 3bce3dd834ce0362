// Starts the built melodeck again and again with an empty library and
// measures the time from process start to the main window being shown (the
// program writes "shown" to its test event log from its first show event).
//
//   bench_startup [runs]      default 15 runs, offscreen platform

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr double kGoalMs = 300.0;
constexpr int kTimeoutMs = 30000;

bool logSaysShown(const QString &path)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) && log.readAll().contains("shown");
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 15;
    const QString bin = QCoreApplication::applicationDirPath();
    const QString program = bin + u"/melodeck"_s;
    if (!QFile::exists(program)) {
        std::fprintf(stderr, "bench_startup: %s not found\n", qPrintable(program));
        return 1;
    }

    QTemporaryDir home;
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The shipped skin and file types, as an installation has them; no song list.
    for (const QString &name : {u"skin.bmp"_s, u"skin.azo"_s, u"filetypes.azi"_s})
        QFile::copy(bin + u'/' + name, home.filePath(name));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"MELODECK_HOME"_s, home.path());
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    if (!env.contains(u"QT_QPA_PLATFORM"_s))
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    if (!env.contains(u"SDL_AUDIODRIVER"_s))
        env.insert(u"SDL_AUDIODRIVER"_s, u"dummy"_s);

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const QString log = runtime.filePath(u"run%1.log"_s.arg(i));
        env.insert(u"MELODECK_TEST_LOG"_s, log);
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QElapsedTimer clock;
        clock.start();
        process.start(program, {});
        if (!process.waitForStarted(kTimeoutMs)) {
            std::fprintf(stderr, "bench_startup: cannot start %s\n", qPrintable(program));
            return 1;
        }
        while (!logSaysShown(log) && clock.elapsed() < kTimeoutMs) {
            if (process.state() == QProcess::NotRunning) {
                std::fprintf(stderr, "bench_startup: melodeck ended before showing its window\n");
                return 1;
            }
            QThread::usleep(500);
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        process.kill();
        process.waitForFinished(5000);
        if (ms >= kTimeoutMs) {
            std::fprintf(stderr, "bench_startup: no window after %d ms\n", kTimeoutMs);
            return 1;
        }
        times.push_back(ms);
    }

    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::printf("startup to shown window, %d runs, platform %s\n", runs,
                qPrintable(env.value(u"QT_QPA_PLATFORM"_s)));
    std::printf("  first %.1f ms  min %.1f ms  median %.1f ms  max %.1f ms\n", times.front(), sorted.front(),
                median, sorted.back());
    std::printf("  median / goal (%.0f ms) = %.2f\n", kGoalMs, median / kGoalMs);
    return 0;
}
