#include "xdgapplications.h"

#include "mimeappslist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QString kMimeAppsName = u"mimeapps.list"_s;
const QString kApplications = u"/applications"_s;
const QByteArray kEntryGroup = "[Desktop Entry]";

QString baseDir(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + fallback;
}

QStringList dirList(const char *variable, const QStringList &fallback)
{
    QStringList dirs;
    const QStringList parts = qEnvironmentVariable(variable).split(u':', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (QDir::isAbsolutePath(part))
            dirs.append(QDir::cleanPath(part));
    }
    return dirs.isEmpty() ? fallback : dirs;
}

// Lower-case names from $XDG_CURRENT_DESKTOP ("GNOME:ubuntu" gives both).
QStringList currentDesktops()
{
    QStringList names;
    const QStringList parts = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    for (const QString &part : parts)
        names.append(part.toLower());
    return names;
}

void addListsOf(const QString &dir, const QStringList &desktops, QStringList &out)
{
    for (const QString &desktop : desktops)
        out.append(dir + u'/' + desktop + u'-' + kMimeAppsName);
    out.append(dir + u'/' + kMimeAppsName);
}

QString unescaped(const QByteArray &raw)
{
    const QString text = QString::fromUtf8(raw);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        switch (text[++i].unicode()) {
        case 's': out += u' '; break;
        case 'n': out += u'\n'; break;
        case 't': out += u'\t'; break;
        case 'r': out += u'\r'; break;
        case '\\': out += u'\\'; break;
        default: out += c; out += text[i]; break;
        }
    }
    return out;
}

// A desktop file's [Desktop Entry] key, raw; empty when absent.
QByteArray rawEntryValue(const QString &path, const QByteArray &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool inEntry = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inEntry = line == kEntryGroup;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inEntry && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

// The paths a desktop-file id may stand for below one applications folder:
// "vendor-player.desktop" may also be "vendor/player.desktop".
QStringList candidatePaths(const QString &dir, const QString &desktopId)
{
    QStringList paths{dir + u'/' + desktopId};
    for (qsizetype dash = desktopId.indexOf(u'-'); dash > 0; dash = desktopId.indexOf(u'-', dash + 1))
        paths.append(dir + u'/' + desktopId.left(dash) + u'/' + desktopId.mid(dash + 1));
    return paths;
}

} // namespace

namespace Xdg {

QString configHome()
{
    return baseDir("XDG_CONFIG_HOME", u"/.config"_s);
}

QString dataHome()
{
    return baseDir("XDG_DATA_HOME", u"/.local/share"_s);
}

QStringList configDirs()
{
    return dirList("XDG_CONFIG_DIRS", {u"/etc/xdg"_s});
}

QStringList dataDirs()
{
    return dirList("XDG_DATA_DIRS", {u"/usr/local/share"_s, u"/usr/share"_s});
}

QString userMimeAppsPath()
{
    return configHome() + u'/' + kMimeAppsName;
}

QString userApplicationsDir()
{
    return dataHome() + kApplications;
}

QStringList mimeAppsLookupOrder()
{
    const QStringList desktops = currentDesktops();
    QStringList order;
    addListsOf(configHome(), desktops, order);
    for (const QString &dir : configDirs())
        addListsOf(dir, desktops, order);
    addListsOf(userApplicationsDir(), desktops, order);
    for (const QString &dir : dataDirs())
        addListsOf(dir + kApplications, desktops, order);
    return order;
}

QString desktopFilePath(const QString &desktopId)
{
    if (desktopId.isEmpty() || desktopId.contains(u'/'))
        return {};
    QStringList dirs{userApplicationsDir()};
    for (const QString &dir : dataDirs())
        dirs.append(dir + kApplications);
    for (const QString &dir : std::as_const(dirs)) {
        for (const QString &path : candidatePaths(dir, desktopId)) {
            if (!QFileInfo(path).isFile())
                continue;
            // A hidden entry stands for a deleted one and hides the others.
            if (rawEntryValue(path, "Hidden") == "true")
                return {};
            return path;
        }
    }
    return {};
}

QString desktopEntryValue(const QString &path, const QString &key)
{
    return unescaped(rawEntryValue(path, key.toUtf8()));
}

QString defaultApplication(const QString &mimeType, const TMimeAppsList &user)
{
    const QString userPath = userMimeAppsPath();
    for (const QString &path : mimeAppsLookupOrder()) {
        TMimeAppsList other;
        if (path != userPath)
            other.load(path);
        const TMimeAppsList &list = path == userPath ? user : other;
        for (const QByteArray &id : DesktopIdList::ids(list.defaults(mimeType))) {
            const QString name = QString::fromUtf8(id);
            if (!desktopFilePath(name).isEmpty())
                return name;
        }
    }
    return {};
}

} // namespace Xdg
