#pragma once

// Where the desktop keeps its applications and their MIME associations, and
// which application it opens a MIME type with, read the way desktop
// libraries read it.

#include <QString>
#include <QStringList>

class TMimeAppsList;

namespace Xdg {

// $XDG_CONFIG_HOME, $XDG_DATA_HOME and the system lists, with their usual
// defaults when a variable is unset or not an absolute path.
QString configHome();
QString dataHome();
QStringList configDirs();
QStringList dataDirs();

// The user's own list, which the player edits.
QString userMimeAppsPath();
// Where the user's own desktop files live.
QString userApplicationsDir();
// Every mimeapps.list in the order their defaults count: the current
// desktop's own file before the general one, the user's before the system's.
QStringList mimeAppsLookupOrder();

// The file of an installed desktop-file id; empty when there is none, or
// when the first one found is marked hidden.
QString desktopFilePath(const QString &desktopId);
// A key of the [Desktop Entry] group with the format's escapes undone;
// empty when the file or the key is missing.
QString desktopEntryValue(const QString &path, const QString &key);

// The desktop-file id the desktop opens `mimeType` with: the first
// installed id of the first list that has one. `user` stands for the
// user's own list, so a change can be looked at before it is saved.
QString defaultApplication(const QString &mimeType, const TMimeAppsList &user);

} // namespace Xdg
