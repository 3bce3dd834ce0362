#include "mediafixtures.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace testsupport {
namespace {

using namespace Qt::StringLiterals;

const QString kFfmpeg = u"ffmpeg"_s;
constexpr int kFfmpegTimeoutMs = 60000;

bool runFfmpeg(const QStringList &arguments, QString *error)
{
    QProcess process;
    process.start(kFfmpeg, QStringList{u"-nostdin"_s, u"-hide_banner"_s, u"-loglevel"_s,
                                       u"error"_s, u"-y"_s} + arguments);
    if (!process.waitForStarted() || !process.waitForFinished(kFfmpegTimeoutMs)) {
        if (error)
            *error = process.errorString();
        return false;
    }
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok && error)
        *error = QString::fromLocal8Bit(process.readAllStandardError());
    return ok;
}

QStringList sineInput(double seconds)
{
    return {u"-f"_s, u"lavfi"_s, u"-i"_s,
            u"sine=frequency=440:sample_rate=22050:duration="_s + QString::number(seconds)};
}

void putBigEndian32(QByteArray &out, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((v >> shift) & 0xFF));
}

} // namespace

bool ffmpegAvailable()
{
    QProcess process;
    process.start(kFfmpeg, {u"-version"_s});
    return process.waitForStarted() && process.waitForFinished(kFfmpegTimeoutMs)
           && process.exitCode() == 0;
}

bool writeTaggedMedia(const QString &path, const MediaTags &tags, const QStringList &output, double seconds,
                      QString *error)
{
    QStringList arguments = sineInput(seconds);
    const auto addTag = [&arguments](const QString &key, const QString &value) {
        if (!value.isEmpty())
            arguments << u"-metadata"_s << key + u'=' + value;
    };
    addTag(u"title"_s, tags.title);
    addTag(u"artist"_s, tags.artist);
    addTag(u"album"_s, tags.album);
    arguments << output << path;
    return runFfmpeg(arguments, error);
}

bool writeTaggedMp3(const QString &path, const MediaTags &tags, double seconds, int id3Version,
                    QString *error)
{
    return writeTaggedMedia(path, tags,
                            {u"-c:a"_s, u"libmp3lame"_s, u"-b:a"_s, u"32k"_s, u"-id3v2_version"_s,
                             QString::number(id3Version), u"-f"_s, u"mp3"_s},
                            seconds, error);
}

bool writeWav(const QString &path, double seconds, QString *error)
{
    return runFfmpeg(sineInput(seconds) + QStringList{u"-f"_s, u"wav"_s, path}, error);
}

bool writeTone(const QString &path, double seconds, double frequency, double amplitude, QString *error)
{
    const QString source = u"aevalsrc="_s + QString::number(amplitude, 'g', 10) + u"*sin(2*PI*"_s
                           + QString::number(frequency, 'g', 10) + u"*t):s=44100:d="_s + QString::number(seconds);
    return runFfmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, source, u"-c:a"_s, u"pcm_s16le"_s, u"-f"_s, u"wav"_s, path},
                     error);
}

QByteArray id3v23Frame(const QByteArray &id, const QByteArray &payload)
{
    QByteArray frame = id;
    putBigEndian32(frame, static_cast<quint32>(payload.size()));
    frame.append(2, '\0');
    frame.append(payload);
    return frame;
}

QByteArray id3Latin1TextFrame(const QByteArray &id, const QByteArray &latin1)
{
    return id3v23Frame(id, QByteArray(1, '\0') + latin1);
}

QByteArray id3Utf16TextFrame(const QByteArray &id, const QString &text)
{
    QByteArray payload("\x01\xFF\xFE", 3);
    for (const QChar c : text) {
        payload.append(static_cast<char>(c.unicode() & 0xFF));
        payload.append(static_cast<char>(c.unicode() >> 8));
    }
    payload.append(2, '\0');
    return id3v23Frame(id, payload);
}

QByteArray id3v23Tag(const std::vector<QByteArray> &frames, int minimumSize)
{
    QByteArray body;
    for (const QByteArray &frame : frames)
        body.append(frame);
    constexpr int headerSize = 10;
    if (body.size() + headerSize < minimumSize)
        body.append(minimumSize - headerSize - body.size(), '\0');
    QByteArray tag("ID3\x03\x00\x00", 6);
    const auto size = static_cast<quint32>(body.size());
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.append(static_cast<char>((size >> shift) & 0x7F));
    return tag + body;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace testsupport
