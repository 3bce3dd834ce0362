#pragma once

// One column of a song table made ready for the search: a query is a few
// fast substring scans instead of an upper-casing of every value. Most cells
// are scanned where they lie, folding case on the way; only those whose
// upper-cased bytes do not follow from their own get an upper-cased copy.

#include "casefolder.h"
#include "cellscan.h"
#include "options.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TUpperColumn
{
public:
    // True when the block was built from this very column with this many
    // rows. The block keeps a shallow copy of the column it was built from,
    // so any change to the column copies the column's data away from that
    // copy, and no caller has to report its changes.
    bool isCurrent(const TSongColumn &column, qsizetype rows) const;
    // Builds the forms and copies anew, the two halves of a big column side
    // by side. Texts found unchanged at (about) the same row as before keep
    // their form and upper-cased bytes; only the others are looked at. A
    // column whose rows share a few texts (artists, albums, archives) gets a
    // block of its distinct texts only, all upper-cased.
    void rebuild(const TSongColumn &column, qsizetype rows, const TCaseFolder &folder);
    void reset();
    // False when the column is too large for the block's 32-bit offsets.
    bool usable() const { return usable_; }

    // The rows among the candidates (ascending, all below end) whose
    // upper-cased text holds the needle, ascending.
    std::vector<TSearchRow> rowsContaining(const TNeedle &needle, const std::vector<TSearchRow> &candidates,
                                           TSearchRow end) const;

private:
    // Upper-cased texts, each followed by the byte 0xFF, which no text's
    // bytes contain, so that no match runs from one text into the next.
    struct Block
    {
        std::string bytes;
        // Where each text starts in bytes, plus the end of bytes.
        std::vector<std::uint32_t> starts;
    };

    // The upper-cased texts of the rows of form Other in one half of the
    // column, in the order of the rows.
    struct Kept
    {
        Block block;
        std::vector<TSearchRow> rows;
    };

    qsizetype unchangedRow(const TSongColumn &column, qsizetype row, qsizetype from) const;
    // The forms of rows [from, to) of the column into forms, and the
    // upper-cased texts of those of form Other into kept.
    bool buildRows(const TSongColumn &column, qsizetype from, qsizetype to, const TCaseFolder &folder,
                   std::uint8_t *forms, Kept &kept) const;
    // Each distinct text of the first `rows` once; false when the rows have
    // too many distinct texts for it to pay.
    bool buildDistinct(const TSongColumn &column, qsizetype rows, const TCaseFolder &folder);
    // The texts among the candidates [from, to) (numbers of texts in the
    // block, ascending, all below end) holding the needle.
    static std::vector<TSearchRow> textsContaining(const Block &block, std::string_view needle,
                                                   const TSearchRow *from, const TSearchRow *to, TSearchRow end);
    // The rows among [from, to) holding the needle, all in the half kept
    // belongs to.
    std::vector<TSearchRow> rowsOfHalf(const Kept &kept, const TNeedle &needle, const TSearchRow *from,
                                       const TSearchRow *to) const;
    // The upper-cased bytes of a row of form Other, its end mark included.
    std::string_view keptBytes(qsizetype row) const;

    TSongColumn source_;
    qsizetype rows_ = 0;
    bool built_ = false;
    bool usable_ = false;
    // Each row's TextForm; empty for a block of distinct texts.
    std::vector<std::uint8_t> forms_;
    // The second half of a big column's rows, from row upperFirst_ on, keeps
    // its texts apart, so that the halves built side by side need not be
    // joined.
    std::array<Kept, 2> kept_;
    qsizetype upperFirst_ = 0;
    // The distinct texts, and each row's text among them.
    Block block_;
    std::vector<std::uint32_t> distinctOf_;
};
