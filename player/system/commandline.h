#pragma once

// The command line as the player sees it: every argument is a path, and a
// second start hands its arguments to the running instance as one text.

#include <QString>
#include <QStringList>

// Makes every relative argument absolute against workingDirectory (the
// directory of the process that was started, not of the one that receives
// the arguments later). Absolute arguments are cleaned of "." and "..";
// empty arguments stay empty, so they never turn into the working directory.
QStringList absoluteArguments(const QStringList &arguments, const QString &workingDirectory);

// "|" followed by the argument, for every argument in order.
QString forwardedText(const QStringList &arguments);

// Splits a forwarded text the way the running instance does: each piece runs
// from the character after a "|" up to the next "|" after it. An argument that
// itself contains "|" therefore arrives as several pieces. A text that does
// not begin with "|" loses its first character, exactly as the sender's
// format implies.
QStringList splitForwardedText(const QString &text);
