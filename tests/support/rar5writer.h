#pragma once

// Builds RAR 5 archives whose members are stored uncompressed, after the
// public RAR 5 layout: the eight-byte signature, a main archive header, one
// file header (with header CRC-32 and data CRC-32) plus data per member, and
// the end-of-archive header. Names are UTF-8 with "/" between folders.

#include <QByteArray>
#include <QString>

#include <vector>

namespace testsupport {

struct Rar5Member
{
    QByteArray name;
    QByteArray data;
    bool directory = false;
};

QByteArray buildRar5(const std::vector<Rar5Member> &members);

// Writes buildRar5(...) to the path, replacing the file; false on failure.
bool writeRar5(const QString &path, const std::vector<Rar5Member> &members);

} // namespace testsupport
