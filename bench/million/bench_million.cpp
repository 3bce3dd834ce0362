// Prints what the song table costs at 100,000 and at 1,000,000 songs: the
// load of the stored library, the memory the loaded table takes, the search
// in every mode over "All" (the first one after the load, which builds the
// upper-cased copies, and the repeated one, with the slowest of them as the
// worst case), and the sort of the hits of a one-word search
// and of the whole library by Title. Each figure is the median of several
// runs; the last columns give the ratio of the larger library to the smaller
// and the goal where the larger one has one.
//
//   bench_million [runs] >/dev/null
//       default 5 runs; the figures go to standard error, standard output
//       carries azpack's progress log.
//
// The memory is measured in a process of its own that only loads the stored
// library, so that nothing the generator or an earlier run freed is counted.

#include "az_search.h"
#include "benchlibrary.h"
#include "benchqueries.h"
#include "options.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSmall = 100000;
constexpr int kLarge = 1000000;

// The query whose hits the sort figure sorts, as the user sorts a search:
// one common word.
const BenchQuery &sortedQuery()
{
    static const BenchQuery query{"entire/one_word", u"summer"_s, SearchMode::EntireString};
    return query;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figure
{
    std::vector<double> ms;
    std::vector<double> cpuMs;
    double count = 0;
};

// Times `run` (after `prepare`, which is not timed) `runs` times, wall and
// processor time of the whole process, so that work on a second thread counts.
Figure measure(int runs, const std::function<void()> &prepare, const std::function<double()> &run)
{
    Figure figure;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const std::clock_t cpu = std::clock();
        QElapsedTimer clock;
        clock.start();
        figure.count = run();
        figure.ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        figure.cpuMs.push_back(1e3 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
    }
    return figure;
}

double residentKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    }
    return -1;
}

// The child: loads the stored library and prints the resident memory it
// added, in KiB.
int residentChild(const QString &file)
{
    const double before = residentKiB();
    TFileInfos table;
    table.loadTable(file);
    const double after = residentKiB();
    std::printf("resident %d %.0f\n", table.count(), after - before);
    return 0;
}

// The memory the loaded table of `file` takes, in bytes per song; -1 when the
// child failed.
double bytesPerSong(const QString &file, int songs)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {u"--resident"_s, file});
    if (!child.waitForFinished(120000))
        return -1;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3 && fields[0] == "resident" && fields[1].toInt() == songs)
            return fields[2].toDouble() * 1024.0 / songs;
    }
    return -1;
}

struct Row
{
    QString name;
    Figure small;
    Figure large;
    double goalMs = 0;
};

void printRow(const Row &row)
{
    const double s = median(row.small.ms);
    const double l = median(row.large.ms);
    std::fprintf(stderr, "  %-34s %9.1f %9.1f  %6.2fx  cpu %8.1f %8.1f", qPrintable(row.name), s, l, l / s,
                 median(row.small.cpuMs), median(row.large.cpuMs));
    if (row.small.count > 0 || row.large.count > 0)
        std::fprintf(stderr, "  n %8.0f %8.0f", row.small.count, row.large.count);
    if (row.goalMs > 0)
        std::fprintf(stderr, "  goal %5.0f ms: %.2f", row.goalMs, l / row.goalMs);
    std::fprintf(stderr, "\n");
}

// Every figure for one library size, in the order of the rows.
std::vector<Figure> measureLibrary(int songs, int runs, const QTemporaryDir &dir, double &perSong)
{
    const QString file = dir.filePath(u"songlist-%1.azl"_s.arg(songs));
    benchLibrary(songs).saveTable(file);
    perSong = bytesPerSong(file, songs);

    std::vector<Figure> figures;
    auto table = std::make_unique<TFileInfos>();
    figures.push_back(measure(runs, [&] { table = std::make_unique<TFileInfos>(); }, [&] {
        table->loadTable(file);
        return static_cast<double>(table->count());
    }));

    // The first search after the load builds the upper-cased copies.
    std::unique_ptr<TSongSearch> search;
    const BenchQuery &first = sortedQuery();
    figures.push_back(measure(runs, [&] { search = std::make_unique<TSongSearch>(); }, [&] {
        return static_cast<double>(search->search(*table, first.text, SearchWhere::All, first.mode).count());
    }));
    figures.push_back(measure(runs, [] {}, [&] {
        return static_cast<double>(search->search(*table, first.text, SearchWhere::All, first.mode).count());
    }));
    for (const BenchQuery &query : benchQueries()) {
        figures.push_back(measure(runs, [] {}, [&] {
            return static_cast<double>(search->search(*table, query.text, SearchWhere::All, query.mode).count());
        }));
    }

    // Sorting a table the program owns alone: a fresh copy each run, made
    // outside the timed part.
    const TFileInfos hits = search->search(*table, first.text, SearchWhere::All, first.mode);
    std::unique_ptr<TFileInfos> sorted;
    for (const TFileInfos *source : std::vector<const TFileInfos *>{&hits, table.get()}) {
        figures.push_back(measure(runs, [&] {
            sorted = std::make_unique<TFileInfos>();
            sorted->appendColumns(*source);
        }, [&] {
            sorted->sort(SortFlag::Title | SortFlag::Ascending);
            return static_cast<double>(sorted->count());
        }));
    }
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--resident") == 0)
        return residentChild(QString::fromLocal8Bit(argv[2]));
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;

    const QTemporaryDir dir;
    double smallPerSong = 0;
    double largePerSong = 0;
    const std::vector<Figure> small = measureLibrary(kSmall, runs, dir, smallPerSong);
    const std::vector<Figure> large = measureLibrary(kLarge, runs, dir, largePerSong);

    std::vector<Row> rows;
    rows.push_back({u"load"_s, {}, {}, 0});
    rows.push_back({u"first search: "_s + QString::fromUtf8(sortedQuery().name), {}, {}, 150});
    rows.push_back({u"search: "_s + QString::fromUtf8(sortedQuery().name), {}, {}, 150});
    for (const BenchQuery &query : benchQueries())
        rows.push_back({u"search: "_s + QString::fromUtf8(query.name), {}, {}, 150});
    rows.push_back({u"sort hits by Title"_s, {}, {}, 200});
    rows.push_back({u"sort library by Title"_s, {}, {}, 0});
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].small = small[i];
        rows[i].large = large[i];
    }

    std::fprintf(stderr, "song table, median of %d runs, ms (wall; cpu of all threads), n = rows in the result\n",
                 runs);
    std::fprintf(stderr, "  %-34s %9s %9s  %7s\n", "", "100,000", "1,000,000", "ratio");
    for (const Row &row : rows)
        printRow(row);
    Row slowest = rows[2];
    for (std::size_t i = 2; i < 3 + benchQueries().size(); ++i) {
        if (median(rows[i].large.ms) > median(slowest.large.ms))
            slowest = rows[i];
    }
    slowest.name = u"slowest search (worst case)"_s;
    printRow(slowest);
    std::fprintf(stderr, "  %-34s %9.0f %9.0f  %6.2fx  bytes per song of the loaded table (%.0f MiB at "
                         "1,000,000)\n",
                 "memory", smallPerSong, largePerSong, largePerSong / smallPerSong,
                 largePerSong * kLarge / (1024.0 * 1024.0));
    return 0;
}
