#pragma once

// Serving a music file to TagLib from bytes already read. A scan reads each
// file's head once; TagLib gets that head from memory and reaches the rest
// of the file only when a format needs it (a tag at the end, a chunk list),
// with a budget on what it may read from there, so that a tag claiming
// gigabytes costs a bounded read. The format is picked from the head's
// magic bytes, then from the file's extension, never by trying every class.

#include <taglib/id3v2framefactory.h>
#include <taglib/tfile.h>
#include <taglib/tiostream.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <memory>

// A read-only TagLib stream over a file's head (the bytes from offset 0),
// followed by the rest of the open file fd when there is one (-1: the head
// is all that can be read). length() is the whole file's size (a fileSize
// of -1 is asked of fd when first needed); reads past
// the head take at most readBudget bytes from the file in total, and reads
// that would need more come back short, as from a truncated file.
class TTagStream : public TagLib::IOStream
{
public:
    static constexpr long long defaultReadBudget = 16LL << 20;

    TTagStream(QByteArrayView head, int fd, long long fileSize, long long readBudget = defaultReadBudget);
    // The same over a head TagLib holds already: reads within it share its
    // bytes instead of copying them.
    TTagStream(const TagLib::ByteVector &head, int fd, long long fileSize, long long readBudget = defaultReadBudget);

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector &) override {}
    void insert(const TagLib::ByteVector &, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return static_cast<long>(position_); }
    long length() override;
    void truncate(long) override {}

    // Bytes read from the file beyond the head so far.
    long long bytesReadBeyondHead() const { return readBeyondHead_; }

private:
    const TagLib::ByteVector head_;
    const long long headSize_;
    int fd_;
    long long size_;
    long long knownSize();
    long long budget_;
    long long position_ = 0;
    long long readBeyondHead_ = 0;
};

// A TagLib file of no format: lets the tag classes that take a file
// (ID3v2, APE, ID3v1) read a tag at a known offset of a stream.
class TBareTagFile : public TagLib::File
{
public:
    explicit TBareTagFile(TagLib::IOStream *stream) : TagLib::File(stream) {}
    TagLib::Tag *tag() const override { return nullptr; }
    TagLib::AudioProperties *audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

// The frame factory of a listing: artist, title and album frames are
// built, every other frame is kept unparsed, which spares a tag full of
// frames most of its cost. Shared and never changed.
TagLib::ID3v2::FrameFactory *songTextFrameFactory();

// The kinds of file told apart by their first bytes.
enum class TTagFormat {
    Unknown, Id3v2Ahead, Flac, OggVorbis, OggOpus, OggFlac, OggSpeex, Mp4, Asf, Wav, Aiff,
    WavPack, MonkeysAudio, TrueAudio, Musepack
};

// What the head's magic bytes say; Unknown when they say nothing.
TTagFormat formatOfHead(QByteArrayView head);

// The TagLib file class for the stream: by the head's magic, else by the
// extension (lower case, with its dot), else MPEG, reading ID3v2 tags with
// songTextFrameFactory. Never null; the stream
// must outlive the file. readProperties as TagLib's own flag: false reads
// the tags only.
std::unique_ptr<TagLib::File> openTagFile(TagLib::IOStream &stream, QByteArrayView head, QStringView extension,
                                          bool readProperties = false);

// How many leading bytes of a file hold its tags, as far as the bytes seen
// tell: the ID3v2 tag's size from its header; every FLAC metadata block;
// the Ogg pages up to the end of the comment packet; an MP4's atoms up to
// the end of "moov". A result beyond the head means: read that far and ask
// again. Other files, and ones whose tags lie elsewhere, give the head's
// own size.
long long tagHeadLength(QByteArrayView head);

// TagLib reads the size of an ID3v2.3 extended header as v2.4 gives it,
// counting the size field itself, while v2.3 counts only the 6 or 10 bytes
// after it. A head with such a header comes back with the size written the
// way TagLib reads it; any other head gives an empty array.
QByteArray headForTagLib(QByteArrayView head);
