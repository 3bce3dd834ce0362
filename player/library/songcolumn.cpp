#include "songcolumn.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

constexpr std::size_t MaxArena = std::numeric_limits<TTextArena::Offset>::max();
// A header takes at most five bytes.
constexpr std::size_t HeaderRoom = 5;

char *writeHeader(char *at, std::size_t size, bool wide)
{
    std::uint64_t value = (static_cast<std::uint64_t>(size) << 1) | (wide ? 1u : 0u);
    while (value >= 0x80) {
        *at++ = static_cast<char>(0x80 | (value & 0x7F));
        value >>= 7;
    }
    *at++ = static_cast<char>(value);
    return at;
}

bool isAscii(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

} // namespace

// QByteArrayView::isValidUtf8 gives the same answer (after the byte-order
// mark), but costs a million-song load about a quarter more processor time:
// a store of plain ASCII lines is checked here eight bytes at a time.
bool isExactUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const unsigned char *const end = p + bytes.size();
    // A leading byte-order mark is dropped by the decoder.
    if (bytes.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        return false;
    while (p < end) {
        // Most texts are mostly ASCII: eight bytes at a time while they are.
        std::uint64_t word;
        while (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0))
            p += 8;
        if (p == end)
            break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int follow = 0;
        std::uint32_t point = 0;
        std::uint32_t least = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
            point = c & 0x1F;
            least = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            point = c & 0x0F;
            least = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            point = c & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (end - p <= follow)
            return false;
        for (int k = 1; k <= follow; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (p[k] & 0x3F);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        p += follow + 1;
    }
    return true;
}

TTextArena::TTextArena()
{
    // Offset 0: the empty text.
    *grow(1) = '\0';
    size_ = 1;
}

TTextArena::~TTextArena()
{
    std::free(bytes_);
}

bool TTextArena::hasRoom(std::size_t bytes) const
{
    return bytes <= MaxArena && size_ <= MaxArena - bytes;
}

char *TTextArena::grow(std::size_t bytes)
{
    if (size_ + bytes > capacity_) {
        // realloc moves a big block by remapping its pages, not by copying.
        const std::size_t wanted = std::max(size_ + bytes, capacity_ + capacity_ / 2 + 4096);
        void *moved = std::realloc(bytes_, wanted);
        if (!moved)
            throw std::bad_alloc();
        bytes_ = static_cast<char *>(moved);
        capacity_ = wanted;
    }
    return bytes_ + size_;
}

void TTextArena::reserve(std::size_t bytes)
{
    if (bytes > capacity_ - size_)
        grow(bytes);
}

void TTextArena::squeeze()
{
    if (void *fitted = std::realloc(bytes_, size_)) {
        bytes_ = static_cast<char *>(fitted);
        capacity_ = size_;
    }
}

TTextArena::Offset TTextArena::addBytes(const char *bytes, std::size_t size, bool wide)
{
    if (size == 0)
        return 0;
    if (!hasRoom(size + HeaderRoom))
        throw std::length_error("song text block full");
    char *const start = grow(size + HeaderRoom);
    char *const text = writeHeader(start, size, wide);
    std::memcpy(text, bytes, size);
    const auto at = static_cast<Offset>(size_);
    size_ = static_cast<std::size_t>(text + size - bytes_);
    return at;
}

TTextArena::Offset TTextArena::addUtf8(QByteArrayView utf8)
{
    return addBytes(utf8.data(), static_cast<std::size_t>(utf8.size()), false);
}

TTextArena::Offset TTextArena::addRecord(QByteArrayView record)
{
    if (record.size() <= 1)
        return 0;
    if (!hasRoom(static_cast<std::size_t>(record.size())))
        throw std::length_error("song text block full");
    std::memcpy(grow(static_cast<std::size_t>(record.size())), record.data(), static_cast<std::size_t>(record.size()));
    const auto at = static_cast<Offset>(size_);
    size_ += static_cast<std::size_t>(record.size());
    return at;
}

TTextArena::Offset TTextArena::add(QStringView text)
{
    if (text.isEmpty())
        return 0;
    const auto units = static_cast<std::size_t>(text.size());
    if (isAscii(text)) {
        if (!hasRoom(units + HeaderRoom))
            throw std::length_error("song text block full");
        char *const start = grow(units + HeaderRoom);
        char *to = writeHeader(start, units, false);
        for (const QChar c : text)
            *to++ = static_cast<char>(c.unicode());
        const auto at = static_cast<Offset>(size_);
        size_ = static_cast<std::size_t>(to - bytes_);
        return at;
    }
    // A lone surrogate has no UTF-8 form, and a leading byte-order mark
    // would be dropped on the way back: such texts keep their UTF-16 units.
    if (text.isValidUtf16() && text.front() != QChar(0xFEFF)) {
        const QByteArray utf8 = text.toUtf8();
        return addBytes(utf8.constData(), static_cast<std::size_t>(utf8.size()), false);
    }
    return addBytes(reinterpret_cast<const char *>(text.utf16()), units * 2, true);
}

QString TTextArena::text(Offset at) const
{
    if (at == 0)
        return QString();
    const Cell c = cell(at);
    if (!c.wide)
        return QString::fromUtf8(c.bytes, c.size);
    QString text(c.size / 2, Qt::Uninitialized);
    std::memcpy(text.data(), c.bytes, c.size);
    return text;
}

