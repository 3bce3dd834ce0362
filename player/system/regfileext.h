#pragma once

// The file-type association of the five music types, on the desktop's MIME
// associations: an extension stands for its MIME types, a file class for a
// desktop file, and the class an extension points to for the default
// application in the user's mimeapps.list.

#include <QString>
#include <QStringList>

// The class the player registers for all five types; its desktop file is
// "melodeck_file_.desktop" in the user's applications folder.
extern const QString kPlayerFileClass;
// The one verb a desktop file carries: its Exec line opens the file.
extern const QString kOpenVerb;

// ".mp3", ".mp2", ".wav", ".wma", ".ogg": the order of their stored lines.
const QStringList &musicFileExtensions();

// The MIME types an extension stands for, the main one first; the shared
// MIME database adds the canonical names it knows. Empty for other
// extensions.
QStringList mimeTypesForExtension(const QString &extension);
// The Exec line that opens one file with the program at `programPath`.
QString playerCommand(const QString &programPath);
// The desktop-file id the desktop opens the extension's main type with;
// empty when there is none.
QString readFileClass(const QString &extension);
// The Exec line of that desktop file; empty when there is none or the verb
// is not "open".
QString readOpenCommand(const QString &extension, const QString &verb);

// Writes the class's desktop file (with `command`, `icon` and every type of
// the five) and makes it the first default of each of the extension's
// types. False when a file cannot be written, or when the desktop still
// opens the type with something else afterwards (a desktop-specific list
// that outranks the user's general one).
bool registerFileType(const QString &extension, const QString &fileClass, const QString &command,
                      const QString &verb, const QString &icon);
// Takes the player's class off the extension's types and, when
// `previousClass` names a desktop file, makes it the default again where
// the desktop would not already choose it. The player's desktop file goes
// once no type names it; another program's desktop file is never touched.
// False when the user's list cannot be read or written, or the player's
// unused desktop file cannot be deleted.
bool restoreFileType(const QString &extension, const QString &previousClass);
