#include "autotagcandidates.h"

#include "az_id3tag.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QString kArtistLabel = u" -> Artist: "_s;
const QString kTitleLabel = u" Title: "_s;
const QString kCut = u".."_s;
} // namespace

QString fitText(const QString &text, int width)
{
    if (text.size() > width)
        return text.left(std::max(0, width - int(kCut.size()))) + kCut.left(width);
    return text.leftJustified(width, u' ');
}

void TAutoTagCandidates::clear()
{
    rows.clear();
    titles.clear();
    artists.clear();
    items.clear();
}

TAutoTagCandidates collectAutoTagCandidates(const QStringList &titleColumn)
{
    TAutoTagCandidates candidates;
    for (qsizetype row = 0; row < titleColumn.size(); ++row) {
        const QString &name = titleColumn.at(row);
        const auto split = splitArtistTitle(name);
        if (!split)
            continue;
        candidates.rows.append(QString::number(row));
        candidates.titles.append(split->title);
        candidates.artists.append(split->artist);
        candidates.items.append(fitText(name, AutoTagWidth::Name) + kArtistLabel
                                + fitText(split->artist, AutoTagWidth::Artist) + kTitleLabel
                                + fitText(split->title, AutoTagWidth::Title));
    }
    return candidates;
}

int applyAutoTag(const TAutoTagCandidates &candidates, const QList<bool> &marked, QStringList &titleColumn,
                 QStringList &artistColumn)
{
    int tagged = 0;
    const qsizetype entries = std::min({candidates.count(), candidates.rows.size(), candidates.titles.size(),
                                        candidates.artists.size(), marked.size()});
    for (qsizetype i = 0; i < entries; ++i) {
        if (!marked.at(i))
            continue;
        bool isNumber = false;
        const qsizetype row = candidates.rows.at(i).toLongLong(&isNumber);
        if (!isNumber || row < 0 || row >= titleColumn.size() || row >= artistColumn.size())
            continue;
        // Written through the non-const operator, so a column shared with a
        // cached copy (the search keeps one) leaves that copy behind and the
        // cache sees that the column has changed.
        titleColumn[row] = candidates.titles.at(i);
        artistColumn[row] = candidates.artists.at(i);
        ++tagged;
    }
    return tagged;
}
