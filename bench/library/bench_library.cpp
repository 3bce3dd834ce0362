// Prints how long the song table takes for a large library, and each figure
// as a share of its budget (budget_share below 1 is within budget). Run it as
// bench_library >/dev/null to hide azpack's progress log.
#include "benchlibrary.h"
#include "options.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <ctime>
#include <iostream>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int Songs = 100000;
constexpr double SortBudgetMs = 500.0;
constexpr double StoreBudgetMs = 300.0;

TFileInfos library()
{
    return benchLibrary(Songs);
}

void report(benchmark::State &state, double budgetMs)
{
    reportBudget(state, budgetMs);
}

// The store and the read split their work over two threads, and the CPU
// column counts only the calling one: this adds the CPU time of the whole
// process per iteration.
void reportAllThreadsCpu(benchmark::State &state, std::clock_t start)
{
    const double ms = 1e3 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    state.counters["all_threads_cpu_ms"] = ms / static_cast<double>(state.iterations());
}

void sortTitles(benchmark::State &state)
{
    const TFileInfos source = library();
    for (auto _ : state) {
        // The program sorts a table it owns alone: the copy is made unshared
        // and dropped outside the timed part, so only the sort is measured.
        state.PauseTiming();
        auto table = std::make_unique<TFileInfos>(source);
        for (TSongColumn *column : {&table->filename, &table->archive, &table->artist, &table->title,
                                    &table->album})
            column->cells().detach();
        state.ResumeTiming();
        table->sort(SortFlag::Title | SortFlag::Ascending);
        benchmark::DoNotOptimize(table->filename.cells().constData());
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    report(state, SortBudgetMs);
}

void saveTable(benchmark::State &state)
{
    const TFileInfos table = library();
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    const std::clock_t start = std::clock();
    for (auto _ : state)
        table.saveTable(file);
    reportAllThreadsCpu(state, start);
    report(state, StoreBudgetMs);
}

void loadTable(benchmark::State &state)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    library().saveTable(file);
    TFileInfos table;
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        table.loadTable(file);
        benchmark::DoNotOptimize(table.filename.cells().constData());
    }
    reportAllThreadsCpu(state, start);
    if (table.count() != Songs)
        state.SkipWithError("the store did not restore every song");
    report(state, StoreBudgetMs);
}

} // namespace

// The sort keys its rows on two threads: the time is wall-clock time and the
// CPU figure covers both threads.
BENCHMARK(sortTitles)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
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
