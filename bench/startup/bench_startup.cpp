// Starts the built melodeck again and again and measures the time from
// process start to the main window being shown (the program writes "shown" to
// its test event log from its first show event, and "painted" once it has
// painted for the first time), for an empty library and for one with 100,000
// songs stored. The runs of the two alternate, so that a change in the
// machine's load hits both alike.
//
//   bench_startup [runs] [program] >/dev/null
//       default 15 runs of each; program: the built melodeck (default: beside
//       this). The figures go to standard error; standard output carries the
//       store library's progress while the big library is written.
//
// Without QT_QPA_PLATFORM the program runs on an X server of its own (Xvfb,
// which picks a free display), as a user's desktop would show it; with
// QT_QPA_PLATFORM set (and DISPLAY for xcb) it runs where that says.

#include "benchlibrary.h"
#include "options.h"
#include "scanner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <unistd.h>
#include <cstdio>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr double kGoalMs = 300.0;
constexpr int kTimeoutMs = 30000;
constexpr int kBigLibrarySongs = 100000;

// CPU time the process has used so far, user and system, in milliseconds:
// unlike the wall time it hardly depends on what else the machine runs.
double cpuMs(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble();
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool logSays(const QString &path, const char *event)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) && log.readAll().contains(event);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char *what, std::vector<double> times, bool againstGoal)
{
    const double first = times.front();
    const double middle = median(times);
    std::sort(times.begin(), times.end());
    std::fprintf(stderr, "    %-8s first %7.1f ms  min %7.1f ms  median %7.1f ms  max %7.1f ms", what, first,
                 times.front(), middle, times.back());
    if (againstGoal)
        std::fprintf(stderr, "  median/goal %.2f", middle / kGoalMs);
    std::fprintf(stderr, "\n");
}

// One stored library and what its starts measured.
struct Home {
    const char *name;
    QString path;
    std::vector<double> shown;
    std::vector<double> painted;
    std::vector<double> cpu;
};

// A private X server; it picks a free display itself and names it on its
// standard output once it accepts clients.
class PrivateDisplay {
public:
    ~PrivateDisplay()
    {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000))
                server_.kill();
            server_.waitForFinished(5000);
        }
    }

    std::optional<QString> start()
    {
        const QString xvfb = QStandardPaths::findExecutable(u"Xvfb"_s);
        if (xvfb.isEmpty())
            return std::nullopt;
        server_.setProcessChannelMode(QProcess::SeparateChannels);
        server_.setStandardErrorFile(QProcess::nullDevice());
        server_.start(xvfb, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x1024x24"_s, u"-nolisten"_s,
                             u"tcp"_s});
        QByteArray number;
        while (!number.contains('\n') && server_.waitForReadyRead(kTimeoutMs))
            number += server_.readAllStandardOutput();
        number = number.trimmed();
        if (number.isEmpty())
            return std::nullopt;
        return u":"_s + QString::fromLatin1(number);
    }

private:
    QProcess server_;
};

// Starts the program once in `home`; false when it did not show its window.
bool startOnce(const QString &program, QProcessEnvironment env, const QString &log, Home &home)
{
    env.insert(u"MELODECK_HOME"_s, home.path);
    env.insert(u"MELODECK_TEST_LOG"_s, log);
    QProcess process;
    process.setProcessEnvironment(env);
    // The store library reports its progress on standard output.
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    if (!process.waitForStarted(kTimeoutMs)) {
        std::fprintf(stderr, "bench_startup: cannot start %s\n", qPrintable(program));
        return false;
    }
    double shownMs = -1;
    double shownCpu = -1;
    bool painted = false;
    while (clock.elapsed() < kTimeoutMs) {
        if (shownMs < 0 && logSays(log, "shown")) {
            shownMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            shownCpu = cpuMs(process.processId());
        }
        if (shownMs >= 0 && logSays(log, "painted")) {
            painted = true;
            break;
        }
        if (process.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "bench_startup: melodeck ended before showing its window\n");
            return false;
        }
        QThread::usleep(250);
    }
    const double paintedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    process.kill();
    process.waitForFinished(5000);
    if (!painted) {
        std::fprintf(stderr, "bench_startup: no window after %d ms\n", kTimeoutMs);
        return false;
    }
    home.shown.push_back(shownMs);
    home.painted.push_back(paintedMs);
    home.cpu.push_back(shownCpu);
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 15;
    const QString bin = QCoreApplication::applicationDirPath();
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2]) : bin + u"/melodeck"_s;
    if (!QFile::exists(program)) {
        std::fprintf(stderr, "bench_startup: %s not found\n", qPrintable(program));
        return 1;
    }

    QTemporaryDir dir;
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Home empty{"empty", dir.filePath(u"empty"_s), {}, {}, {}};
    Home big{"100,000 songs", dir.filePath(u"big"_s), {}, {}, {}};
    for (const Home *home : {&empty, &big}) {
        QDir().mkpath(home->path);
        // The shipped skin and file types, as an installation has them.
        for (const QString &name : {u"skin.bmp"_s, u"skin.azo"_s, u"filetypes.azi"_s})
            QFile::copy(bin + u'/' + name, home->path + u'/' + name);
    }
    // A stored library whose folder exists, so no first-start question
    // comes; the deferred start-up loads it once the window is up.
    QDir().mkpath(big.path + u"/music"_s);
    benchLibrary(kBigLibrarySongs).saveTable(big.path + u'/' + kSongListFileName);
    TStringListC{big.path + u"/music"_s}.SaveToFile(big.path + u"/music_directories.azi"_s);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    if (!env.contains(u"SDL_AUDIODRIVER"_s))
        env.insert(u"SDL_AUDIODRIVER"_s, u"dummy"_s);
    PrivateDisplay display;
    if (!env.contains(u"QT_QPA_PLATFORM"_s)) {
        const std::optional<QString> name = display.start();
        if (name) {
            env.insert(u"DISPLAY"_s, *name);
            env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        } else {
            std::fprintf(stderr, "bench_startup: no Xvfb; measuring offscreen\n");
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        }
    }

    for (int i = 0; i < runs; ++i) {
        for (Home *home : {&empty, &big}) {
            if (!startOnce(program, env, runtime.filePath(u"run%1-%2.log"_s.arg(i).arg(home == &empty ? 0 : 1)), *home))
                return 1;
        }
    }

    std::fprintf(stderr, "process start to main window, %d runs each, platform %s, goal %.0f ms\n", runs,
                 qPrintable(env.value(u"QT_QPA_PLATFORM"_s)), kGoalMs);
    for (const Home *home : {&empty, &big}) {
        std::fprintf(stderr, "  library %s\n", home->name);
        report("shown", home->shown, true);
        report("painted", home->painted, true);
        report("cpu", home->cpu, false);
    }
    std::fprintf(stderr, "  (cpu: processor time the program used until shown; wall times follow the machine's "
                         "load)\n");
    return 0;
}
