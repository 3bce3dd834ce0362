#pragma once

// The song table's columns in compact form. A library of a million songs
// held as one QString per cell cost about 350 bytes a song; here each cell is
// a 32-bit number into a block of text shared by every table that copies
// rows from it, and the text itself is UTF-8 where that gives it back
// exactly. Copying, sorting and deleting rows move numbers, not texts; a
// QString exists only where a cell is shown, edited or collated.

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>

// An append-only block of texts. Each text is a header (its byte length
// times two, plus one when the bytes are UTF-16 units rather than UTF-8, as
// a base-128 number) followed by its bytes. Offset 0 is the empty text. The
// block is never written by two threads; several may read it at once.
class TTextArena
{
public:
    using Offset = std::uint32_t;

    // The raw form of one text, as it lies in the block.
    struct Cell
    {
        const char *bytes;
        std::uint32_t size;
        bool wide;
        // The header and the bytes: equal texts have equal records.
        QByteArrayView record;
    };

    TTextArena();
    ~TTextArena();
    TTextArena(const TTextArena &) = delete;
    TTextArena &operator=(const TTextArena &) = delete;

    // Adds a text; UTF-8 when decoding that gives back this very text.
    Offset add(QStringView text);
    // Adds bytes the caller knows to be UTF-8 that QString::fromUtf8 turns
    // into a text whose UTF-8 form is these very bytes (isExactUtf8).
    Offset addUtf8(QByteArrayView utf8);
    // Adds another block's record as it is.
    Offset addRecord(QByteArrayView record);

    Cell cell(Offset at) const;
    QString text(Offset at) const;
    std::size_t size() const { return size_; }
    // False when adding this many more bytes would pass what an Offset can
    // address.
    bool hasRoom(std::size_t bytes) const;
    void reserve(std::size_t bytes);
    void squeeze();
    // Appends all of other's texts but its empty text at 0; returns the
    // number to add to other's offsets.
    Offset appendArena(const TTextArena &other);

private:
    char *grow(std::size_t bytes);
    Offset addBytes(const char *bytes, std::size_t size, bool wide);

    char *bytes_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// True when QString::fromUtf8(bytes).toUtf8() is bytes again: strict UTF-8
// with no byte-order mark in front.
bool isExactUtf8(QByteArrayView bytes);

class TSongColumn
{
public:
    using Offset = TTextArena::Offset;

    class const_iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = QString;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = QString;

        const_iterator() = default;
        const_iterator(const TSongColumn *column, qsizetype row) : column_(column), row_(row) {}
        QString operator*() const { return column_->at(row_); }
        QString operator[](qsizetype n) const { return column_->at(row_ + n); }
        const_iterator &operator++() { ++row_; return *this; }
        const_iterator operator++(int) { const_iterator old = *this; ++row_; return old; }
        const_iterator &operator--() { --row_; return *this; }
        const_iterator operator--(int) { const_iterator old = *this; --row_; return old; }
        const_iterator &operator+=(qsizetype n) { row_ += n; return *this; }
        const_iterator &operator-=(qsizetype n) { row_ -= n; return *this; }
        friend const_iterator operator+(const_iterator it, qsizetype n) { return it += n; }
        friend const_iterator operator+(qsizetype n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, qsizetype n) { return it -= n; }
        friend qsizetype operator-(const const_iterator &a, const const_iterator &b) { return a.row_ - b.row_; }
        friend bool operator==(const const_iterator &a, const const_iterator &b) { return a.row_ == b.row_; }
        friend auto operator<=>(const const_iterator &a, const const_iterator &b) { return a.row_ <=> b.row_; }

    private:
        const TSongColumn *column_ = nullptr;
        qsizetype row_ = 0;
    };
    using iterator = const_iterator;
    using value_type = QString;

    TSongColumn() = default;
    TSongColumn(std::initializer_list<QString> texts);
    TSongColumn(const QStringList &texts);

    qsizetype size() const { return cells_.size(); }
    qsizetype count() const { return cells_.size(); }
    bool isEmpty() const { return cells_.isEmpty(); }

    // By value, and const so that an assignment to it does not compile:
    // cells change through replace().
    const QString at(qsizetype row) const;
    const QString operator[](qsizetype row) const { return at(row); }
    // Empty (or fallback) outside the column.
    QString value(qsizetype row, const QString &fallback = QString()) const;
    QString first() const { return at(0); }
    QString last() const { return at(size() - 1); }
    bool contains(QStringView text) const { return indexOf(text) >= 0; }
    qsizetype indexOf(QStringView text) const;
    QString join(QChar separator) const;
    QStringList toList() const;
    operator QStringList() const { return toList(); }

    void append(QStringView text);
    void append(const QString &text) { append(QStringView(text)); }
    void append(const TSongColumn &other);
    // Appends other's cell; a number only when both share one block.
    void appendCell(const TSongColumn &other, qsizetype row);
    void replace(qsizetype row, QStringView text);
    void replace(qsizetype row, const QString &text) { replace(row, QStringView(text)); }
    // Replaces each cell whose text differs from the same row of texts,
    // which has as many rows; the others keep their cells.
    void takeChanged(const QStringList &texts);
    void removeAt(qsizetype row) { cells_.removeAt(row); }
    void removeLast() { cells_.removeLast(); }
    void swapItemsAt(qsizetype a, qsizetype b) { cells_.swapItemsAt(a, b); }
    void move(qsizetype from, qsizetype to) { cells_.move(from, to); }
    void reserve(qsizetype rows) { cells_.reserve(rows); }
    void squeeze() { cells_.squeeze(); }
    void clear();
    void swap(TSongColumn &other) noexcept;

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    // For the engines that work on the compact form (store, search, sort).
    const QList<Offset> &cells() const { return cells_; }
    QList<Offset> &cells() { return cells_; }
    const std::shared_ptr<TTextArena> &arena() const { return arena_; }
    // A column made of offsets into a block.
    TSongColumn(std::shared_ptr<TTextArena> arena, QList<Offset> cells);
    Offset cell(qsizetype row) const { return cells_.at(row); }
    TTextArena::Cell rawCell(qsizetype row) const;
    bool sharesArena(const TSongColumn &other) const { return arena_ && arena_ == other.arena_; }

    friend bool operator==(const TSongColumn &a, const TSongColumn &b);
    friend bool operator==(const TSongColumn &a, const QStringList &b);

private:
    TTextArena &writable(std::size_t bytes);
    Offset store(QStringView text);

    std::shared_ptr<TTextArena> arena_;
    QList<Offset> cells_;
};

// Read for every cell a store, search or sort touches: inline.
inline TTextArena::Cell TTextArena::cell(Offset at) const
{
    const char *p = bytes_ + at;
    std::uint64_t value = 0;
    int shift = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(*p++);
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80)
            break;
        shift += 7;
    }
    const auto size = static_cast<std::uint32_t>(value >> 1);
    return {p, size, (value & 1) != 0, QByteArrayView(bytes_ + at, p + size - (bytes_ + at))};
}

inline TTextArena::Cell TSongColumn::rawCell(qsizetype row) const
{
    static const char nothing = '\0';
    const Offset offset = cells_.at(row);
    if (offset == 0)
        return {&nothing, 0, false, QByteArrayView(&nothing, 1)};
    return arena_->cell(offset);
}
