// Prints the milliseconds a search takes over a 100,000-song library in each
// mode with "All", as the user runs it again and again, and what the first
// search after a load or a tag edit costs (the upper-cased copy is built or
// brought up to date then). budget_share below 1 is within the 50 ms budget.
#include "az_search.h"
#include "benchlibrary.h"
#include "benchqueries.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int Songs = 100000;
constexpr double BudgetMs = 50.0;

const TFileInfos &library()
{
    static const TFileInfos table = benchLibrary(Songs);
    return table;
}

void report(benchmark::State &state, std::size_t hits)
{
    state.counters["hits"] = static_cast<double>(hits);
    reportBudget(state, BudgetMs);
}

// The search the user repeats: the copy is current.
void searchAll(benchmark::State &state, const BenchQuery &query)
{
    const TFileInfos &table = library();
    TSongSearch search;
    search.prepare(table);
    int hits = 0;
    for (auto _ : state) {
        const TFileInfos result = search.search(table, query.text, SearchWhere::All, query.mode);
        hits = result.count();
        benchmark::DoNotOptimize(hits);
    }
    report(state, static_cast<std::size_t>(hits));
}

// The plain scan that upper-cases every value on every query, for comparison.
void scanAll(benchmark::State &state, const BenchQuery &query)
{
    int hits = 0;
    for (auto _ : state) {
        hits = searchByScan(library(), query.text, SearchWhere::All, query.mode).count();
        benchmark::DoNotOptimize(hits);
    }
    report(state, static_cast<std::size_t>(hits));
}

// The first search after the library was loaded: every column is upper-cased.
void firstSearchAfterLoad(benchmark::State &state)
{
    const TFileInfos &table = library();
    int hits = 0;
    for (auto _ : state) {
        TSongSearch search;
        hits = search.search(table, u"summer rain"_s, SearchWhere::All, SearchMode::EntireString).count();
        benchmark::DoNotOptimize(hits);
    }
    report(state, static_cast<std::size_t>(hits));
}

// A tag edit, then a search: only the edited text is upper-cased again.
void searchAfterTagEdit(benchmark::State &state)
{
    TFileInfos table = library();
    TSongSearch search;
    search.prepare(table);
    int hits = 0;
    int row = 0;
    for (auto _ : state) {
        state.PauseTiming();
        table.title.replace(row, u"Edited "_s + QString::number(row));
        row = (row + 7919) % Songs;
        state.ResumeTiming();
        hits = search.search(table, u"summer rain"_s, SearchWhere::All, SearchMode::EntireString).count();
        benchmark::DoNotOptimize(hits);
    }
    report(state, static_cast<std::size_t>(hits));
}

void registerAll()
{
    for (const BenchQuery &query : benchQueries()) {
        benchmark::RegisterBenchmark((std::string("search_all/") + query.name).c_str(), searchAll, query)
            ->Unit(benchmark::kMillisecond);
    }
    for (const BenchQuery &query : benchQueries()) {
        benchmark::RegisterBenchmark((std::string("plain_scan_all/") + query.name).c_str(), scanAll, query)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    benchmark::RegisterBenchmark("first_search_after_load", firstSearchAfterLoad)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark("search_after_tag_edit", searchAfterTagEdit)->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
