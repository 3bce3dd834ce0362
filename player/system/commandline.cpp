#include "commandline.h"

#include <QDir>

namespace {
constexpr QChar kSeparator = u'|';
}

QStringList absoluteArguments(const QStringList &arguments, const QString &workingDirectory)
{
    const QDir base(workingDirectory);
    QStringList result;
    result.reserve(arguments.size());
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            result.append(argument);
        else
            result.append(QDir::cleanPath(base.absoluteFilePath(argument)));
    }
    return result;
}

QString forwardedText(const QStringList &arguments)
{
    QString text;
    for (const QString &argument : arguments) {
        text += kSeparator;
        text += argument;
    }
    return text;
}

QStringList splitForwardedText(const QString &text)
{
    QStringList pieces;
    QString rest = text;
    while (!rest.isEmpty()) {
        // The search starts after the first character, which is the "|"
        // that opened this piece.
        const qsizetype next = rest.indexOf(kSeparator, 1);
        if (next < 0) {
            pieces.append(rest.mid(1));
            rest.clear();
        } else {
            pieces.append(rest.mid(1, next - 1));
            rest = rest.mid(next);
        }
    }
    return pieces;
}
