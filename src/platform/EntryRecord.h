// SPDX-License-Identifier: GPL-3.0-or-later
// What a folder enumeration yields for one entry, in the units the mirror
// and the exclude rules compare: attribute bits and times as on Windows.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace tarnwick {

// Attribute bits of a file or folder.
enum FileAttribute : quint32
{
    kAttrReadOnly = 0x1,     // the owner's write bit is clear
    kAttrHidden = 0x2,       // the name begins with '.'
    kAttrSystem = 0x4,       // neither a regular file nor a folder
    kAttrDirectory = 0x10,   // a folder
    kAttrArchive = 0x20,     // a regular file
    kAttrCompressed = 0x800, // STATX_ATTR_COMPRESSED
    kAttrEncrypted = 0x4000, // STATX_ATTR_ENCRYPTED
};

// Times are 100-nanosecond counts since 1601-01-01 UTC.
struct EntryRecord
{
    QByteArray name; // the entry's own name, bytes as on disk
    quint32 attributes = 0;
    qint64 creationTime = 0;   // btime where the file system has it, else ctime
    qint64 lastAccessTime = 0; // atime
    qint64 lastWriteTime = 0;  // mtime
    quint64 size = 0;
    // The nanoseconds beyond the 100-ns counts, so a copy can carry the
    // source's times exactly (other tools compare to the nanosecond).
    quint8 lastAccessExtraNs = 0;
    quint8 lastWriteExtraNs = 0;

    bool isDirectory() const { return attributes & kAttrDirectory; }
};

// 100-ns units between 1601-01-01 and 1970-01-01.
inline constexpr qint64 kFileTimeEpochOffset = 116444736000000000LL;

inline qint64 FileTimeFromUnix(qint64 seconds, qint64 nanoseconds)
{
    return seconds * 10000000LL + nanoseconds / 100 + kFileTimeEpochOffset;
}

} // namespace tarnwick
