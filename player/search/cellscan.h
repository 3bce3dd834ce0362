#pragma once

// An upper-cased needle looked for straight in the cells of a song column,
// folding their case on the way, for the cells whose upper-cased bytes follow
// from their own (TextForm Ascii and Latin): the search need not keep an
// upper-cased copy of them.

#include "casefolder.h"
#include "options.h"

#include <cstdint>
#include <string>
#include <vector>

using TSearchRow = std::uint32_t;

class TNeedle
{
public:
    // bytes: a non-empty upper-cased text in the byte form of
    // appendSearchBytes. The folder must outlive the needle.
    TNeedle(std::string bytes, const TCaseFolder &folder);

    const std::string &bytes() const { return bytes_; }

    // Sorts the candidate rows [from, to) (ascending) of the column by their
    // forms: appends to found those of form Ascii or Latin whose upper-cased
    // text holds the needle, and to other those of form Other, both ascending.
    void scanCells(const TSongColumn &column, const std::uint8_t *forms, const TSearchRow *from,
                   const TSearchRow *to, std::vector<TSearchRow> &found, std::vector<TSearchRow> &other) const;

private:
    // Which forms of cells can hold the needle at all: the upper cases of
    // Latin texts are ASCII or two-byte characters below U+0250, and an
    // ASCII text has no character beyond ASCII.
    enum class Reach : std::uint8_t { AsciiAndLatin, LatinOnly, Neither };

    template <bool latin>
    bool foundIn(const char *bytes, std::size_t size) const;
    template <bool latin>
    bool startsAt(const unsigned char *at, const unsigned char *end) const;

    std::string bytes_;
    const TCaseFolder *folder_;
    Reach reach_ = Reach::Neither;
    // The first byte of the needle is ASCII: a cell's byte may start a match
    // when, or-ed with mask_, it equals the first byte or-ed with mask_ (the
    // mask joins a letter's two cases); else any leading byte of a two-byte
    // character may.
    bool firstAscii_ = true;
    std::uint64_t mask_ = 0;
    std::uint64_t pattern_ = 0;
};
