#include "basedirectories.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

const QString kBaseDirectoriesFileName = u"music_directories.azi"_s;

QString baseDirectoriesFile(const QString &programDirectory)
{
    return programDirectory + kBaseDirectoriesFileName;
}

TStringListC loadBaseDirectories(const QString &programDirectory)
{
    TStringListC list;
    list.LoadFromFile(baseDirectoriesFile(programDirectory));
    return list;
}

void saveBaseDirectories(const TStringListC &baseDirectories, const QString &programDirectory)
{
    if (!baseDirectories.SaveToFile(baseDirectoriesFile(programDirectory)))
        qWarning("Cannot save the base directories to %s",
                 qUtf8Printable(baseDirectoriesFile(programDirectory)));
}

bool removeMissingDirectories(TStringListC &baseDirectories)
{
    const qsizetype before = baseDirectories.size();
    baseDirectories.removeIf([](const QString &entry) { return !QFileInfo(entry).isDir(); });
    return baseDirectories.size() != before;
}

bool isNewBaseDirectory(const QString &path, const TStringListC &baseDirectories)
{
    for (const QString &entry : baseDirectories) {
        if (entry.isEmpty() || !path.startsWith(entry))
            continue;
        // A bare prefix is not enough: the next character must begin a new
        // path component, or the entry must already end with one.
        if (path.size() == entry.size() || entry.endsWith(u'/') || path.at(entry.size()) == u'/')
            return false;
    }
    return true;
}

QString withoutTrailingSlash(const QString &path)
{
    QString result = path;
    while (result.size() > 1 && result.endsWith(u'/'))
        result.chop(1);
    return result;
}

QString directoryPart(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    if (slash == 0)
        return u"/"_s;
    return withoutTrailingSlash(path.left(slash));
}
