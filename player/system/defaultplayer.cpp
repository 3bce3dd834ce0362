#include "defaultplayer.h"

#include "options.h"
#include "regfileext.h"

#include <algorithm>

using namespace Qt::StringLiterals;

const QString kFileTypeNotSet = u"melodeck_not_set"_s;

namespace {
const QString kQuestionTitle = u"Warning"_s;
const QString kQuestionText =
    u"Melodeck is not the default device for playing \"%1\"-files. Do you want to set it as default?"_s;
const QString kCannotSet = u"Could not set Melodeck as default device for: "_s;
const QString kCannotRestore = u"Could not restore default device for files: "_s;
const QString kAllReset = u"All default music devices have been reset."_s;
const QString kRestartTitle = u"Update"_s;
const QString kRestartText =
    u"The system has changed. It needs to restart to make the changes take effect. Do you want to restart now?"_s;
} // namespace

TDefaultPlayer::TDefaultPlayer(TDefaultPlayerSetup setup)
    : setup_(std::move(setup))
{
}

bool TDefaultPlayer::checkFileType(const QString &extension, int index)
{
    const QString command = playerCommand(setup_.programPath);
    if (readOpenCommand(extension, kOpenVerb) == command)
        return false;
    if (!setup_.ask(kQuestionTitle, kQuestionText.arg(extension), true))
        return false;
    storeFileTypes(kFirstFileTypeLine + index, {readFileClass(extension)});
    if (registerFileType(extension, kPlayerFileClass, command, kOpenVerb, setup_.icon))
        return true;
    setup_.tell(TNoticeKind::Problem, kCannotSet + extension);
    return false;
}

void TDefaultPlayer::checkDefaultPlayer(bool switchedOn)
{
    if (!switchedOn)
        return;
    bool changed = false;
    const QStringList &extensions = musicFileExtensions();
    for (int i = 0; i < extensions.size(); ++i) {
        if (checkFileType(extensions.at(i), i))
            changed = true;
    }
    if (changed && setup_.ask(kRestartTitle, kRestartText, false))
        setup_.restart();
}

bool TDefaultPlayer::resetFileTypes(std::array<QString, kFileTypeCount> &stored)
{
    bool complete = true;
    const QStringList &extensions = musicFileExtensions();
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == kFileTypeNotSet)
            continue;
        const QString &extension = extensions.at(static_cast<qsizetype>(i));
        if (restoreFileType(extension, stored[i])) {
            stored[i] = kFileTypeNotSet;
        } else {
            setup_.tell(TNoticeKind::Problem, kCannotRestore + extension);
            complete = false;
        }
    }
    if (complete)
        setup_.tell(TNoticeKind::Done, kAllReset);
    storeFileTypes(kFirstFileTypeLine, QStringList(stored.begin(), stored.end()));
    return complete;
}

std::array<QString, kFileTypeCount> TDefaultPlayer::storedFileTypes() const
{
    TStringListC lines;
    lines.LoadFromFile(setup_.settingsFile);
    std::array<QString, kFileTypeCount> stored;
    for (std::size_t i = 0; i < stored.size(); ++i)
        stored[i] = lines.value(kFirstFileTypeLine + static_cast<qsizetype>(i), kFileTypeNotSet);
    return stored;
}

void TDefaultPlayer::storeFileTypes(int first, const QStringList &values) const
{
    // Only these lines change; every other line keeps its text, and lines
    // a short file lacks get the defaults.
    TStringListC lines;
    lines.LoadFromFile(setup_.settingsFile);
    const qsizetype needed = std::max<qsizetype>(first + values.size(), setup_.settingsDefaults.size());
    while (lines.size() < needed)
        lines.append(setup_.settingsDefaults.value(lines.size()));
    for (qsizetype i = 0; i < values.size(); ++i)
        lines[first + i] = values.at(i);
    lines.SaveToFile(setup_.settingsFile);
}
