#pragma once

// One piece of a stored song table read into columns, so that the two halves
// of a big table can be read side by side and joined. File names and titles
// are nearly always distinct and become strings at once; archive, artist and
// album repeat across thousands of rows and are kept as numbers into the
// piece's own distinct texts until the join, where equal texts of both pieces
// become one shared string.

#include "options.h"
#include "storedtext.h"

#include <QByteArrayView>
#include <QHash>

#include <array>
#include <cstdint>
#include <vector>

class TStoredRows
{
public:
    static constexpr int ColumnsPerRow = 5;

    // Reads the lines of text, whose first line begins a row. The text must
    // outlive this object.
    void read(QByteArrayView text);

    // Appends the piece's lines to the columns; a shared text equal to one
    // already in pool takes that string, a new one enters the pool. Moves
    // the piece's strings out.
    void appendTo(const std::array<TStringListC *, ColumnsPerRow> &columns, TTextPool &pool);

    qsizetype lines() const { return lines_; }

private:
    // The piece's columns: 0 and 3 as strings, 1, 2 and 4 as numbers.
    TStringListC filenames_;
    TStringListC titles_;
    std::array<std::vector<std::uint32_t>, 3> shared_;
    std::vector<QByteArrayView> distinctUtf8_;
    QHash<QByteArrayView, std::uint32_t> distinct_;
    qsizetype lines_ = 0;

    std::uint32_t sharedIndex(QByteArrayView utf8);
};
