#pragma once

// One "mimeapps.list" file, edited line by line.
//
// The file belongs to the whole desktop: file managers, other players and
// the user's own hand all write to it. Every line the player does not change
// is kept byte for byte (comments, other sections, unknown keys, lines that
// make no sense, CR LF endings, text that is not UTF-8), and a file that
// cannot be read is never written.

#include <QByteArray>
#include <QList>
#include <QString>

class TMimeAppsList
{
public:
    // Reads `path`. A missing file is an empty list; false when the file is
    // there but cannot be read (the list then refuses to save).
    bool load(const QString &path);
    // Parses text that is already in memory (a file of lower precedence).
    void setContent(const QByteArray &content);
    // Writes the file atomically, creating its directory; does nothing and
    // succeeds when no line changed. False when it cannot be written or was
    // never read.
    bool save();

    // The raw value of `mimeType` in [Default Applications]: desktop-file
    // ids separated by ";". When the key stands more than once, the last one
    // counts, as desktop libraries read it. Empty when the key is absent.
    QByteArray defaults(const QString &mimeType) const;
    // Replaces the value of the line of `mimeType` in [Default Applications]
    // that counts (the last), keeping what stands before the value; adds a
    // line to the section (and the section to the file) when there is none.
    // An empty value removes that line instead.
    void setDefaults(const QString &mimeType, const QByteArray &value);
    // Whether any [Default Applications] value names `desktopId`.
    bool refersTo(const QByteArray &desktopId) const;

    QByteArray content() const;
    bool changed() const { return changed_; }

private:
    struct Line
    {
        QByteArray text;     // without the line end
        QByteArray key;      // trimmed; empty for anything but a key line
        qsizetype valueAt = 0; // where the value starts in `text`
        bool inDefaults = false;
        bool isGroup = false;
    };
    void parse(const QByteArray &content);
    qsizetype insertionPoint() const;

    QString path_;
    QList<Line> lines_;
    QByteArray lineEnd_ = "\n";
    bool finalNewline_ = true;
    bool readable_ = false;
    bool changed_ = false;
};

// Desktop-file id lists as they stand in a value: "a.desktop;b.desktop;".
namespace DesktopIdList {
// The ids in order, without empty ones.
QList<QByteArray> ids(const QByteArray &value);
// The value without every occurrence of `id`; the rest stays as written.
QByteArray without(const QByteArray &value, const QByteArray &id);
// The value with `id` first (moved there when it stood further on).
QByteArray withFirst(const QByteArray &value, const QByteArray &id);
} // namespace DesktopIdList
