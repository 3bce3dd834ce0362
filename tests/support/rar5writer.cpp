#include "rar5writer.h"

#include "mediafixtures.h"
#include "rar4writer.h"

namespace testsupport {
namespace {

constexpr char kSignature[] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};

enum HeaderType : quint64 { MainHeader = 1, FileHeader = 2, EndHeader = 5 };

constexpr quint64 kHeaderHasData = 0x0002;
constexpr quint64 kFileIsDirectory = 0x0001;
constexpr quint64 kFileHasTime = 0x0002;
constexpr quint64 kFileHasCrc = 0x0004;
constexpr quint64 kHostUnix = 1;
// Compression information: version 0, method 0 (store), smallest dictionary.
constexpr quint64 kStored = 0;
constexpr quint64 kUnixFileMode = 0100644;
constexpr quint64 kUnixDirMode = 040755;
constexpr quint32 kUnixTime = 1704110400; // 2024-01-01 12:00:00 UTC

// Variable-length integer: seven bits per byte, lowest first, high bit set
// on every byte but the last.
void putVint(QByteArray &out, quint64 v)
{
    do {
        quint8 byte = v & 0x7F;
        v >>= 7;
        if (v)
            byte |= 0x80;
        out.append(static_cast<char>(byte));
    } while (v);
}

void put32(QByteArray &out, quint32 v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((v >> shift) & 0xFF));
}

// A header: CRC-32 of everything after it, the size of what follows the
// size field, then type, flags and the body (which already holds any data
// size field).
QByteArray header(quint64 type, quint64 flags, const QByteArray &body)
{
    QByteArray rest;
    putVint(rest, type);
    putVint(rest, flags);
    rest.append(body);
    QByteArray sized;
    putVint(sized, static_cast<quint64>(rest.size()));
    sized.append(rest);
    QByteArray out;
    put32(out, crc32(sized));
    return out + sized;
}

QByteArray fileHeader(const Rar5Member &member)
{
    const QByteArray data = member.directory ? QByteArray() : member.data;
    QByteArray body;
    putVint(body, static_cast<quint64>(data.size())); // data area size
    putVint(body, (member.directory ? kFileIsDirectory : 0) | kFileHasTime
                      | (member.directory ? 0 : kFileHasCrc));
    putVint(body, static_cast<quint64>(data.size())); // unpacked size
    putVint(body, member.directory ? kUnixDirMode : kUnixFileMode);
    put32(body, kUnixTime);
    if (!member.directory)
        put32(body, crc32(data));
    putVint(body, kStored);
    putVint(body, kHostUnix);
    putVint(body, static_cast<quint64>(member.name.size()));
    body.append(member.name);
    return header(FileHeader, kHeaderHasData, body) + data;
}

} // namespace

QByteArray buildRar5(const std::vector<Rar5Member> &members)
{
    QByteArray out(kSignature, sizeof kSignature);
    QByteArray mainBody;
    putVint(mainBody, 0); // archive flags
    out.append(header(MainHeader, 0, mainBody));
    for (const Rar5Member &member : members)
        out.append(fileHeader(member));
    QByteArray endBody;
    putVint(endBody, 0); // last volume
    out.append(header(EndHeader, 0, endBody));
    return out;
}

bool writeRar5(const QString &path, const std::vector<Rar5Member> &members)
{
    return writeBytes(path, buildRar5(members));
}

} // namespace testsupport
