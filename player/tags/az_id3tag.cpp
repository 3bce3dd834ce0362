#include "az_id3tag.h"

#include "tagscratch.h"
#include "tagstream.h"

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long kId3v1Size = 128;
constexpr long kApeFooterSize = 32;

bool isLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// Appends a tag text's character as the song table keeps texts: line
// breaks become spaces, other control characters are dropped; previous is
// the character before it in the source.
void appendKept(QString &kept, char16_t c, char16_t previous)
{
    if (isLineBreak(c)) {
        if (!(c == u'\n' && previous == u'\r')) // CR LF is one break
            kept.append(u' ');
    } else if (!isControl(c)) {
        kept.append(QChar(c));
    }
}

// A TagLib text as the song table keeps it, trimmed at both ends. TagLib keeps its texts as UTF-16
// units in wide characters; a wide character beyond them is a code point.
QString fromTagLib(const TagLib::String &text)
{
    QString kept;
    if (text.isEmpty())
        return kept;
    // Most texts hold only characters that are kept as they are.
    const auto plain = [](wchar_t c) {
        const auto code = static_cast<char32_t>(c);
        return code <= 0xFFFF && !isControl(static_cast<char16_t>(code)) && !isLineBreak(static_cast<char16_t>(code));
    };
    if (std::all_of(text.begin(), text.end(), plain)) {
        kept.resize(static_cast<qsizetype>(text.size()));
        std::transform(text.begin(), text.end(), kept.data(), [](wchar_t c) { return QChar(static_cast<char16_t>(c)); });
        return std::move(kept).trimmed();
    }
    kept.reserve(static_cast<qsizetype>(text.size()));
    char16_t previous = 0;
    for (const wchar_t c : text) {
        const auto code = static_cast<char32_t>(c);
        if (code <= 0xFFFF) {
            appendKept(kept, static_cast<char16_t>(code), previous);
            previous = static_cast<char16_t>(code);
        } else if (code <= 0x10FFFF) {
            kept.append(QChar(QChar::highSurrogate(code)));
            kept.append(QChar(QChar::lowSurrogate(code)));
            previous = 0;
        }
    }
    return kept.trimmed();
}

// Artist, title and album as the tags of one file give them, each from the
// first tag that holds it.
struct TagTexts
{
    QString artist;
    QString title;
    QString album;

    void take(const TagLib::Tag &tag)
    {
        if (artist.isEmpty())
            artist = fromTagLib(tag.artist());
        if (title.isEmpty())
            title = fromTagLib(tag.title());
        if (album.isEmpty())
            album = fromTagLib(tag.album());
    }

    // The same texts of an ID3v2 tag, each the first frame of its kind,
    // looked up with keys made once: TagLib's own accessors make two per
    // call, which costs a scan more than reading the frames.
    void take(const TagLib::ID3v2::Tag &tag)
    {
        static const TagLib::ByteVector kArtist("TPE1"), kTitle("TIT2"), kAlbum("TALB");
        const TagLib::ID3v2::FrameListMap &frames = tag.frameListMap();
        const auto first = [&frames](const TagLib::ByteVector &id, QString &text) {
            if (!text.isEmpty())
                return;
            const auto found = frames.find(id);
            if (found == frames.end() || found->second.isEmpty())
                return;
            // A frame of one text is that text; toString would copy it.
            const TagLib::ID3v2::Frame *frame = found->second.front();
            if (const auto *texts = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame *>(frame)) {
                const TagLib::StringList fields = texts->fieldList();
                if (fields.size() == 1) {
                    text = fromTagLib(fields.front());
                    return;
                }
            }
            text = fromTagLib(frame->toString());
        };
        first(kArtist, artist);
        first(kTitle, title);
        first(kAlbum, album);
    }
};

bool startsWithAt(TagLib::File &file, long offset, std::string_view magic)
{
    file.seek(offset);
    const TagLib::ByteVector bytes = file.readBlock(static_cast<unsigned long>(magic.size()));
    return std::string_view(bytes.data(), bytes.size()) == magic;
}

// The tags an MPEG stream (or any stream without a class of its own) keeps
// at its end: APE, then ID3v1.
void readEndTags(TagLib::File &file, TagTexts &texts)
{
    const long length = file.length();
    long id3v1 = -1;
    if (length >= kId3v1Size && startsWithAt(file, length - kId3v1Size, "TAG"))
        id3v1 = length - kId3v1Size;
    const long apeFooter = (id3v1 >= 0 ? id3v1 : length) - kApeFooterSize;
    if (apeFooter >= 0 && startsWithAt(file, apeFooter, "APETAGEX")) {
        const TagLib::APE::Tag ape(&file, apeFooter);
        texts.take(ape);
    }
    if (id3v1 >= 0) {
        const TagLib::ID3v1::Tag tag(&file, id3v1);
        texts.take(tag);
    }
}

