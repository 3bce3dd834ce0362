// Prints the library scan's figures and each as a share of its goal
// (share below 1 is within the goal). Run it as bench_scan >/dev/null to hide
// azpack's progress log; the figures go to standard error.
//
//   bench_scan [program]   program: the built melodeck, for its memory figure
//                          (default: melodeck beside this benchmark)

#include "mediafixtures.h"
#include "options.h"
#include "scanner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kArtists = 20;
constexpr int kAlbums = 20;
constexpr int kSongsPerAlbum = 50; // 20 x 20 x 50 = 20,000 files
constexpr int kLibrarySongs = 100000;
constexpr double kScanGoalFilesPerSecond = 10000.0;
constexpr double kRefreshGoalMs = 1000.0;
constexpr double kLoadGoalMs = 100.0;
constexpr double kScanToWalkGoal = 2.5;
constexpr double kMemoryGoalMiB = 100.0;

void figure(const char *name, double value, const char *unit, double goal, bool higherIsBetter)
{
    const double share = higherIsBetter ? goal / value : value / goal;
    std::fprintf(stderr, "%-44s %12.1f %-8s goal %10.1f  share %.2f\n", name, value, unit, goal, share);
}

double elapsedMs(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Wall-clock and CPU milliseconds of one run.
struct Cost
{
    double wall;
    double cpu;
};

Cost measure(const std::function<void()> &work)
{
    const double cpuBefore = cpuMs();
    const double wall = elapsedMs(work);
    return {wall, cpuMs() - cpuBefore};
}

QByteArray songBytes(int artist, int album, int song)
{
    QByteArray bytes = testsupport::id3v23Tag(
        {testsupport::id3Latin1TextFrame("TPE1", "Artist " + QByteArray::number(artist)),
         testsupport::id3Latin1TextFrame("TIT2", "Song number " + QByteArray::number(song)),
         testsupport::id3Latin1TextFrame("TALB", "Album " + QByteArray::number(album))},
        1100);
    bytes.append(3000, '\x55');
    return bytes;
}

QString buildTree(const QString &root)
{
    const QString base = root + u"/music"_s;
    for (int a = 0; a < kArtists; ++a)
        for (int b = 0; b < kAlbums; ++b) {
            const QString folder = base + u"/Artist %1/Album %2"_s.arg(a).arg(b);
            QDir().mkpath(folder);
            for (int s = 0; s < kSongsPerAlbum; ++s)
                testsupport::writeBytes(folder + u"/%1 - Song %2.mp3"_s.arg(s).arg(s), songBytes(a, b, s));
        }
    return base;
}

// The baseline: a walk that opens every file and reads its first KiB.
qint64 plainWalk(const QByteArray &directory)
{
    qint64 files = 0;
    DIR *listing = opendir(directory.constData());
    if (!listing)
        return 0;
    while (const dirent *entry = readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray child = directory + '/' + entry->d_name;
        if (entry->d_type == DT_DIR) {
            files += plainWalk(child);
        } else if (entry->d_type == DT_REG) {
            const int fd = open(child.constData(), O_RDONLY);
            if (fd >= 0) {
                char buffer[1024];
                if (read(fd, buffer, sizeof buffer) > 0)
                    ++files;
                close(fd);
            }
        }
    }
    closedir(listing);
    return files;
}

TFileInfos bigLibrary()
{
    QRandomGenerator random(7);
    TFileInfos table;
    for (int i = 0; i < kLibrarySongs; ++i) {
        const QString artist = u"Artist %1"_s.arg(random.bounded(3000));
        const QString album = u"Album of the year %1"_s.arg(random.bounded(9000));
        const QString title = u"A song with a title %1"_s.arg(i);
        table.appendRow(u"/home/user/Music/"_s + artist + u'/' + album + u'/' + title + u".mp3"_s, QString(),
                        artist, title, album);
    }
    return table;
}

QByteArray loadAverage()
{
    QFile file(u"/proc/loadavg"_s);
    if (!file.open(QIODevice::ReadOnly))
        return "unknown";
    return file.readAll().split(' ').mid(0, 3).join(' ');
}

long minorFaults()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// What this machine takes to touch fresh memory the first time, per page:
// the floor under any work that builds tens of megabytes of new data.
double firstTouchMsPerPage(std::size_t bytes)
{
    void *const mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return -1;
    const long pageSize = sysconf(_SC_PAGESIZE);
    auto *const bytesAt = static_cast<volatile char *>(mapped);
    const double ms = elapsedMs([&] {
        for (std::size_t at = 0; at < bytes; at += static_cast<std::size_t>(pageSize))
            bytesAt[at] = 1;
    });
    munmap(mapped, bytes);
    return ms / static_cast<double>(bytes / static_cast<std::size_t>(pageSize));
}

// Resident memory in MiB: all of it, and the anonymous part (the heap,
// stacks, images), which is the program's own; the rest is mapped files,
// mostly shared libraries.
struct ResidentMemory {
    double total = -1;
    double anonymous = -1;
};

// The kB figure of one "Name:   1234 kB" line of a /proc file, in MiB.
double procFigureMiB(const QString &file, const QByteArray &name)
{
    QFile proc(file);
    if (!proc.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : proc.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// The resident memory of a started program once it shows the big list.
ResidentMemory programMemoryMiB(const QString &program, const QString &home)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"MELODECK_HOME"_s, home);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"SDL_AUDIODRIVER"_s, u"dummy"_s);
    const QString runtime = home + u"runtime"_s;
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    QFile::remove(home + u"/events.log"_s);
    env.insert(u"MELODECK_TEST_LOG"_s, home + u"/events.log"_s);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, {});
    if (!process.waitForStarted(10000))
        return {};
    // Start-up, then the deferred load of the stored list and the grid: the
    // program logs "deferred" once that is done, however busy the machine.
    const QString log = home + u"/events.log"_s;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QFile events(log);
        if (events.open(QIODevice::ReadOnly) && events.readAll().contains("deferred"))
            break;
        if (waited.elapsed() > 60000 || process.state() == QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
            return {};
        }
        QThread::msleep(20);
    }
    // Let the grid's first paint of the list happen.
    QThread::msleep(1000);
    const QString proc = u"/proc/%1/"_s.arg(process.processId());
    const ResidentMemory memory{procFigureMiB(proc + u"status"_s, "VmRSS:"),
                                procFigureMiB(proc + u"smaps_rollup"_s, "Anonymous:")};
    process.kill();
    process.waitForFinished(5000);
    return memory;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString home = dir.path() + u'/';

    std::fprintf(stderr, "Writing %d tagged files...\n", kArtists * kAlbums * kSongsPerAlbum);
    const QString base = buildTree(dir.path());
    const QByteArray encodedBase = QFile::encodeName(base);
    plainWalk(encodedBase); // warm the cache

    qint64 walked = 0;

    TFileFilterInfos filter;
    filter.extension = {u".mp3"_s, u".wav"_s, u".ogg"_s};
    filter.minimum = {u"0"_s, u"0"_s, u"0"_s};
    filter.maximum = {u"0"_s, u"0"_s, u"0"_s};
    qint64 fieldTexts = 0;
    TScanHooks hooks;
    hooks.showField = [&fieldTexts](TScanField, const QString &) { ++fieldTexts; };
    hooks.runMessageLoop = [] { QCoreApplication::processEvents(); };
    TLibraryScanner scanner(filter, nullptr, hooks, home);

    // Walks and scans take turns, so that both meet the same load, and the
    // ratios are medians over the turns.
    constexpr int kTurns = 5;
    TFileInfos musiclist;
    std::vector<double> walkTimes, scanTimes, wallRatios, cpuRatios;
    for (int turn = 0; turn < kTurns; ++turn) {
        const Cost walk = measure([&] { walked = plainWalk(encodedBase); });
        TFileInfos scanned;
        const Cost scan = measure([&] { scanner.scanDirectories({base}, scanned, false); });
        walkTimes.push_back(walk.wall);
        scanTimes.push_back(scan.wall);
        wallRatios.push_back(scan.wall / walk.wall);
        cpuRatios.push_back(scan.cpu / walk.cpu);
        if (turn == 0)
            musiclist = scanned;
    }
    // The scan reads tags beside the walk when a second processor is free,
    // so its figure depends on what else the machine runs.
    std::fprintf(stderr, "load average during the turns: %s\n", loadAverage().constData());
    const double walkMs = median(walkTimes);
    const double scanMs = median(scanTimes);

    TFileInfos refreshed;
    const double refreshMs = elapsedMs([&] {
        refreshed.loadTable(scanner.songListFile());
        scanner.removeMissingSongs(refreshed);
        scanner.scanDirectories({base}, refreshed, true);
    });

    const double walkRate = static_cast<double>(walked) / (walkMs / 1000.0);
    const double scanRate = static_cast<double>(musiclist.count()) / (scanMs / 1000.0);
    std::fprintf(stderr, "\n%lld files walked, %d songs scanned, %d after the refresh\n",
                 static_cast<long long>(walked), musiclist.count(), refreshed.count());
    std::fprintf(stderr, "%-44s %12.1f files/s\n", "plain walk, open + read 1 KiB (baseline)", walkRate);
    figure("full scan", scanRate, "files/s", kScanGoalFilesPerSecond, true);
    figure("full scan time / plain walk time", median(wallRatios), "x", kScanToWalkGoal, false);
    std::fprintf(stderr, "%-44s %12.2f x  (median of %d turns)\n", "  the same in CPU time", median(cpuRatios), kTurns);
    figure("refresh with nothing changed", refreshMs, "ms", kRefreshGoalMs, false);

    // A big library as the program stores it.
    const QString bigHome = home + u"big/"_s;
    QDir().mkpath(bigHome + u"music"_s);
    bigLibrary().saveTable(bigHome + kSongListFileName);
    TStringListC bases{bigHome + u"music"_s};
    bases.SaveToFile(bigHome + u"music_directories.azi"_s);
    TStringListC filterLines{u".mp3"_s, u"0"_s, u"0"_s};
    filterLines.SaveToFile(bigHome + u"filetypes.azi"_s);
    TFileInfos loaded;
    const long faultsBefore = minorFaults();
    const double loadMs = elapsedMs([&] { loaded.loadTable(bigHome + kSongListFileName); });
    const long loadFaults = minorFaults() - faultsBefore;
    figure("load a 100,000-song songlist.azl", loadMs, "ms", kLoadGoalMs, false);
    // Loaded once, the table and the restore touch fresh pages; the library
    // benchmark repeats the load on memory the heap already holds.
    const double msPerPage = firstTouchMsPerPage(std::size_t{40} << 20);
    std::fprintf(stderr, "%-44s %12ld pages, %.1f us each on this machine = %.0f ms\n", "  of which first touches of fresh memory",
                 loadFaults, msPerPage * 1000.0, msPerPage * static_cast<double>(loadFaults));

    const QString program =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath() + u"/melodeck"_s;
    if (QFileInfo(program).isExecutable()) {
        // The median of three starts each, as the figure varies with the
        // machine's load.
        const auto medianMemory = [&program](const QString &where) {
            std::vector<ResidentMemory> runs;
            for (int k = 0; k < 3; ++k)
                runs.push_back(programMemoryMiB(program, where));
            std::sort(runs.begin(), runs.end(),
                      [](const ResidentMemory &a, const ResidentMemory &b) { return a.total < b.total; });
            return runs[1];
        };
        const ResidentMemory big = medianMemory(bigHome);
        const QString emptyHome = home + u"empty/"_s;
        QDir().mkpath(emptyHome);
        filterLines.SaveToFile(emptyHome + u"filetypes.azi"_s);
        const ResidentMemory empty = medianMemory(emptyHome);
        if (big.total > 0 && empty.total > 0) {
            figure("program resident memory, 100,000 songs", big.total, "MiB", kMemoryGoalMiB, false);
            std::fprintf(stderr, "%-44s %12.1f MiB\n", "  of which anonymous (heap, stacks, images)",
                         big.anonymous);
            std::fprintf(stderr, "%-44s %12.1f MiB\n", "program resident memory, empty library", empty.total);
            std::fprintf(stderr, "%-44s %12.1f MiB\n", "  of which anonymous (heap, stacks, images)",
                         empty.anonymous);
            std::fprintf(stderr, "%-44s %12.2f KiB\n", "resident memory per song",
                         (big.total - empty.total) * 1024.0 / kLibrarySongs);
        } else {
            std::fprintf(stderr, "program memory: could not be read\n");
        }
    } else {
        std::fprintf(stderr, "program memory: %s not found\n", qPrintable(program));
    }
    return 0;
}
