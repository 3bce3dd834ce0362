#include "benchlibrary.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

QString word(QRandomGenerator &random)
{
    static const QStringList words{u"Love"_s, u"night"_s, u"Blue"_s, u"river"_s, u"Song"_s,
                                   u"for"_s, u"the"_s, u"Heart"_s, u"Über"_s, u"café"_s,
                                   u"Dreams"_s, u"of"_s, u"Summer"_s, u"rain"_s, u"Zero"_s};
    return words.at(random.bounded(static_cast<int>(words.size())));
}

QString phrase(QRandomGenerator &random, int words)
{
    QString text = word(random);
    for (int n = 1; n < words; ++n)
        text += u' ' + word(random);
    return text;
}

} // namespace

TFileInfos benchLibrary(int songs)
{
    QRandomGenerator random(42);
    TFileInfos table;
    for (int i = 0; i < songs; ++i) {
        const QString artist = phrase(random, 2);
        const QString album = phrase(random, 3);
        const QString title = random.bounded(20) == 0 ? QString() : phrase(random, 4);
        const bool member = random.bounded(10) == 0;
        const QString file = member ? QString(u"CD1/"_s + title + u".mp3"_s)
                                    : QString(u"/home/user/Music/"_s + artist + u'/' + album + u'/'
                                              + QString::number(i) + u" - "_s + title + u".mp3"_s);
        const QString archive =
            member ? QString(u"/home/user/Music/Archives/"_s + album + u".rar"_s) : QString();
        table.appendRow(file, archive, artist, title, album);
    }
    return table;
}

void reportBudget(benchmark::State &state, double budgetMs)
{
    state.counters["budget_ms"] = budgetMs;
    // Timed seconds per iteration divided by the budget in seconds.
    state.counters["budget_share"] = benchmark::Counter(
        budgetMs * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
