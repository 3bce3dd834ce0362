#include "fileassociation.h"

#include "captions.h"
#include "options.h"
#include "shutdown.h"
#include "skinsettings.h"
#include "usermessages.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {
const QString kIconName = u"melodeck"_s;
const QString kInstalledIcon = u"/../share/icons/hicolor/scalable/apps/melodeck.svg"_s;
const QString kBesideIcon = u"/melodeck.svg"_s;

// The theme icon of an installed program; in the build tree the picture
// beside the program; otherwise the program file itself.
QString iconSource()
{
    const QString dir = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(dir + kInstalledIcon))
        return kIconName;
    if (QFileInfo::exists(dir + kBesideIcon))
        return dir + kBesideIcon;
    return QCoreApplication::applicationFilePath();
}
} // namespace

TDefaultPlayer defaultPlayer(QWidget *parent)
{
    TDefaultPlayerSetup setup;
    setup.programPath = QCoreApplication::applicationFilePath();
    setup.icon = iconSource();
    setup.settingsFile = programDir() + kSkinSettingsFileName;
    setup.settingsDefaults = TSkinSettings::defaults().toLines();
    setup.ask = [parent](const QString &title, const QString &text, bool yesByDefault) {
        return askYesNo(parent, QMessageBox::Warning, title, text, yesByDefault ? QMessageBox::Yes : QMessageBox::No);
    };
    setup.tell = [parent](TNoticeKind kind, const QString &text) {
        showMessage(parent, kind == TNoticeKind::Problem ? QMessageBox::Warning : QMessageBox::Information,
                    Caption::WindowTitle, text);
    };
    setup.restart = [] { shutdownSystem(ShutdownKind::Reboot); };
    return TDefaultPlayer(std::move(setup));
}
