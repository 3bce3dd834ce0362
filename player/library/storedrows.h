#pragma once

// One piece of a stored song table read into compact columns, so that the
// two halves of a big table can be read side by side and joined. The texts
// go into the piece's own block as the bytes they are stored as; archive,
// artist and album repeat across thousands of rows, so each distinct one of
// those is kept once and the rows hold its number until the join, where
// equal texts of both pieces become one.

#include "songcolumn.h"

#include <QByteArrayView>
#include <QList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The numbers of distinct lines, by open addressing with a cheap hash: a
// big library looks up three lines a row. The lines themselves are kept by
// the caller, indexed by number.
class TLineNumbers
{
public:
    static constexpr std::uint32_t None = ~std::uint32_t{0};

    std::uint32_t find(QByteArrayView line, const std::vector<QByteArrayView> &lines) const;
    void insert(QByteArrayView line, std::uint32_t number, const std::vector<QByteArrayView> &lines);

private:
    struct Slot
    {
        std::uint32_t hash;
        std::uint32_t number;
    };

    static std::uint32_t hashOf(QByteArrayView line);
    std::size_t slotOf(QByteArrayView line, std::uint32_t hash, const std::vector<QByteArrayView> &lines) const;

    std::vector<Slot> slots_ = std::vector<Slot>(1024, Slot{0, None});
    std::size_t size_ = 0;
};

class TStoredRows
{
public:
    static constexpr int ColumnsPerRow = 5;
    using Columns = std::array<TSongColumn, ColumnsPerRow>;

    // Reads the lines of text, whose first line begins a row. The text must
    // outlive this object.
    void read(QByteArrayView text);

    qsizetype lines() const { return lines_; }

    // The columns of both pieces, one after the other, in one block. A
    // piece that was never read counts as empty.
    static Columns join(TStoredRows &first, TStoredRows &second);

private:
    TTextArena::Offset add(QByteArrayView line);
    std::uint32_t distinctNumber(QByteArrayView line);

    std::shared_ptr<TTextArena> arena_ = std::make_shared<TTextArena>();
    // Offsets in the columns of file names and titles, distinct numbers in
    // the others.
    std::array<QList<TTextArena::Offset>, ColumnsPerRow> cells_;
    TLineNumbers distinct_;
    std::vector<QByteArrayView> distinctLines_;
    std::vector<TTextArena::Offset> distinctOffsets_;
    qsizetype lines_ = 0;
};
