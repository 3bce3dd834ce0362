#include "options.h"
#include "programdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr char HomeVariable[] = "MELODECK_HOME";
constexpr QLatin1StringView OwnExecutable{"/proc/self/exe"};
// Where an installation keeps the shipped files, seen from its bin folder.
constexpr QLatin1StringView InstalledShare{"/../share/melodeck"};
constexpr QLatin1StringView UserFolder{"/melodeck"};
const QStringList kShippedFiles{u"skin.bmp"_s, u"skin.azo"_s, u"filetypes.azi"_s};

QString withTrailingSlash(QString dir)
{
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

QString executableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists (and in plain tests) the kernel
    // still knows where the program file lies.
    return QFileInfo(QFile::symLinkTarget(OwnExecutable)).absolutePath();
}

QString installedShare(const QString &executable)
{
    const QFileInfo share(executable + InstalledShare);
    return share.isDir() ? share.absoluteFilePath() : QString();
}

QString userDataDir()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    const QString base = QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + u"/.local/share"_s;
    return QDir::cleanPath(base) + UserFolder;
}

} // namespace

QString programDir()
{
    const QString home = qEnvironmentVariable(HomeVariable);
    if (!home.isEmpty())
        return withTrailingSlash(home);
    // A build tree or an unpacked folder keeps everything beside the
    // program. An installed program shares its folder with others and may
    // belong to root, who can write anywhere, so each user gets a folder.
    const QString executable = executableDir();
    if (installedShare(executable).isEmpty() && QFileInfo(executable).isWritable())
        return withTrailingSlash(executable);
    return withTrailingSlash(userDataDir());
}

bool prepareProgramDir()
{
    const QString dir = programDir();
    const QString executable = executableDir();
    if (!qEnvironmentVariableIsEmpty(HomeVariable) || QDir(dir) == QDir(executable))
        return true;
    if (!QDir().mkpath(dir))
        return false;
    QString source = installedShare(executable);
    if (source.isEmpty())
        source = executable;
    bool complete = true;
    for (const QString &name : kShippedFiles) {
        const QString target = dir + name;
        const QString shipped = source + u'/' + name;
        if (QFileInfo::exists(target) || !QFileInfo::exists(shipped))
            continue;
        // The copies are the user's to change (the skin editor writes them),
        // whatever rights the shipped files have.
        if (QFile::copy(shipped, target))
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                              | QFileDevice::ReadOther);
        else
            complete = false;
    }
    return complete;
}
