#pragma once

// Media for tests: real files written by the ffmpeg tool, and hand-built
// ID3v2.3 tags for cases that need exact bytes.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace testsupport {

struct MediaTags
{
    QString title;
    QString artist;
    QString album;
};

// True when the ffmpeg tool can be started.
bool ffmpegAvailable();

// Writes a short sine tone as MP3 with an ID3v2 tag of the given version
// (3 or 4) holding the non-empty tags. ffmpeg writes ASCII text as
// ISO-8859-1 (encoding 0) and anything else as UTF-16 with byte-order mark
// (encoding 1). False, with ffmpeg's message in *error, on failure.
bool writeTaggedMp3(const QString &path, const MediaTags &tags, double seconds = 0.3,
                    int id3Version = 3, QString *error = nullptr);

// Writes a short sine tone with the non-empty tags, output naming ffmpeg's
// codec and format options for the file.
bool writeTaggedMedia(const QString &path, const MediaTags &tags, const QStringList &output,
                      double seconds = 0.3, QString *error = nullptr);

// Writes a short sine tone as a WAV file (no tag).
bool writeWav(const QString &path, double seconds = 0.3, QString *error = nullptr);

// Writes a mono 16-bit WAV file at 44100 Hz holding a sine of `frequency` Hz
// and peak `amplitude` (1.0 = full scale).
bool writeTone(const QString &path, double seconds, double frequency, double amplitude,
               QString *error = nullptr);

// One ID3v2.3 frame: the id, the payload size big-endian, two zero flag bytes
// and the payload (for text frames: the encoding byte, then the text).
QByteArray id3v23Frame(const QByteArray &id, const QByteArray &payload);

// An encoding-0 text frame: encoding byte 0, then the Latin-1 bytes.
QByteArray id3Latin1TextFrame(const QByteArray &id, const QByteArray &latin1);

// An encoding-1 text frame: byte 1, the byte-order mark FF FE, the text in
// little-endian UTF-16 and a two-byte terminator.
QByteArray id3Utf16TextFrame(const QByteArray &id, const QString &text);

// An ID3v2.3 tag: the ten-byte header (size as a synchsafe integer) and the
// frames, padded with zero bytes to at least minimumSize bytes in total.
QByteArray id3v23Tag(const std::vector<QByteArray> &frames, int minimumSize = 0);

// Writes bytes to a file, replacing it; false on failure.
bool writeBytes(const QString &path, const QByteArray &bytes);

} // namespace testsupport
