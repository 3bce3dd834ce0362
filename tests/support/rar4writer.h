#pragma once

// Builds RAR 4 archives whose members are stored uncompressed (method 0x30),
// after the public RAR 4 block layout: marker block, archive header, one file
// header (with its header CRC and the data CRC) plus data per member, and an
// end-of-archive block. Enough for readers of the format to list and extract
// the members; no compression, no real encryption.

#include <QByteArray>
#include <QString>

#include <vector>

namespace testsupport {

struct Rar4Member
{
    // Stored byte for byte as the member's name. RAR writers separate folders
    // with "\"; readers usually report them with "/".
    QByteArray name;
    QByteArray data;
    // Sets the header's password flag and writes eight salt bytes. The data
    // is stored as given: nothing is really encrypted.
    bool encrypted = false;
    // A folder entry: no data, the folder attribute and flag set.
    bool directory = false;
};

struct Rar4Options
{
    // Marks the archive (and every member after the first) solid.
    bool solid = false;
    // Appends the end-of-archive block.
    bool endBlock = true;
};

// The archive's bytes.
QByteArray buildRar4(const std::vector<Rar4Member> &members, const Rar4Options &options = {});

// Writes buildRar4(...) to the path, replacing the file; false on failure.
bool writeRar4(const QString &path, const std::vector<Rar4Member> &members,
               const Rar4Options &options = {});

// The CRC-32 (IEEE, as in zlib) that RAR uses for headers and data.
quint32 crc32(const QByteArray &bytes);

} // namespace testsupport
