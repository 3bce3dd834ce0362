#pragma once

// The searches the search benchmarks run over "All": common and rare words,
// one character, and quoted terms, in every mode. Needs melodeck_search.

#include "az_search.h"

#include <QString>

#include <vector>

struct BenchQuery
{
    const char *name;
    QString text;
    int mode;
};

inline const std::vector<BenchQuery> &benchQueries()
{
    using namespace Qt::StringLiterals;
    static const std::vector<BenchQuery> list{
        {"entire/word", u"summer rain"_s, SearchMode::EntireString},
        {"entire/umlaut", u"über"_s, SearchMode::EntireString},
        {"entire/one_char", u"e"_s, SearchMode::EntireString},
        {"entire/missing", u"xylophone"_s, SearchMode::EntireString},
        {"and/two_terms", u"love \"blue river\""_s, SearchMode::AllTerms},
        {"and/three_terms", u"dreams café zero"_s, SearchMode::AllTerms},
        {"and/one_char", u"e"_s, SearchMode::AllTerms},
        {"or/two_terms", u"xylophone \"heart song\""_s, SearchMode::AnyTerm},
        {"or/three_terms", u"night über rain"_s, SearchMode::AnyTerm},
        {"or/one_char", u"e"_s, SearchMode::AnyTerm},
    };
    return list;
}
