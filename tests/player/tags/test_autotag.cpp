// AutoTag's candidates: which library titles it proposes, the artist and
// title it takes from them, and the line the check list shows for each.

#include "autotagcandidates.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(AutoTagCandidates, ProposesFileNameTitlesInFixedWidthColumns)
{
    const QStringList titles{
        u"Some Band - A Song.mp3"_s,
        u"Plain title"_s,
        u"No dash here.mp3"_s,
        u"Four - Letter.flac"_s,
        // 30 characters: the first 25 and "..".
        u"Abcdefghijklmno - Nopqrstu.mp3"_s,
        u"An Artist With A Long Name - X.mp3"_s,
        u"A - B - C.wav"_s,
    };
    struct Expect
    {
        int row;
        QString artist;
        QString title;
        QString line;
    };
    const Expect expected[] = {
        {0, u"Some Band"_s, u"A Song"_s,
         u"Some Band - A Song.mp3      -> Artist: Some Band               Title: A Song                  "_s},
        {4, u"Abcdefghijklmno"_s, u"Nopqrstu"_s,
         u"Abcdefghijklmno - Nopqrst.. -> Artist: Abcdefghijklmno         Title: Nopqrstu                "_s},
        {5, u"An Artist With A Long Name"_s, u"X"_s,
         u"An Artist With A Long Nam.. -> Artist: An Artist With A Long.. Title: X                       "_s},
        {6, u"A"_s, u"B - C"_s,
         u"A - B - C.wav               -> Artist: A                       Title: B - C                   "_s},
    };
    const TAutoTagCandidates candidates = collectAutoTagCandidates(titles);
    ASSERT_EQ(candidates.count(), qsizetype(std::size(expected)));
    for (qsizetype i = 0; i < candidates.count(); ++i) {
        const Expect &e = expected[i];
        SCOPED_TRACE(e.line.toStdString());
        EXPECT_EQ(candidates.rows.at(i), QString::number(e.row));
        EXPECT_EQ(candidates.artists.at(i), e.artist);
        EXPECT_EQ(candidates.titles.at(i), e.title);
        EXPECT_EQ(candidates.items.at(i), e.line);
    }
}