// The extension of the path's file name, dot included, its letters A to Z
// lowered.
QString extensionOf(const QString &path)
{
    const QString name = bareFileName(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

// Formats that TagLib reads through a class of their own; everything else
// is read as an MPEG stream: an ID3v2 tag at the start, APE and ID3v1 at
// the end.
bool hasOwnClass(TTagFormat format, const QString &extension)
{
    if (format != TTagFormat::Unknown && format != TTagFormat::Id3v2Ahead)
        return true;
    for (const char16_t *own : {u".flac", u".ogg", u".oga", u".opus", u".spx", u".m4a", u".m4b", u".mp4",
                                u".wma", u".asf", u".wav", u".aif", u".aiff", u".wv", u".ape", u".tta",
                                u".mpc"}) {
        if (extension == QStringView(own))
            return true;
    }
    return false;
}

TagTexts readTexts(const QString &path, TTagSource source)
{
    TagTexts texts;
    const QByteArray mended = headForTagLib(source.head);
    if (!mended.isEmpty())
        source.head = mended;
    TagLib::ByteVector fresh;
    TagLib::ByteVector &vector = source.room ? *source.room : fresh;
    vector.resize(static_cast<unsigned int>(source.head.size()));
    if (!source.head.isEmpty())
        std::memcpy(vector.data(), source.head.data(), static_cast<std::size_t>(source.head.size()));
    // Everything TagLib makes from here on is gone when this returns.
    const TTagScratchScope scratch;
    TTagStream stream(vector, source.fd, source.size);
    const TTagFormat format = formatOfHead(source.head);
    const QString extension = extensionOf(path);
    if (hasOwnClass(format, extension)) {
        const std::unique_ptr<TagLib::File> file = openTagFile(stream, source.head, extension);
        if (!file->isValid())
            return texts;
        // A WAV file's own tag is its ID3 chunk; its INFO list comes next.
        if (const auto *wav = dynamic_cast<const TagLib::RIFF::WAV::File *>(file.get())) {
            if (wav->hasID3v2Tag())
                texts.take(*wav->ID3v2Tag());
            if (wav->hasInfoTag())
                texts.take(*wav->InfoTag());
        } else if (file->tag()) {
            texts.take(*file->tag());
        }
        return texts;
    }
    // The ID3v2 tag in the head is enough when it names the song; the end
    // of the file is read only when it does not.
    TBareTagFile file(&stream);
    if (format == TTagFormat::Id3v2Ahead) {
        const TagLib::ID3v2::Tag tag(&file, 0, songTextFrameFactory());
        texts.take(tag);
    }
    if (texts.title.isEmpty())
        readEndTags(file, texts);
    return texts;
}

struct FdCloser
{
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

void setupId3Tags(TId3Tags &entries)
{
    for (std::size_t i = 0; i < id3TagCount; ++i) {
        // A scan sets up the same entries for every file: ids already in
        // place are kept rather than made again.
        const QLatin1StringView id(id3FrameIds[i]);
        if (entries[i].id != id)
            entries[i].id = id;
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

void readTagsFrom(const QString &path, const TTagSource &source, TId3Tags &entries)
{
    tagsFromFileName(path, entries);
    const TagTexts texts = readTexts(path, source);
    if (!texts.artist.isEmpty())
        entries[Id3::TPE1].value = texts.artist;
    if (!texts.title.isEmpty())
        entries[Id3::TIT2].value = texts.title;
    if (!texts.album.isEmpty())
        entries[Id3::TALB].value = texts.album;
}

bool readFileHead(int fd, QByteArray &head)
{
    // A read costs by the bytes it copies, so the first one takes a block
    // that holds the headers telling how far the tags at the start reach,
    // and the next ones take only that.
    constexpr qsizetype kFirstRead = 1024;
    qsizetype wanted = kFirstRead;
    head.resize(0);
    for (;;) {
        const qsizetype got = head.size();
        head.resize(wanted);
        qsizetype at = got;
        while (at < head.size()) {
            const ssize_t n = ::read(fd, head.data() + at, static_cast<size_t>(head.size() - at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            at += n;
        }
        const bool whole = at < head.size();
        head.resize(at);
        if (whole)
            return true;
        wanted = static_cast<qsizetype>(std::min<long long>(tagHeadLength(head), tagHeadSize));
        if (wanted <= head.size())
            return false;
    }
}

void readTags(const QString &path, TId3Tags &entries)
{
    // Non-blocking, so that a FIFO of that name cannot hang the reader.
    const FdCloser file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat info {};
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        tagsFromFileName(path, entries);
        return;
    }
    QByteArray head;
    readFileHead(file.fd, head);
    readTagsFrom(path, {head, file.fd, static_cast<qint64>(info.st_size)}, entries);
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
