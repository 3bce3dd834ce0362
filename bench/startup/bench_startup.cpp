// Starts the built melodeck again and again and measures the time from
// process start to the main window being shown (the program writes "shown" to
// its test event log from its first show event, and "painted" once it has
// painted for the first time), and to the grid holding the whole stored
// library ("deferred", the end of the deferred start-up), with the resident
// memory at that moment; for an empty library and for 100,000 and 1,000,000
// stored songs. The runs of the homes alternate, so that a change in the
// machine's load hits all alike. The 1,000,000-song figures are also given
// as a ratio to the 100,000-song ones, so the growth with size shows.
//
//   bench_startup [runs] [program] >/dev/null
//       default 7 runs of each; program: the built melodeck (default: beside
//       this). The figures go to standard error; standard output carries the
//       store library's progress while the big libraries are written.
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
#include <functional>
#include <unistd.h>
#include <cstdio>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr double kGoalMs = 300.0;
constexpr double kLibraryGoalMs = 1000.0;
constexpr double kMemoryGoalMiB = 250.0;
constexpr double kSearchGoalMs = 150.0;
constexpr double kSortGoalMs = 200.0;
constexpr int kTimeoutMs = 60000;

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

// The process's resident memory in MiB, or -1.
double residentMiB(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
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

// goal 0: none. unit: "ms" or "MiB".
void report(const char *what, std::vector<double> values, double goal, const char *unit = "ms")
{
    const double first = values.front();
    const double middle = median(values);
    std::sort(values.begin(), values.end());
    std::fprintf(stderr, "    %-9s first %7.1f %-3s  min %7.1f  median %7.1f  max %7.1f", what, first, unit,
                 values.front(), middle, values.back());
    if (goal > 0)
        std::fprintf(stderr, "  median/goal %.2f", middle / goal);
    std::fprintf(stderr, "\n");
}

// One stored library and what its starts measured.
struct Home {
    const char *name = "";
    int songs = 0;
    QString path;
    std::vector<double> shown;
    std::vector<double> painted;
    std::vector<double> cpu;
    std::vector<double> deferred;
    std::vector<double> resident;
    std::vector<double> search;
    std::vector<double> sort;
    double hits = 0;
};

// Runs xdotool with the arguments; its standard output, or nothing when it failed.
std::optional<QByteArray> xdotool(const QProcessEnvironment &env, const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start(u"xdotool"_s, arguments);
    if (!tool.waitForFinished(kTimeoutMs) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

// Milliseconds from `act` to the log line starting with `event`, whose last
// word it puts into `count`; -1 when the line did not come.
double timeUntil(const QString &log, const char *event, const std::function<bool()> &act, double &count)
{
    QElapsedTimer clock;
    clock.start();
    if (!act())
        return -1;
    while (clock.elapsed() < kTimeoutMs) {
        QFile file(log);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (line.startsWith(event)) {
                    count = line.mid(line.lastIndexOf(' ') + 1).toDouble();
                    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
                }
            }
        }
        QThread::usleep(250);
    }
    return -1;
}

// The user's one-word search over "All" and the sort of its hits by Title,
// typed and clicked through the X server as the user's keys and mouse would.
// The times include starting xdotool, a few milliseconds.
bool searchAndSort(const QProcessEnvironment &env, qint64 pid, const QString &log, Home &home)
{
    const std::optional<QByteArray> found =
        xdotool(env, {u"search"_s, u"--sync"_s, u"--pid"_s, QString::number(pid)});
    if (!found)
        return false;
    const QString window = QString::fromLatin1(found->trimmed().split('\n').value(0));
    if (!xdotool(env, {u"windowfocus"_s, u"--sync"_s, window}) || !xdotool(env, {u"type"_s, u"summer"_s}))
        return false;
    const double searchMs = timeUntil(log, "searched", [&] { return xdotool(env, {u"key"_s, u"Return"_s}).has_value(); },
                                      home.hits);
    // The Title header, just right of the number column, in the window's
    // own coordinates.
    double sorted = 0;
    const double sortMs = timeUntil(log, "sorted", [&] {
        return xdotool(env, {u"mousemove"_s, u"--window"_s, window, u"60"_s, u"262"_s, u"click"_s, u"1"_s})
            .has_value();
    }, sorted);
    if (searchMs < 0 || sortMs < 0 || sorted != home.hits)
        return false;
    home.search.push_back(searchMs);
    home.sort.push_back(sortMs);
    return true;
}

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
bool startOnce(const QString &program, QProcessEnvironment env, const QString &log, bool drive, Home &home)
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
    double paintedMs = -1;
    double deferredMs = -1;
    double resident = -1;
    const auto now = [&clock] { return static_cast<double>(clock.nsecsElapsed()) / 1e6; };
    while (clock.elapsed() < kTimeoutMs) {
        if (shownMs < 0 && logSays(log, "shown")) {
            shownMs = now();
            shownCpu = cpuMs(process.processId());
        }
        if (shownMs >= 0 && paintedMs < 0 && logSays(log, "painted"))
            paintedMs = now();
        if (paintedMs >= 0 && logSays(log, "deferred")) {
            deferredMs = now();
            resident = residentMiB(process.processId());
            break;
        }
        if (process.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "bench_startup: melodeck ended before showing its library\n");
            return false;
        }
        QThread::usleep(250);
    }
    const bool driven = deferredMs < 0 || home.songs == 0 || !drive
                        || searchAndSort(env, process.processId(), log, home);
    process.kill();
    process.waitForFinished(5000);
    if (deferredMs < 0) {
        std::fprintf(stderr, "bench_startup: no window with its library after %d ms\n", kTimeoutMs);
        return false;
    }
    if (!driven) {
        std::fprintf(stderr, "bench_startup: the search or the sort did not come through\n");
        return false;
    }
    home.shown.push_back(shownMs);
    home.painted.push_back(paintedMs);
    home.cpu.push_back(shownCpu);
    home.deferred.push_back(deferredMs);
    home.resident.push_back(resident);
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 7;
    const QString bin = QCoreApplication::applicationDirPath();
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2]) : bin + u"/melodeck"_s;
    if (!QFile::exists(program)) {
        std::fprintf(stderr, "bench_startup: %s not found\n", qPrintable(program));
        return 1;
    }

    QTemporaryDir dir;
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::vector<Home> homes(3);
    homes[0].name = "empty";
    homes[1].name = "100,000 songs";
    homes[1].songs = 100000;
    homes[2].name = "1,000,000 songs";
    homes[2].songs = 1000000;
    for (Home &home : homes) {
        home.path = dir.filePath(QString::number(home.songs));
        QDir().mkpath(home.path);
        // The shipped skin and file types, as an installation has them.
        for (const QString &name : {u"skin.bmp"_s, u"skin.azo"_s, u"filetypes.azi"_s})
            QFile::copy(bin + u'/' + name, home.path + u'/' + name);
        // A music folder that exists, so no first-start question comes; the
        // deferred start-up loads the stored library once the window is up,
        // or scans the empty folder when none is stored.
        QDir().mkpath(home.path + u"/music"_s);
        TStringListC{home.path + u"/music"_s}.SaveToFile(home.path + u"/music_directories.azi"_s);
        if (home.songs > 0)
            benchLibrary(home.songs).saveTable(home.path + u'/' + kSongListFileName);
    }

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

    // Keys and mouse clicks need an X server and xdotool.
    const bool drive = env.value(u"QT_QPA_PLATFORM"_s) == u"xcb"_s
                       && !QStandardPaths::findExecutable(u"xdotool"_s).isEmpty();
    if (!drive)
        std::fprintf(stderr, "bench_startup: no X server or no xdotool; the search and the sort are not measured\n");
    for (int i = 0; i < runs; ++i) {
        for (Home &home : homes) {
            if (!startOnce(program, env, runtime.filePath(u"run%1-%2.log"_s.arg(i).arg(home.songs)), drive, home))
                return 1;
        }
    }

    std::fprintf(stderr, "process start to main window and to the grid holding the library, %d runs each, "
                         "platform %s\n", runs, qPrintable(env.value(u"QT_QPA_PLATFORM"_s)));
    for (const Home &home : homes) {
        std::fprintf(stderr, "  library %s\n", home.name);
        report("shown", home.shown, kGoalMs);
        report("painted", home.painted, kGoalMs);
        report("cpu", home.cpu, 0);
        report("library", home.deferred, home.songs > 100000 ? kLibraryGoalMs : 0);
        report("resident", home.resident, home.songs > 100000 ? kMemoryGoalMiB : 0, "MiB");
        if (!home.search.empty()) {
            std::fprintf(stderr, "    one-word search over All, %.0f hits; then sorting them by Title:\n", home.hits);
            report("search", home.search, home.songs > 100000 ? kSearchGoalMs : 0);
            report("sort", home.sort, home.songs > 100000 ? kSortGoalMs : 0);
        }
    }
    const Home &tenth = homes[1];
    const Home &million = homes[2];
    std::fprintf(stderr, "  1,000,000 / 100,000 songs: library %.2fx, resident %.2fx, resident beyond the empty "
                         "library %.2fx (%.3f KiB per song at 1,000,000)\n",
                 median(million.deferred) / median(tenth.deferred), median(million.resident) / median(tenth.resident),
                 (median(million.resident) - median(homes[0].resident))
                     / (median(tenth.resident) - median(homes[0].resident)),
                 (median(million.resident) - median(homes[0].resident)) * 1024.0 / million.songs);
    if (!million.search.empty())
        std::fprintf(stderr, "  1,000,000 / 100,000 songs: search %.2fx, sort %.2fx\n",
                     median(million.search) / median(tenth.search), median(million.sort) / median(tenth.sort));
    std::fprintf(stderr, "  (cpu: processor time the program used until shown; library: until the deferred "
                         "start-up has filled the grid; wall times follow the machine's load)\n");
    return 0;
}
