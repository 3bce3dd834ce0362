#pragma once

// One column of a song table, upper-cased once and packed into one block of
// bytes, so that a query is a few fast substring scans instead of an
// upper-casing of every value.

#include "casefolder.h"
#include "options.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using TSearchRow = std::uint32_t;

class TUpperColumn
{
public:
    // True when the block was built from this very column with this many
    // rows. The block keeps a shallow copy of the column it was built from,
    // so any change to the column copies the column's data away from that
    // copy, and no caller has to report its changes.
    bool isCurrent(const TSongColumn &column, qsizetype rows) const;
    // Builds the block anew, the two halves of a big column side by side.
    // Texts found unchanged at (about) the same row as before keep their
    // upper-cased bytes; only the others are upper-cased. A column whose
    // rows share a few texts (artists, albums, archives) gets a block of its
    // distinct texts only.
    void rebuild(const TSongColumn &column, qsizetype rows, const TCaseFolder &folder);
    void reset();
    // False when the column is too large for the block's 32-bit offsets.
    bool usable() const { return usable_; }

    // The rows among the candidates (ascending, all below end) whose
    // upper-cased text holds the needle (non-empty, in the byte form of
    // appendSearchBytes), ascending.
    std::vector<TSearchRow> rowsContaining(std::string_view needle, const std::vector<TSearchRow> &candidates,
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

    qsizetype unchangedRow(const TSongColumn &column, qsizetype row, qsizetype from) const;
    // Rows [from, to) of the column, one text each.
    bool buildRows(const TSongColumn &column, qsizetype from, qsizetype to, const TCaseFolder &folder,
                   Block &block) const;
    // Each distinct text of the first `rows` once; false when the rows have
    // too many distinct texts for it to pay.
    bool buildDistinct(const TSongColumn &column, qsizetype rows, const TCaseFolder &folder);
    // The texts among the candidates [from, to) holding the needle, in the
    // block whose first text is that of row first.
    static std::vector<TSearchRow> textsContaining(const Block &block, TSearchRow first, std::string_view needle,
                                                   const TSearchRow *from, const TSearchRow *to, TSearchRow end);
    // The upper-cased bytes of a row, its end mark included.
    std::string_view rowBytes(qsizetype row) const;

    TSongColumn source_;
    qsizetype rows_ = 0;
    bool built_ = false;
    bool usable_ = false;
    // One text per row, or per distinct text; the second half of a big
    // column's rows, from row upperFirst_ on, has a block of its own, so
    // that the halves built side by side need not be joined.
    Block block_;
    Block upper_;
    qsizetype upperFirst_ = 0;
    // Empty while the block has one text per row; else each row's text.
    std::vector<std::uint32_t> distinctOf_;
};
