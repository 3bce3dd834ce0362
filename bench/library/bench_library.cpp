// Prints how long the song table takes for a large library, and each figure
// as a share of its budget (budget_share below 1 is within budget). Run it as
// bench_library >/dev/null to hide azpack's progress log.
#include "options.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <iostream>

using namespace Qt::StringLiterals;

namespace {

constexpr int Songs = 100000;
constexpr double SortBudgetMs = 500.0;
constexpr double StoreBudgetMs = 300.0;

QString word(QRandomGenerator &random)
{
    static const QStringList words{u"Love"_s, u"night"_s, u"Blue"_s, u"river"_s, u"Song"_s,
                                   u"for"_s, u"the"_s, u"Heart"_s, u"Über"_s, u"café"_s,
                                   u"Dreams"_s, u"of"_s, u"Summer"_s, u"rain"_s, u"Zero"_s};
    return words.at(random.bounded(static_cast<int>(words.size())));
}

QString phrase(QRandomGenerator &random, int words)
{
    QString text = word(random);
    for (int n = 1; n < words; ++n)
        text += u' ' + word(random);
    return text;
}

// A library shaped like a real one: long paths, a few archive members,
// some rows without tags.
TFileInfos library()
{
    QRandomGenerator random(42);
    TFileInfos table;
    for (int i = 0; i < Songs; ++i) {
        const QString artist = phrase(random, 2);
        const QString album = phrase(random, 3);
        const QString title = random.bounded(20) == 0 ? QString() : phrase(random, 4);
        const bool member = random.bounded(10) == 0;
        const QString file = member ? QString(u"CD1/"_s + title + u".mp3"_s)
                                    : QString(u"/home/user/Music/"_s + artist + u'/' + album + u'/'
                                              + QString::number(i) + u" - "_s + title + u".mp3"_s);
        const QString archive =
            member ? QString(u"/home/user/Music/Archives/"_s + album + u".rar"_s) : QString();
        table.appendRow(file, archive, artist, title, album);
    }
    return table;
}

void report(benchmark::State &state, double budgetMs)
{
    state.counters["budget_ms"] = budgetMs;
    // Timed seconds per iteration divided by the budget in seconds.
    state.counters["budget_share"] = benchmark::Counter(
        budgetMs * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void sortTitles(benchmark::State &state)
{
    const TFileInfos source = library();
    for (auto _ : state) {
        state.PauseTiming();
        TFileInfos table = source;
        state.ResumeTiming();
        table.sort(SortFlag::Title | SortFlag::Ascending);
        benchmark::DoNotOptimize(table.filename.constData());
    }
    report(state, SortBudgetMs);
}

void saveTable(benchmark::State &state)
{
    const TFileInfos table = library();
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    for (auto _ : state)
        table.saveTable(file);
    report(state, StoreBudgetMs);
}

void loadTable(benchmark::State &state)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    library().saveTable(file);
    TFileInfos table;
    for (auto _ : state) {
        table.loadTable(file);
        benchmark::DoNotOptimize(table.filename.constData());
    }
    if (table.count() != Songs)
        state.SkipWithError("the store did not restore every song");
    report(state, StoreBudgetMs);
}

} // namespace

BENCHMARK(sortTitles)->Unit(benchmark::kMillisecond);
BENCHMARK(saveTable)->Unit(benchmark::kMillisecond);
BENCHMARK(loadTable)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // azpack logs every step to standard output; the figures go to standard
    // error so that they stay readable between thousands of log lines.
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
