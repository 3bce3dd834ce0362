#include "mimeappslist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QByteArray kDefaultsGroup = "Default Applications";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

} // namespace

bool TMimeAppsList::load(const QString &path)
{
    path_ = path;
    readable_ = false;
    changed_ = false;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        parse({});
        readable_ = true;
        return true;
    }
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        parse({});
        return false;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        parse({});
        return false;
    }
    parse(content);
    readable_ = true;
    return true;
}

void TMimeAppsList::setContent(const QByteArray &content)
{
    path_.clear();
    readable_ = false;
    changed_ = false;
    parse(content);
}

void TMimeAppsList::parse(const QByteArray &content)
{
    lines_.clear();
    finalNewline_ = content.isEmpty() || content.endsWith('\n');
    lineEnd_ = content.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    QList<QByteArray> pieces = content.split('\n');
    if (finalNewline_)
        pieces.removeLast();
    bool inGroup = false;
    bool inDefaults = false;
    for (const QByteArray &text : std::as_const(pieces)) {
        Line line;
        line.text = text;
        const QByteArray trimmed = text.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            line.isGroup = true;
            inGroup = true;
            inDefaults = trimmed.mid(1, trimmed.size() - 2) == kDefaultsGroup;
        } else if (inGroup && !trimmed.startsWith('#')) {
            const qsizetype equals = text.indexOf('=');
            if (equals > 0) {
                line.key = text.left(equals).trimmed();
                line.valueAt = equals + 1;
                while (line.valueAt < text.size() && (text[line.valueAt] == ' ' || text[line.valueAt] == '\t'))
                    ++line.valueAt;
            }
        }
        line.inDefaults = inDefaults && !line.isGroup;
        lines_.append(line);
    }
}

namespace {

// The value of a key line, without the blanks (and CR) that end it.
QByteArray valueOf(const QByteArray &text, qsizetype at)
{
    qsizetype end = text.size();
    while (end > at && isBlank(text[end - 1]))
        --end;
    return text.mid(at, end - at);
}

} // namespace

QByteArray TMimeAppsList::defaults(const QString &mimeType) const
{
    const QByteArray key = mimeType.toUtf8();
    QByteArray found;
    for (const Line &line : lines_) {
        if (line.inDefaults && line.key == key)
            found = valueOf(line.text, line.valueAt);
    }
    return found;
}

void TMimeAppsList::setDefaults(const QString &mimeType, const QByteArray &value)
{
    // Only the line that counts changes; an earlier one of the same key is
    // left as it stands.
    const QByteArray key = mimeType.toUtf8();
    qsizetype last = lines_.size() - 1;
    while (last >= 0 && !(lines_[last].inDefaults && lines_[last].key == key))
        --last;
    const bool present = last >= 0;
    if (present && value.isEmpty()) {
        lines_.removeAt(last);
        changed_ = true;
    } else if (present) {
        Line &line = lines_[last];
        const QByteArray old = valueOf(line.text, line.valueAt);
        if (old != value) {
            line.text = line.text.left(line.valueAt) + value + line.text.mid(line.valueAt + old.size());
            changed_ = true;
        }
    }
    if (present || value.isEmpty())
        return;

    const QByteArray crOrNothing = lineEnd_ == "\r\n" ? QByteArray("\r") : QByteArray();
    Line added;
    added.text = key + '=' + value + crOrNothing;
    added.key = key;
    added.valueAt = key.size() + 1;
    added.inDefaults = true;
    qsizetype at = insertionPoint();
    if (at < 0) {
        // No section yet: it goes at the end, set apart by a blank line.
        if (!lines_.isEmpty() && !lines_.last().text.trimmed().isEmpty()) {
            Line blank;
            blank.text = crOrNothing;
            lines_.append(blank);
        }
        Line group;
        group.text = '[' + kDefaultsGroup + ']' + crOrNothing;
        group.isGroup = true;
        lines_.append(group);
        at = lines_.size();
        finalNewline_ = true;
    }
    lines_.insert(at, added);
    changed_ = true;
}

qsizetype TMimeAppsList::insertionPoint() const
{
    // After the last key of the first [Default Applications] section, or
    // right below its header when it has none; comments and blank lines
    // further down belong to what follows.
    const QByteArray header = '[' + kDefaultsGroup + ']';
    qsizetype i = 0;
    while (i < lines_.size() && !(lines_[i].isGroup && lines_[i].text.trimmed() == header))
        ++i;
    if (i == lines_.size())
        return -1;
    qsizetype at = ++i;
    for (; i < lines_.size() && !lines_[i].isGroup; ++i) {
        if (!lines_[i].key.isEmpty())
            at = i + 1;
    }
    return at;
}

bool TMimeAppsList::refersTo(const QByteArray &desktopId) const
{
    for (const Line &line : lines_) {
        if (line.inDefaults && !line.key.isEmpty()
            && DesktopIdList::ids(valueOf(line.text, line.valueAt)).contains(desktopId))
            return true;
    }
    return false;
}

QByteArray TMimeAppsList::content() const
{
    QByteArray out;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        out += lines_[i].text;
        if (i + 1 < lines_.size() || finalNewline_)
            out += '\n';
    }
    return out;
}

bool TMimeAppsList::save()
{
    if (!readable_ || path_.isEmpty())
        return false;
    if (!changed_)
        return true;
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        return false;
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = content();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return false;
    changed_ = false;
    return true;
}

namespace DesktopIdList {

QList<QByteArray> ids(const QByteArray &value)
{
    QList<QByteArray> out;
    const QList<QByteArray> pieces = value.split(';');
    for (const QByteArray &piece : pieces) {
        const QByteArray id = piece.trimmed();
        if (!id.isEmpty())
            out.append(id);
    }
    return out;
}

QByteArray without(const QByteArray &value, const QByteArray &id)
{
    QList<QByteArray> pieces = value.split(';');
    pieces.removeIf([&id](const QByteArray &piece) { return piece.trimmed() == id; });
    QByteArray rest = pieces.join(';');
    if (ids(rest).isEmpty())
        return {};
    return rest;
}

QByteArray withFirst(const QByteArray &value, const QByteArray &id)
{
    const QByteArray rest = without(value, id);
    const QByteArray first = id + ';';
    if (rest.isEmpty())
        return first;
    return first + rest;
}

} // namespace DesktopIdList
