#include "az_id3tag.h"

#include <QFile>
#include <QFileInfo>

#include <string_view>

namespace {

constexpr char kTagMarker[] = "ID3";
constexpr char kSpace = ' ';
// Encoding byte 1: UTF-16 with byte-order mark. Encoding 0 reads as a space
// because the window holds spaces in place of zero bytes.
constexpr unsigned char kEncodingUtf16 = 0x01;

// The six Latin-1 letters a decoded value may hold besides printable ASCII.
bool isKeptByte(unsigned char c)
{
    if (c >= 32 && c <= 126)
        return true;
    switch (c) {
    case 0xC4: case 0xD6: case 0xDC: case 0xE4: case 0xF6: case 0xFC:
        return true;
    default:
        return false;
    }
}

// The byte at a 1-based window position, nothing outside the window.
std::optional<unsigned char> byteAt(const QByteArray &window, qsizetype position)
{
    if (position < 1 || position > window.size())
        return std::nullopt;
    return static_cast<unsigned char>(window.at(position - 1));
}

} // namespace

void setupId3Tags(TId3Tags &entries)
{
    for (std::size_t i = 0; i < id3TagCount; ++i) {
        // A scan sets up the same entries for every file: ids already in
        // place are kept rather than made again.
        const QLatin1StringView id(id3FrameIds[i]);
        if (entries[i].id != id)
            entries[i].id = id;
        entries[i].position = 0;
        entries[i].value.clear();
    }
}

std::optional<ArtistTitle> splitArtistTitle(const QString &name)
{
    const qsizetype length = name.size();
    if (length < 4 || name.at(length - 4) != u'.')
        return std::nullopt;
    for (qsizetype i = length - 3; i < length; ++i) {
        if (name.at(i) == u'.')
            return std::nullopt;
    }
    const qsizetype dash = name.indexOf(u'-');
    if (dash < 0)
        return std::nullopt;

    qsizetype artistEnd = dash; // exclusive
    while (artistEnd > 0 && name.at(artistEnd - 1) == u' ')
        --artistEnd;
    qsizetype titleStart = dash + 1;
    while (titleStart < length && name.at(titleStart) == u' ')
        ++titleStart;
    const qsizetype titleEnd = length - 4; // the extension's dot, exclusive

    ArtistTitle result;
    result.artist = name.left(artistEnd);
    if (titleStart < titleEnd)
        result.title = name.mid(titleStart, titleEnd - titleStart);
    return result;
}

QString bareFileName(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return cut < 0 ? path : path.mid(cut + 1);
}

void tagsFromFileName(const QString &path, TId3Tags &entries)
{
    setupId3Tags(entries);
    const QString name = bareFileName(path);
    if (const auto split = splitArtistTitle(name)) {
        entries[Id3::TPE1].value = split->artist;
        entries[Id3::TIT2].value = split->title;
    } else {
        entries[Id3::TIT2].value = name;
    }
}

QByteArray cleanText(const QByteArray &window, int start, int count)
{
    QByteArray text;
    if (count <= 0)
        return text;
    const qint64 last = static_cast<qint64>(start) + count - 1;
    for (qint64 position = std::max<qint64>(start, 1);
         position <= last && position <= window.size(); ++position) {
        const auto c = static_cast<unsigned char>(window.at(position - 1));
        if (isKeptByte(c))
            text.append(static_cast<char>(c));
    }
    while (!text.isEmpty() && text.back() == kSpace)
        text.chop(1);
    return text;
}

QByteArray narrowText(const QByteArray &text)
{
    QByteArray narrow;
    narrow.reserve((text.size() + 1) / 2);
    for (qsizetype i = 0; i < text.size(); i += 2)
        narrow.append(text.at(i));
    return narrow;
}

QByteArray tagWindow(const QByteArray &firstBytes)
{
    QByteArray window = firstBytes.left(id3WindowSize);
    window.replace('\0', kSpace);
    return window;
}

void decodeTagWindow(const QByteArray &window, TId3Tags &entries)
{
    // QByteArray::indexOf sets up a search table per call, which costs far
    // more than scanning 1 KiB for a short needle.
    const std::string_view text(window.constData(), static_cast<std::size_t>(window.size()));
    if (text.find(kTagMarker) == std::string_view::npos)
        return;
    for (std::size_t i = 0; i < id3TagCount; ++i) {
        tid3tag &entry = entries[i];
        const std::string_view id(id3FrameIds[i]);
        const std::size_t hit = text.find(id);
        entry.position = hit == std::string_view::npos ? 0 : static_cast<qint32>(hit + 1);
        if (entry.position == 0)
            continue;
        const qsizetype position = entry.position;
        const auto length = static_cast<qsizetype>(id.size());
        const auto encoding = byteAt(window, position + length + 6);
        const auto sizeByte = byteAt(window, position + length + 3);
        if (!encoding || !sizeByte)
            continue;
        const int size = *sizeByte;
        const int textStart = static_cast<int>(position + length);
        if (*encoding == static_cast<unsigned char>(kSpace))
            entry.value = QString::fromLatin1(cleanText(window, textStart + 7, size - 1));
        else if (*encoding == kEncodingUtf16)
            entry.value =
                QString::fromLatin1(narrowText(cleanText(window, textStart + 9, size - 3)));
    }
}

void readTags(const QString &path, TId3Tags &entries)
{
    tagsFromFileName(path, entries);
    if (!QFileInfo(path).isFile())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray head = file.read(id3WindowSize);
    file.close();
    if (head.size() < id3WindowSize)
        return;
    decodeTagWindow(tagWindow(head), entries);
}

void readSongTags(const QString &name, const QString &archivePath, TId3Tags &entries,
                  const QString &scratchFile)
{
    if (archivePath.isEmpty()) {
        readTags(name, entries);
        return;
    }
    readTags(scratchFile, entries);
    if (entries[Id3::TIT2].value != bareFileName(scratchFile))
        return;
    const QString bare = bareFileName(name);
    if (const auto split = splitArtistTitle(bare)) {
        entries[Id3::TPE1].value = split->artist;
        entries[Id3::TIT2].value = split->title;
    } else {
        entries[Id3::TIT2].value = bare;
    }
}
