#include "rar4writer.h"

#include <QFile>

#include <array>

namespace testsupport {
namespace {

constexpr char kMarker[] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};

enum BlockType : quint8 { MainHead = 0x73, FileHead = 0x74, EndArcHead = 0x7B };

// Archive header flags.
constexpr quint16 kMainSolid = 0x0008;
// File header flags.
constexpr quint16 kFilePassword = 0x0004;
constexpr quint16 kFileSolid = 0x0010;
constexpr quint16 kFileDirectory = 0x00E0;
constexpr quint16 kFileSalt = 0x0400;
constexpr quint16 kLongBlock = 0x8000;
// End block flag: skip-if-unknown, as every writer sets it.
constexpr quint16 kSkipIfUnknown = 0x4000;

constexpr quint8 kHostUnix = 3;
constexpr quint8 kUnpackVersion = 29;
constexpr quint8 kMethodStore = 0x30;
// 2024-01-01 12:00:00 as a DOS date and time.
constexpr quint32 kDosTime = (44u << 25) | (1u << 21) | (1u << 16) | (12u << 11);
constexpr quint32 kUnixFileMode = 0100644;
constexpr quint32 kUnixDirMode = 040755;

void put16(QByteArray &out, quint16 v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void put32(QByteArray &out, quint32 v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((v >> shift) & 0xFF));
}

// A block: CRC16 (low half of the CRC-32 over everything after the CRC
// field), then type, flags, size and the type-specific body.
QByteArray block(quint8 type, quint16 flags, const QByteArray &body)
{
    QByteArray tail;
    tail.append(static_cast<char>(type));
    put16(tail, flags);
    put16(tail, static_cast<quint16>(7 + body.size()));
    tail.append(body);
    QByteArray out;
    put16(out, static_cast<quint16>(crc32(tail) & 0xFFFF));
    out.append(tail);
    return out;
}

QByteArray fileBlock(const Rar4Member &member, bool solid)
{
    const QByteArray data = member.directory ? QByteArray() : member.data;
    quint16 flags = kLongBlock;
    if (member.encrypted)
        flags |= kFilePassword | kFileSalt;
    if (solid)
        flags |= kFileSolid;
    if (member.directory)
        flags |= kFileDirectory;

    QByteArray body;
    put32(body, static_cast<quint32>(data.size())); // packed size
    put32(body, static_cast<quint32>(data.size())); // unpacked size
    body.append(static_cast<char>(kHostUnix));
    put32(body, crc32(data));
    put32(body, kDosTime);
    body.append(static_cast<char>(kUnpackVersion));
    body.append(static_cast<char>(kMethodStore));
    put16(body, static_cast<quint16>(member.name.size()));
    put32(body, member.directory ? kUnixDirMode : kUnixFileMode);
    body.append(member.name);
    if (member.encrypted)
        body.append(QByteArray(8, '\x5A'));
    return block(FileHead, flags, body) + data;
}

} // namespace

quint32 crc32(const QByteArray &bytes)
{
    static constexpr auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : bytes)
        crc = table[(crc ^ static_cast<quint8>(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

QByteArray buildRar4(const std::vector<Rar4Member> &members, const Rar4Options &options)
{
    QByteArray out(kMarker, sizeof kMarker);
    QByteArray mainBody;
    put16(mainBody, 0);
    put32(mainBody, 0);
    out.append(block(MainHead, options.solid ? kMainSolid : 0, mainBody));
    bool first = true;
    for (const Rar4Member &member : members) {
        out.append(fileBlock(member, options.solid && !first));
        first = false;
    }
    if (options.endBlock)
        out.append(block(EndArcHead, kSkipIfUnknown, {}));
    return out;
}

bool writeRar4(const QString &path, const std::vector<Rar4Member> &members,
               const Rar4Options &options)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = buildRar4(members, options);
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace testsupport
