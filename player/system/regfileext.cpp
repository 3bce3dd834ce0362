#include "regfileext.h"

#include "mimeappslist.h"
#include "xdgapplications.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>

#include <array>

using namespace Qt::StringLiterals;

const QString kPlayerFileClass = u"melodeck_file_"_s;
const QString kOpenVerb = u"open"_s;

namespace {

const QString kDesktopSuffix = u".desktop"_s;
// Marks the class file as the player's own, so that no file of that name
// which someone else wrote is ever deleted.
const QByteArray kOwnerKey = "X-Melodeck-FileClass";

struct TypeNames
{
    const char *extension;
    std::array<const char *, 2> types;
    // Where the MIME database knows this type, it stands for the extension
    // instead of `types`: ".mp2" files then have a type of their own, and
    // taking them over leaves ".mp3" files alone.
    const char *ownType;
};

constexpr std::array<TypeNames, 5> kTypes{{
    {".mp3", {"audio/mpeg", nullptr}, nullptr},
    {".mp2", {"audio/mpeg", nullptr}, "audio/x-mp2"},
    {".wav", {"audio/x-wav", "audio/wav"}, nullptr},
    {".wma", {"audio/x-ms-wma", nullptr}, nullptr},
    {".ogg", {"audio/ogg", "audio/x-vorbis+ogg"}, nullptr},
}};

void addOnce(QStringList &list, const QString &name)
{
    if (!name.isEmpty() && !list.contains(name))
        list.append(name);
}

QString desktopId(const QString &fileClass)
{
    return fileClass + kDesktopSuffix;
}

QString classFilePath(const QString &fileClass)
{
    return Xdg::userApplicationsDir() + u'/' + desktopId(fileClass);
}

// The escapes every string value of a desktop file takes.
QString escapedValue(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += u"\\\\"_s; break;
        case '\n': out += u"\\n"_s; break;
        case '\t': out += u"\\t"_s; break;
        case '\r': out += u"\\r"_s; break;
        default: out += c; break;
        }
    }
    return out;
}

bool writeClassFile(const QString &fileClass, const QString &command, const QString &icon)
{
    QStringList types;
    for (const QString &extension : musicFileExtensions()) {
        for (const QString &type : mimeTypesForExtension(extension))
            addOnce(types, type);
    }
    const QString text = u"[Desktop Entry]\n"
                         u"Type=Application\n"
                         u"Name=Melodeck\n"
                         u"Comment=Play this file with Melodeck\n"
                         u"Exec="_s + escapedValue(command) + u"\n"
                         u"Icon="_s + escapedValue(icon) + u"\n"
                         u"MimeType="_s + types.join(u';') + u";\n"
                         u"Terminal=false\n"
                         // The program's own menu entry lists it; this one
                         // only opens files.
                         u"NoDisplay=true\n"_s
                         + QString::fromLatin1(kOwnerKey) + u"=true\n"_s;
    if (!QDir().mkpath(Xdg::userApplicationsDir()))
        return false;
    QSaveFile file(classFilePath(fileClass));
    const QByteArray bytes = text.toUtf8();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// The player's desktop file goes when no default names it any longer.
bool removeUnusedClassFile(const TMimeAppsList &user)
{
    const QString path = classFilePath(kPlayerFileClass);
    if (!QFileInfo(path).isFile() || user.refersTo(desktopId(kPlayerFileClass).toUtf8()))
        return true;
    if (Xdg::desktopEntryValue(path, QString::fromLatin1(kOwnerKey)) != u"true"_s)
        return true;
    return QFile::remove(path);
}

} // namespace

const QStringList &musicFileExtensions()
{
    static const QStringList extensions{u".mp3"_s, u".mp2"_s, u".wav"_s, u".wma"_s, u".ogg"_s};
    return extensions;
}

QStringList mimeTypesForExtension(const QString &extension)
{
    const QMimeDatabase database;
    const QString wanted = extension.toLower();
    QStringList types;
    for (const TypeNames &entry : kTypes) {
        if (wanted != QLatin1StringView(entry.extension))
            continue;
        QStringList named;
        if (entry.ownType != nullptr && database.mimeTypeForName(QString::fromLatin1(entry.ownType)).isValid()) {
            named.append(QString::fromLatin1(entry.ownType));
        } else {
            for (const char *type : entry.types) {
                if (type != nullptr)
                    named.append(QString::fromLatin1(type));
            }
        }
        // A file manager asks for the canonical name of what it detects, so
        // that name (the database knows it where the given one is an alias)
        // comes first.
        for (const QString &type : std::as_const(named)) {
            const QMimeType known = database.mimeTypeForName(type);
            if (known.isValid())
                addOnce(types, known.name());
            addOnce(types, type);
        }
    }
    return types;
}

QString playerCommand(const QString &programPath)
{
    QString quoted;
    for (const QChar c : programPath) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        else if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return u'"' + quoted + u"\" %f"_s;
}

QString readFileClass(const QString &extension)
{
    const QStringList types = mimeTypesForExtension(extension);
    if (types.isEmpty())
        return {};
    TMimeAppsList user;
    user.load(Xdg::userMimeAppsPath());
    return Xdg::defaultApplication(types.first(), user);
}

QString readOpenCommand(const QString &extension, const QString &verb)
{
    if (verb != kOpenVerb)
        return {};
    const QString path = Xdg::desktopFilePath(readFileClass(extension));
    return path.isEmpty() ? QString() : Xdg::desktopEntryValue(path, u"Exec"_s);
}

bool registerFileType(const QString &extension, const QString &fileClass, const QString &command,
                      const QString &verb, const QString &icon)
{
    const QStringList types = mimeTypesForExtension(extension);
    if (types.isEmpty() || verb != kOpenVerb || fileClass.isEmpty())
        return false;
    if (!writeClassFile(fileClass, command, icon))
        return false;
    TMimeAppsList user;
    if (!user.load(Xdg::userMimeAppsPath()))
        return false;
    const QByteArray id = desktopId(fileClass).toUtf8();
    for (const QString &type : types)
        user.setDefaults(type, DesktopIdList::withFirst(user.defaults(type), id));
    if (!user.save())
        return false;
    return Xdg::defaultApplication(types.first(), user) == desktopId(fileClass);
}

bool restoreFileType(const QString &extension, const QString &previousClass)
{
    const QStringList types = mimeTypesForExtension(extension);
    if (types.isEmpty())
        return false;
    TMimeAppsList user;
    if (!user.load(Xdg::userMimeAppsPath()))
        return false;
    const QString ours = desktopId(kPlayerFileClass);
    for (const QString &type : types)
        user.setDefaults(type, DesktopIdList::without(user.defaults(type), ours.toUtf8()));
    // Where the previous program came from a system-wide list, taking the
    // player off already gives the type back; only otherwise is it written.
    // The player's own class is no previous program to return to.
    const QString &main = types.first();
    if (!previousClass.isEmpty() && previousClass != ours
        && Xdg::defaultApplication(main, user) != previousClass)
        user.setDefaults(main, DesktopIdList::withFirst(user.defaults(main), previousClass.toUtf8()));
    if (!user.save())
        return false;
    return removeUnusedClassFile(user);
}
