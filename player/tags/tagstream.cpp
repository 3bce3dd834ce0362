#include "tagstream.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <sys/stat.h>
#include <string_view>
#include <unistd.h>

namespace {

using std::string_view_literals::operator""sv;

constexpr long long kId3HeaderSize = 10;
constexpr unsigned char kId3FooterFlag = 0x10;
constexpr unsigned char kId3ExtendedHeaderFlag = 0x40;
constexpr long long kFlacBlockHeaderSize = 4;
constexpr unsigned char kFlacLastBlock = 0x80;
constexpr long long kOggPageHeaderSize = 27;
constexpr int kOggSegmentCountAt = 26;
// The identification packet and the comment packet.
constexpr int kOggTagPackets = 2;
constexpr unsigned char kOggLacingEnd = 255;
constexpr long long kMp4AtomHeaderSize = 8;
constexpr long long kMp4LargeAtomHeaderSize = 16;
constexpr long long kAsfSizeAt = 16;
constexpr long long kAsfHeaderMinimum = 24;
constexpr std::string_view kAsfGuid = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;

unsigned char byteAt(QByteArrayView bytes, long long at)
{
    return static_cast<unsigned char>(bytes.at(static_cast<qsizetype>(at)));
}

bool hasAt(QByteArrayView bytes, long long at, std::string_view text)
{
    const auto size = static_cast<long long>(text.size());
    return at >= 0 && at + size <= bytes.size()
           && std::string_view(bytes.data() + at, text.size()) == text;
}

unsigned long long bigEndian(QByteArrayView bytes, long long at, int count)
{
    unsigned long long value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | byteAt(bytes, at + i);
    return value;
}

unsigned long long littleEndian(QByteArrayView bytes, long long at, int count)
{
    unsigned long long value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | byteAt(bytes, at + i);
    return value;
}

// The codec of an Ogg stream from the first packet on its first page.
TTagFormat oggFormat(QByteArrayView head)
{
    if (head.size() <= kOggSegmentCountAt)
        return TTagFormat::Unknown;
    const long long packet = kOggPageHeaderSize + byteAt(head, kOggSegmentCountAt);
    if (hasAt(head, packet, "\x01vorbis"sv))
        return TTagFormat::OggVorbis;
    if (hasAt(head, packet, "OpusHead"sv))
        return TTagFormat::OggOpus;
    if (hasAt(head, packet, "\x7F" "FLAC"sv))
        return TTagFormat::OggFlac;
    if (hasAt(head, packet, "Speex   "sv))
        return TTagFormat::OggSpeex;
    return TTagFormat::Unknown;
}

TTagFormat formatOfExtension(QStringView extension)
{
    struct Entry
    {
        QStringView extension;
        TTagFormat format;
    };
    static constexpr Entry kByExtension[] = {
        {u".flac", TTagFormat::Flac},      {u".ogg", TTagFormat::OggVorbis},   {u".oga", TTagFormat::OggVorbis},
        {u".opus", TTagFormat::OggOpus},   {u".spx", TTagFormat::OggSpeex},    {u".m4a", TTagFormat::Mp4},
        {u".m4b", TTagFormat::Mp4},        {u".mp4", TTagFormat::Mp4},         {u".wma", TTagFormat::Asf},
        {u".asf", TTagFormat::Asf},        {u".wav", TTagFormat::Wav},         {u".aif", TTagFormat::Aiff},
        {u".aiff", TTagFormat::Aiff},      {u".wv", TTagFormat::WavPack},      {u".ape", TTagFormat::MonkeysAudio},
        {u".tta", TTagFormat::TrueAudio},  {u".mpc", TTagFormat::Musepack},
    };
    for (const Entry &entry : kByExtension) {
        if (entry.extension == extension)
            return entry.format;
    }
    return TTagFormat::Unknown;
}

long long id3v2Length(QByteArrayView head)
{
    if (head.size() < kId3HeaderSize)
        return kId3HeaderSize;
    long long size = 0;
    for (int i = 6; i < 10; ++i)
        size = size << 7 | (byteAt(head, i) & 0x7F);
    const bool footer = (byteAt(head, 5) & kId3FooterFlag) != 0 && byteAt(head, 3) >= 4;
    return kId3HeaderSize + size + (footer ? kId3HeaderSize : 0);
}

long long flacLength(QByteArrayView head)
{
    long long at = 4; // "fLaC"
    for (;;) {
        if (at + kFlacBlockHeaderSize > head.size())
            return at + kFlacBlockHeaderSize;
        const unsigned char type = byteAt(head, at);
        at += kFlacBlockHeaderSize + static_cast<long long>(bigEndian(head, at + 1, 3));
        if (type & kFlacLastBlock)
            return at;
    }
}

long long oggLength(QByteArrayView head)
{
    long long at = 0;
    int packets = 0;
    for (;;) {
        if (at + kOggPageHeaderSize > head.size())
            return at + kOggPageHeaderSize;
        if (!hasAt(head, at, "OggS"sv))
            return head.size();
        const int segments = byteAt(head, at + kOggSegmentCountAt);
        const long long table = at + kOggPageHeaderSize;
        if (table + segments > head.size())
            return table + segments;
        long long data = 0;
        for (int s = 0; s < segments; ++s) {
            const unsigned char lacing = byteAt(head, table + s);
            data += lacing;
            if (lacing < kOggLacingEnd)
                ++packets;
        }
        at = table + segments + data;
        if (packets >= kOggTagPackets)
            return at;
    }
}

long long mp4Length(QByteArrayView head)
{
    long long at = 0;
    for (;;) {
        if (at + kMp4AtomHeaderSize > head.size())
            return at + kMp4AtomHeaderSize;
        long long size = static_cast<long long>(bigEndian(head, at, 4));
        if (size == 1) {
            if (at + kMp4LargeAtomHeaderSize > head.size())
                return at + kMp4LargeAtomHeaderSize;
            size = static_cast<long long>(bigEndian(head, at + kMp4AtomHeaderSize, 8));
        }
        // An atom running to the end, a broken size, or the audio ahead of
        // the tags: nothing a head can hold.
        if (size < kMp4AtomHeaderSize || hasAt(head, at + 4, "mdat"sv) || size > (1LL << 40))
            return head.size();
        if (hasAt(head, at + 4, "moov"sv))
            return at + size;
        at += size;
    }
}

// Builds the ID3v2 frames a listing shows in full and leaves every other
// one as TagLib's unknown frame: its bytes are kept, but no text, picture
// or list in it is parsed.
// TagLib keeps the frame header's class for frames and their factory; a
// factory of our own names it through a frame class.
struct FrameNames : TagLib::ID3v2::Frame
{
    using Header = TagLib::ID3v2::Frame::Header;
};

class SongTextFrameFactory : public TagLib::ID3v2::FrameFactory
{
protected:
    bool updateFrame(FrameNames::Header *header) const override
    {
        // The base turns the three-letter ids of version 2.2 into today's
        // first. From 2.3 on these three ids are today's already, and the
        // base's long list of renamed and dropped frames holds none of them.
        if (header->version() < 3 && !FrameFactory::updateFrame(header))
            return false;
        const TagLib::ByteVector id = header->frameID();
        return id == "TPE1" || id == "TIT2" || id == "TALB";
    }
};

} // namespace

