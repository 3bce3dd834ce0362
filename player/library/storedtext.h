#pragma once

// The byte form of a stored list, read and written without a whole-text
// QString in between: a 100,000-song library is about ten megabytes of text,
// and converting it to UTF-16 and splitting it again cost more than the
// restore itself.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>

#include <functional>

// A stored file's restored text, up to its first NUL byte; empty when the
// file is missing, unreadable or damaged. The bytes are azpack's and stay
// valid while this object lives.
class TRestoredText
{
public:
    explicit TRestoredText(const QString &fileName);
    ~TRestoredText();
    TRestoredText(const TRestoredText &) = delete;
    TRestoredText &operator=(const TRestoredText &) = delete;

    QByteArrayView text() const { return text_; }

private:
    QByteArrayView text_;
};

// Hands each line of text to take, in order. A line ends at CR LF, a lone
// CR or a lone LF; a final line break adds no empty line.
template <typename Take>
void forEachLine(QByteArrayView text, Take &&take)
{
    const char *const end = text.data() + text.size();
    const char *start = text.data();
    for (const char *pos = start; pos < end; ++pos) {
        const char c = *pos;
        if (c == '\r' || c == '\n') {
            take(QByteArrayView(start, pos - start));
            if (c == '\r' && pos + 1 < end && pos[1] == '\n')
                ++pos;
            start = pos + 1;
        }
    }
    if (start < end)
        take(QByteArrayView(start, end - start));
}

// Line ends in text: each LF, and each CR not followed by an LF in text.
qsizetype countLineEnds(QByteArrayView text);

// The start of the first line at or after `from` that begins a group of
// `groupLines` lines counted from the start of text, or text.size() when
// no line follows. Lets a text be cut where a row of a table begins.
qsizetype groupStartFrom(QByteArrayView text, qsizetype from, int groupLines);

// Restores a stored file and hands each line's UTF-8 bytes to take, in
// order, as forEachLine does. The views are valid only during the call.
void forEachStoredLine(const QString &fileName, const std::function<void(QByteArrayView line)> &take);

// Stores text as a compressed list file; false when azpack failed.
bool storeText(const QByteArray &text, const QString &fileName);
// The same for a NUL-terminated text.
bool storeText(const char *text, const QString &fileName);

// Writes entries of a stored text in UTF-8, each followed by CR LF, into
// room the caller sized with worstCase().
class TStoredTextWriter
{
public:
    explicit TStoredTextWriter(char *at) : write_(at) {}

    // units: the UTF-16 length of all entries together; lines: their count.
    // Each UTF-16 unit gives at most three bytes.
    static qsizetype worstCase(qsizetype units, qsizetype lines) { return units * 3 + lines * 2; }

    // Appends an entry and its CR LF in UTF-8. A CR, LF or NUL inside the
    // entry would split or cut the stored text and, in a song store, shift
    // every following row by a column, so such characters become spaces.
    void append(QStringView entry);
    // The same for an entry already in UTF-8.
    void appendUtf8(QByteArrayView entry);
    char *end() const { return write_; }

private:
    char *write_;
};

// Builds a stored text in one buffer sized for its worst case up front, so
// that no entry costs an allocation or a reallocation of the text so far.
class TStoredTextBuilder
{
public:
    // units: the UTF-16 length of all entries together; lines: their count.
    TStoredTextBuilder(qsizetype units, qsizetype lines);

    // Appends an entry and its CR LF, as TStoredTextWriter::append.
    void append(QStringView entry) { writer_.append(entry); }
    QByteArray take();

private:
    QByteArray bytes_;
    TStoredTextWriter writer_;
};

// Runs first here and second on a thread of its own, and returns once both
// are done; both run here in turn when no thread can be started.
void runSideBySide(const std::function<void()> &first, const std::function<void()> &second);

