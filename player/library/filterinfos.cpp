#include "options.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int LinesPerEntry = 3;
constexpr qint64 BytesPerKiB = 1024;
constexpr QLatin1StringView ArchiveExtension{".rar"};
constexpr QLatin1StringView NoUpperLimit{"0"};

constexpr char IncompleteFilterWarning[] =
    "Filter file %s ends with %d line(s) of an incomplete entry; they are ignored";
constexpr char BadLimitWarning[] =
    "Filter entry %s has a size limit that is not a decimal integer; it accepts nothing";

// Plain decimal text: an optional minus sign and digits, nothing else.
// Anything looser (spaces, "+", hex, overflow) is a broken filter entry.
std::optional<qint64> decimalLimit(const QString &text)
{
    qsizetype pos = text.startsWith(u'-') ? 1 : 0;
    const bool negative = pos == 1;
    if (pos == text.size() || text.size() - pos > 18)
        return std::nullopt;
    qint64 value = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text.at(pos).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

} // namespace

QString lowerExtension(const QString &path)
{
    // Archive members may carry either separator in their names.
    const qsizetype nameStart =
        std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < nameStart)
        return QString();
    QString extension = path.mid(dot);
    for (QChar &c : extension) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            c = QChar(static_cast<char16_t>(u - u'A' + u'a'));
    }
    return extension;
}

void TFileFilterInfos::clear()
{
    extension.clear();
    minimum.clear();
    maximum.clear();
}

void TFileFilterInfos::loadFilter(const QString &fileName)
{
    TStringListC lines;
    lines.LoadFromFile(fileName);
    clear();
    const qsizetype entries = lines.size() / LinesPerEntry;
    for (qsizetype k = 0; k < entries; ++k) {
        extension.append(lines.at(k * LinesPerEntry));
        minimum.append(lines.at(k * LinesPerEntry + 1));
        maximum.append(lines.at(k * LinesPerEntry + 2));
    }
    if (const qsizetype rest = lines.size() % LinesPerEntry; rest != 0)
        qWarning(IncompleteFilterWarning, qUtf8Printable(fileName), static_cast<int>(rest));
    for (qsizetype k = 0; k < entries; ++k) {
        if (!decimalLimit(minimum.at(k)) || !decimalLimit(maximum.at(k)))
            qWarning(BadLimitWarning, qUtf8Printable(extension.at(k)));
    }
}

bool TFileFilterInfos::entryAccepts(qsizetype entry, qint64 sizeKiB) const
{
    const std::optional<qint64> low = decimalLimit(minimum.at(entry));
    const std::optional<qint64> high = decimalLimit(maximum.at(entry));
    if (!low || !high)
        return false;
    if (sizeKiB < *low)
        return false;
    return sizeKiB <= *high || maximum.at(entry) == NoUpperLimit;
}

int TFileFilterInfos::classifyFile(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.isFile())
        return Rejected;
    if (isArchiveName(path))
        return Archive;
    // The size is taken from the opened file; one that cannot be read is not
    // a song a scan could use, so it is skipped rather than aborting the scan.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Rejected;
    return classifySized(path, file.size());
}

bool TFileFilterInfos::isArchiveName(const QString &path)
{
    return lowerExtension(path) == ArchiveExtension;
}

int TFileFilterInfos::classifySized(const QString &path, qint64 bytes) const
{
    const QString ext = lowerExtension(path);
    if (ext == ArchiveExtension)
        return Archive;
    // An entry without extension is broken; a file without one is no song.
    if (ext.isEmpty())
        return Rejected;
    qsizetype entry = -1;
    for (qsizetype k = 0; k < extension.size(); ++k) {
        if (extension.at(k) == ext)
            entry = k;
    }
    if (entry < 0)
        return Rejected;
    return entryAccepts(entry, bytes / BytesPerKiB) ? Song : Rejected;
}

bool TFileFilterInfos::acceptsMember(const QString &name, qint64 sizeKiB) const
{
    const QString ext = lowerExtension(name);
    if (ext.isEmpty())
        return false;
    for (qsizetype k = 0; k < extension.size(); ++k) {
        if (extension.at(k) == ext && entryAccepts(k, sizeKiB))
            return true;
    }
    return false;
}
