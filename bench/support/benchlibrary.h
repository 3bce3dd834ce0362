#pragma once

// A generated song library for benchmarks, and their budget figures.

#include "options.h"

#include <benchmark/benchmark.h>

// A library shaped like a real one: long paths, a tenth of the songs inside
// archives, some without a title, words with umlauts and accents among them.
// The same count always gives the same songs.
TFileInfos benchLibrary(int songs);

// Adds the budget and the share of it that one timed iteration took
// (budget_share below 1 is within budget).
void reportBudget(benchmark::State &state, double budgetMs);
