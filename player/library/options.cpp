#include "options.h"

#include "storedtext.h"

#include <QByteArray>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr QLatin1StringView LineEnd{"\r\n"};

// A CR, LF or NUL inside an entry would split or cut the stored text and, in
// a song store, shift every following row by a column. Such characters never
// belong in a line, so they are stored as spaces.
bool breaksLine(QChar c)
{
    return c == u'\r' || c == u'\n' || c == u'\0';
}

void appendStorable(QString &out, const QString &entry)
{
    const qsizetype start = out.size();
    out += entry;
    if (std::none_of(entry.cbegin(), entry.cend(), breaksLine))
        return;
    for (qsizetype k = start; k < out.size(); ++k) {
        if (breaksLine(out.at(k)))
            out[k] = u' ';
    }
}

} // namespace

void TStringListC::LoadFromFile(const QString &fileName)
{
    clear();
    // Invalid UTF-8 becomes replacement characters instead of failing.
    forEachStoredLine(fileName, [this](QByteArrayView line) { append(QString::fromUtf8(line)); });
}

bool TStringListC::SaveToFile(const QString &fileName) const
{
    qsizetype units = 0;
    for (const QString &entry : *this)
        units += entry.size();
    TStoredTextBuilder text(units, size());
    for (const QString &entry : *this)
        text.append(entry);
    return storeText(text.take(), fileName);
}

QString TStringListC::text() const
{
    qsizetype length = 0;
    for (const QString &entry : *this)
        length += entry.size() + LineEnd.size();
    QString result;
    result.reserve(length);
    for (const QString &entry : *this) {
        appendStorable(result, entry);
        result += LineEnd;
    }
    return result;
}

void TStringListC::setText(const QString &text)
{
    clear();
    qsizetype end = text.indexOf(QChar(u'\0'));
    if (end < 0)
        end = text.size();
    qsizetype start = 0;
    qsizetype pos = 0;
    while (pos < end) {
        const QChar c = text.at(pos);
        if (c == u'\r' || c == u'\n') {
            append(text.mid(start, pos - start));
            if (c == u'\r' && pos + 1 < end && text.at(pos + 1) == u'\n')
                ++pos;
            start = pos + 1;
        }
        ++pos;
    }
    // The last line needs no break of its own; a final break adds nothing.
    if (start < end)
        append(text.mid(start, end - start));
}