TagLib::ID3v2::FrameFactory *songTextFrameFactory()
{
    // Never changed once made, like TagLib's own instance().
    static SongTextFrameFactory factory;
    return &factory;
}

TTagStream::TTagStream(QByteArrayView head, int fd, long long fileSize, long long readBudget)
    : TTagStream(TagLib::ByteVector(head.data(), static_cast<unsigned int>(head.size())), fd, fileSize, readBudget)
{
}

TTagStream::TTagStream(const TagLib::ByteVector &head, int fd, long long fileSize, long long readBudget)
    : head_(head), headSize_(head.size()), fd_(fd),
      size_(fileSize < 0 && fd >= 0 ? -1 : std::max<long long>(fileSize, headSize_)), budget_(readBudget)
{
}

long long TTagStream::knownSize()
{
    if (size_ < 0) {
        struct stat info {};
        size_ = fstat(fd_, &info) == 0 ? std::max<long long>(info.st_size, headSize_) : headSize_;
    }
    return size_;
}

long TTagStream::length()
{
    return static_cast<long>(knownSize());
}

TagLib::FileName TTagStream::name() const
{
    return "";
}

TagLib::ByteVector TTagStream::readBlock(unsigned long length)
{
    TagLib::ByteVector out;
    // An unknown size needs no status call: a read past the end comes back
    // short all the same.
    const long long end = size_ >= 0 ? size_ : std::numeric_limits<long long>::max();
    if (position_ >= end || length == 0)
        return out;
    long long want = std::min<long long>(static_cast<long long>(length), end - position_);
    if (position_ + want <= headSize_) {
        // Most reads lie in the head: TagLib's own vectors share its bytes.
        out = head_.mid(static_cast<unsigned int>(position_), static_cast<unsigned int>(want));
        position_ += want;
        return out;
    }
    if (position_ < headSize_) {
        const long long fromHead = std::min<long long>(want, headSize_ - position_);
        out.setData(head_.data() + position_, static_cast<unsigned int>(fromHead));
        position_ += fromHead;
        want -= fromHead;
    }
    want = std::min(want, budget_ - readBeyondHead_);
    if (want <= 0 || fd_ < 0)
        return out;
    const unsigned int kept = out.size();
    out.resize(kept + static_cast<unsigned int>(want));
    long long got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd_, out.data() + kept + got, static_cast<size_t>(want - got),
                                  static_cast<off_t>(position_ + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    out.resize(kept + static_cast<unsigned int>(got));
    position_ += got;
    readBeyondHead_ += got;
    return out;
}

void TTagStream::seek(long offset, Position p)
{
    const long long base = p == Beginning ? 0 : p == Current ? position_ : knownSize();
    position_ = std::max<long long>(0, base + offset);
}

TTagFormat formatOfHead(QByteArrayView head)
{
    if (hasAt(head, 0, "ID3"sv))
        return TTagFormat::Id3v2Ahead;
    if (hasAt(head, 0, "fLaC"sv))
        return TTagFormat::Flac;
    if (hasAt(head, 0, "OggS"sv))
        return oggFormat(head);
    if (hasAt(head, 4, "ftyp"sv))
        return TTagFormat::Mp4;
    if (hasAt(head, 0, kAsfGuid))
        return TTagFormat::Asf;
    if (hasAt(head, 0, "RIFF"sv) && hasAt(head, 8, "WAVE"sv))
        return TTagFormat::Wav;
    if (hasAt(head, 0, "FORM"sv) && (hasAt(head, 8, "AIFF"sv) || hasAt(head, 8, "AIFC"sv)))
        return TTagFormat::Aiff;
    if (hasAt(head, 0, "wvpk"sv))
        return TTagFormat::WavPack;
    if (hasAt(head, 0, "MAC "sv))
        return TTagFormat::MonkeysAudio;
    if (hasAt(head, 0, "TTA1"sv))
        return TTagFormat::TrueAudio;
    if (hasAt(head, 0, "MPCK"sv) || hasAt(head, 0, "MP+"sv))
        return TTagFormat::Musepack;
    return TTagFormat::Unknown;
}

std::unique_ptr<TagLib::File> openTagFile(TagLib::IOStream &stream, QByteArrayView head, QStringView extension,
                                          bool readProperties)
{
    TTagFormat format = formatOfHead(head);
    // An ID3v2 tag may stand ahead of several formats; the name tells which.
    if (format == TTagFormat::Id3v2Ahead || format == TTagFormat::Unknown)
        format = formatOfExtension(extension);
    TagLib::ID3v2::FrameFactory *const frames = songTextFrameFactory();
    switch (format) {
    case TTagFormat::Flac:
        return std::make_unique<TagLib::FLAC::File>(&stream, frames, readProperties);
    case TTagFormat::OggVorbis:
        return std::make_unique<TagLib::Ogg::Vorbis::File>(&stream, readProperties);
    case TTagFormat::OggOpus:
        return std::make_unique<TagLib::Ogg::Opus::File>(&stream, readProperties);
    case TTagFormat::OggFlac:
        return std::make_unique<TagLib::Ogg::FLAC::File>(&stream, readProperties);
    case TTagFormat::OggSpeex:
        return std::make_unique<TagLib::Ogg::Speex::File>(&stream, readProperties);
    case TTagFormat::Mp4:
        return std::make_unique<TagLib::MP4::File>(&stream, readProperties);
    case TTagFormat::Asf:
        return std::make_unique<TagLib::ASF::File>(&stream, readProperties);
    case TTagFormat::Wav:
        return std::make_unique<TagLib::RIFF::WAV::File>(&stream, readProperties);
    case TTagFormat::Aiff:
        return std::make_unique<TagLib::RIFF::AIFF::File>(&stream, readProperties);
    case TTagFormat::WavPack:
        return std::make_unique<TagLib::WavPack::File>(&stream, readProperties);
    case TTagFormat::MonkeysAudio:
        return std::make_unique<TagLib::APE::File>(&stream, readProperties);
    case TTagFormat::TrueAudio:
        return std::make_unique<TagLib::TrueAudio::File>(&stream, frames, readProperties);
    case TTagFormat::Musepack:
        return std::make_unique<TagLib::MPC::File>(&stream, readProperties);
    case TTagFormat::Unknown:
    case TTagFormat::Id3v2Ahead:
        break;
    }
    return std::make_unique<TagLib::MPEG::File>(&stream, frames, readProperties);
}

long long tagHeadLength(QByteArrayView head)
{
    switch (formatOfHead(head)) {
    case TTagFormat::Id3v2Ahead:
        return id3v2Length(head);
    case TTagFormat::Flac:
        return flacLength(head);
    case TTagFormat::OggVorbis:
    case TTagFormat::OggOpus:
    case TTagFormat::OggFlac:
    case TTagFormat::OggSpeex:
        return oggLength(head);
    case TTagFormat::Mp4:
        return mp4Length(head);
    case TTagFormat::Asf:
        if (head.size() >= kAsfHeaderMinimum)
            return std::max<long long>(kAsfHeaderMinimum,
                                       static_cast<long long>(littleEndian(head, kAsfSizeAt, 8) & ((1ULL << 40) - 1)));
        return kAsfHeaderMinimum;
    default:
        return head.size();
    }
}

QByteArray headForTagLib(QByteArrayView head)
{
    if (formatOfHead(head) != TTagFormat::Id3v2Ahead || head.size() < kId3HeaderSize + 4 || byteAt(head, 3) != 3
        || (byteAt(head, 5) & kId3ExtendedHeaderFlag) == 0)
        return {};
    const unsigned long long size = bigEndian(head, kId3HeaderSize, 4);
    if (size != 6 && size != 10) // the two sizes there are; anything else is left as it is
        return {};
    QByteArray mended = head.toByteArray();
    const unsigned long long counted = size + 4;
    for (int i = 0; i < 4; ++i)
        mended[static_cast<qsizetype>(kId3HeaderSize + i)] = static_cast<char>((counted >> (7 * (3 - i))) & 0x7F);
    return mended;
}
