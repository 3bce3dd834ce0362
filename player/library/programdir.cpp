#include "options.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr char HomeVariable[] = "MELODECK_HOME";
constexpr QLatin1StringView OwnExecutable{"/proc/self/exe"};

QString withTrailingSlash(QString dir)
{
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

} // namespace

QString programDir()
{
    const QString home = qEnvironmentVariable(HomeVariable);
    if (!home.isEmpty())
        return withTrailingSlash(home);
    if (QCoreApplication::instance())
        return withTrailingSlash(QCoreApplication::applicationDirPath());
    // Before the application object exists (and in plain tests) the kernel
    // still knows where the program file lies.
    const QFileInfo self(QFile::symLinkTarget(OwnExecutable));
    return withTrailingSlash(self.absolutePath());
}
