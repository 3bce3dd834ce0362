// Starts the built melodeck again and again with an empty library and
// measures the time from process start to the main window being shown (the
// program writes "shown" to its test event log from its first show event, and
// "painted" once it has painted for the first time).
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
#include <unistd.h>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr double kGoalMs = 300.0;
constexpr int kTimeoutMs = 30000;

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

void report(const char *what, std::vector<double> times)
{
    const double first = times.front();
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("  %-8s first %7.1f ms  min %7.1f ms  median %7.1f ms  max %7.1f ms  median/goal %.2f\n", what,
                first, times.front(), median, times.back(), median / kGoalMs);
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

    std::vector<double> shown;
    std::vector<double> painted;
    std::vector<double> shownCpu;
    for (int i = 0; i < runs; ++i) {
        const QString log = runtime.filePath(u"run%1.log"_s.arg(i));
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
            return 1;
        }
        double shownMs = -1;
        while (clock.elapsed() < kTimeoutMs) {
            if (shownMs < 0 && logSays(log, "shown")) {
                shownMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                shownCpu.push_back(cpuMs(process.processId()));
            }
            if (shownMs >= 0 && logSays(log, "painted"))
                break;
            if (process.state() == QProcess::NotRunning) {
                std::fprintf(stderr, "bench_startup: melodeck ended before showing its window\n");
                return 1;
            }
            QThread::usleep(250);
        }
        const double paintedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        process.kill();
        process.waitForFinished(5000);
        if (shownMs < 0 || paintedMs >= kTimeoutMs) {
            std::fprintf(stderr, "bench_startup: no window after %d ms\n", kTimeoutMs);
            return 1;
        }
        shown.push_back(shownMs);
        painted.push_back(paintedMs);
    }

    std::printf("process start to main window, %d runs, platform %s, goal %.0f ms\n", runs,
                qPrintable(env.value(u"QT_QPA_PLATFORM"_s)), kGoalMs);
    report("shown", shown);
    report("painted", painted);
    report("cpu", shownCpu);
    std::printf("  (cpu: processor time the program used until shown; wall times follow the machine's load)\n");
    return 0;
}