TTextArena::Offset TTextArena::appendArena(const TTextArena &other)
{
    const std::size_t extra = other.size_ - 1;
    if (!hasRoom(extra))
        throw std::length_error("song text block full");
    std::memcpy(grow(extra), other.bytes_ + 1, extra);
    const auto shift = static_cast<Offset>(size_ - 1);
    size_ += extra;
    return shift;
}

TSongColumn::TSongColumn(std::initializer_list<QString> texts)
{
    reserve(static_cast<qsizetype>(texts.size()));
    for (const QString &text : texts)
        append(text);
}

TSongColumn::TSongColumn(const QStringList &texts)
{
    reserve(texts.size());
    for (const QString &text : texts)
        append(text);
}

TSongColumn::TSongColumn(std::shared_ptr<TTextArena> arena, QList<Offset> cells)
    : arena_(std::move(arena)), cells_(std::move(cells))
{
}

const QString TSongColumn::at(qsizetype row) const
{
    const Offset offset = cells_.at(row);
    return offset == 0 ? QString() : arena_->text(offset);
}

QString TSongColumn::value(qsizetype row, const QString &fallback) const
{
    return row >= 0 && row < size() ? at(row) : fallback;
}

qsizetype TSongColumn::indexOf(QStringView text) const
{
    for (qsizetype row = 0; row < size(); ++row)
        if (at(row) == text)
            return row;
    return -1;
}

QString TSongColumn::join(QChar separator) const
{
    return toList().join(separator);
}

QStringList TSongColumn::toList() const
{
    QStringList texts;
    texts.reserve(size());
    for (qsizetype row = 0; row < size(); ++row)
        texts.append(at(row));
    return texts;
}

TTextArena &TSongColumn::writable(std::size_t bytes)
{
    if (!arena_) {
        arena_ = std::make_shared<TTextArena>();
    } else if (!arena_->hasRoom(bytes + HeaderRoom)) {
        // A block that has reached its end is left to the other tables; this
        // column moves its own texts into a block of its own.
        auto fresh = std::make_shared<TTextArena>();
        for (Offset &offset : cells_)
            offset = fresh->addRecord(arena_->cell(offset).record);
        arena_ = std::move(fresh);
        if (!arena_->hasRoom(bytes + HeaderRoom))
            throw std::length_error("song column too large");
    }
    return *arena_;
}

TSongColumn::Offset TSongColumn::store(QStringView text)
{
    if (text.isEmpty())
        return 0;
    return writable(static_cast<std::size_t>(text.size()) * 3).add(text);
}

void TSongColumn::append(QStringView text)
{
    // A scan appends the same artist, album or archive row after row.
    if (!cells_.isEmpty() && cells_.constLast() != 0 && at(size() - 1) == text) {
        cells_.append(cells_.constLast());
        return;
    }
    const Offset offset = store(text);
    cells_.append(offset);
}

void TSongColumn::append(const TSongColumn &other)
{
    if (&other == this) {
        const QList<Offset> copy = cells_;
        cells_.append(copy);
        return;
    }
    if (cells_.isEmpty() && other.arena_)
        arena_ = other.arena_;
    if (sharesArena(other) || !other.arena_) {
        cells_.append(other.cells_);
        return;
    }
    cells_.reserve(size() + other.size());
    for (qsizetype row = 0; row < other.size(); ++row)
        appendCell(other, row);
}

void TSongColumn::appendCell(const TSongColumn &other, qsizetype row)
{
    const Offset offset = other.cells_.at(row);
    if (cells_.isEmpty() && other.arena_)
        arena_ = other.arena_;
    if (offset == 0 || sharesArena(other)) {
        cells_.append(offset);
        return;
    }
    const QByteArrayView record = other.arena_->cell(offset).record;
    const Offset copied = writable(static_cast<std::size_t>(record.size())).addRecord(record);
    cells_.append(copied);
}

void TSongColumn::replace(qsizetype row, QStringView text)
{
    if (row < 0 || row >= size())
        return;
    const Offset offset = store(text);
    cells_[row] = offset;
}

void TSongColumn::takeChanged(const QStringList &texts)
{
    const qsizetype rows = std::min(size(), texts.size());
    for (qsizetype row = 0; row < rows; ++row)
        if (at(row) != texts.at(row))
            replace(row, texts.at(row));
}

void TSongColumn::clear()
{
    cells_.clear();
    arena_.reset();
}

void TSongColumn::swap(TSongColumn &other) noexcept
{
    arena_.swap(other.arena_);
    cells_.swap(other.cells_);
}

bool operator==(const TSongColumn &a, const TSongColumn &b)
{
    if (a.size() != b.size())
        return false;
    if (a.sharesArena(b) && a.cells_ == b.cells_)
        return true;
    // A text has one record wherever it is stored.
    for (qsizetype row = 0; row < a.size(); ++row)
        if (a.rawCell(row).record != b.rawCell(row).record)
            return false;
    return true;
}

bool operator==(const TSongColumn &a, const QStringList &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype row = 0; row < a.size(); ++row)
        if (a.at(row) != b.at(row))
            return false;
    return true;
}
