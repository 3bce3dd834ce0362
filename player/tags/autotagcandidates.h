#pragma once

// What AutoTag proposes: the library rows whose title is still a file name
// of the form "Artist - Title.xxx", with the artist and title that name
// gives, and the line the check list shows for each. Pure logic over QtCore,
// so that it works on a song table's columns without any window.

#include <QList>
#include <QString>
#include <QStringList>

// Column widths of a check-list line, in characters of the fixed-pitch font:
// the title as it stands, the artist found, the title found.
namespace AutoTagWidth {
constexpr int Name = 27;
constexpr int Artist = 23;
constexpr int Title = 24;
} // namespace AutoTagWidth

// Exactly width characters: a longer text keeps its first width characters
// with the last two of them turned into "..", a shorter one is padded with
// spaces, so that the columns of the list line up.
QString fitText(const QString &text, int width);

// Three lists parallel to the check list's lines (entry i belongs to line i).
struct TAutoTagCandidates
{
    QStringList rows;    // the library row, as decimal text
    QStringList titles;  // the new title
    QStringList artists; // the new artist
    QStringList items;   // the check list's line

    qsizetype count() const { return items.size(); }
    void clear();
};

// Every row of the title column, from the first on, whose title splits into
// artist and title by the tag reader's file-name rule.
TAutoTagCandidates collectAutoTagCandidates(const QStringList &titleColumn);

// Writes the new title and artist of every marked candidate into its row of
// the two columns (nothing else of the row changes) and returns how many were
// written. A candidate without a mark, or whose row is not in both columns,
// is left out.
int applyAutoTag(const TAutoTagCandidates &candidates, const QList<bool> &marked, QStringList &titleColumn,
                 QStringList &artistColumn);
