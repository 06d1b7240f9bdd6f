// SPDX-License-Identifier: GPL-3.0-or-later
// What the walk learns about a file with one statx relative to an open
// folder descriptor: the EntryRecord of a source entry, the state of a
// target path, the identity of a folder, and the time precision of the file
// system a folder lies on. Also the system's own text for an errno value.
#pragma once

#include "platform/EntryRecord.h"

#include <QString>

#include <optional>

#include <sys/types.h>
#include <vector>

struct statx;

namespace tarnwick {

// Device and inode: tells whether two paths lead to the same folder.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Fills `record` (name left as it is) for `name` in the folder `dirFd`,
// following a symbolic link; a link that leads nowhere is described as
// itself. Returns 0 or the errno value.
int StatEntry(int dirFd, const char* name, EntryRecord& record, FileIdentity* identity = nullptr);

// A record for an entry that cannot be looked at: only what the folder
// listing itself tells (its d_type).
void RecordFromListing(unsigned char type, EntryRecord& record);

// The attribute bits of a statx result; `hiddenName` when the name begins with '.'.
quint32 AttributesOf(const struct statx& st, bool hiddenName);

// The identity of an open descriptor or of a path; false when unknown.
bool IdentityOf(int fd, FileIdentity& identity);

// The user a target's readability is judged for. Taken from the process by
// default; tests may describe another user.
struct Credentials
{
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    static Credentials ofProcess();
    // Whether a file of this owner, group and mode could be opened for
    // reading, judged from its permission bits alone.
    bool canRead(uid_t owner, gid_t group, unsigned mode) const;
};

// A look at the path where a copy would go.
struct TargetState
{
    enum Kind
    {
        Absent,
        Folder,
        File
    };
    Kind kind = Absent;
    // Not 0 when the path could not be looked at, so whether anything is
    // there is unknown (a folder that cannot be searched): the errno value.
    int lookError = 0;
    bool readable = true;
    bool readOnly = false; // the owner's write bit is clear
    qint64 lastWriteTime = 0;
    quint64 size = 0;
};

// One statx of `name` in the folder `dirFd` (a symbolic link followed). A
// `dirFd` below 0 means the folder could not be opened: the path is absent.
// A name that is there but cannot be followed (a link into a folder closed
// to us) is an unreadable file; a name that cannot even be looked up sets
// lookError.
TargetState LookAtTarget(int dirFd, const char* name, const Credentials& credentials);

// A guess, from the file system's kind alone, at the step in 100-ns units at
// which the file system holding the open folder `fd` stores last-write
// times: 20000000 on FAT (2 s), 100000 on exFAT (10 ms), 1 elsewhere. For
// when LearnTargetFileSystem cannot make its file.
qint64 FileTimePrecision(int fd);

// What a run must know of the file system it writes to, learnt once per
// file system from what it does with a short-lived file of ours.
struct TargetFileSystem
{
    // The step, in 100-ns units, at which it keeps last-write times: 1 for
    // nanosecond times, 10000000 for exFAT through FUSE or an ext4 made with
    // 128-byte inodes, 20000000 for FAT.
    qint64 precision = 1;
    // It does not tell names apart by case (FAT, exFAT): "Readme.md" and
    // "README.md" are one file there.
    bool caseBlind = false;
    // A renamed file gets the current time as its last-write time (fusefat),
    // so a copy renamed into place must be stamped again.
    bool renameStampsTime = false;
    // FAT, whose files end below 4 GiB.
    bool fat = false;
};

// The largest file a FAT file system holds: 4 GiB less one byte.
inline constexpr quint64 kFatFileSizeLimit = (quint64(1) << 32) - 1;

// The facts as one line of text, and back; nothing for a line that is not
// such a text.
QByteArray TargetFileSystemText(const TargetFileSystem& fs);
std::optional<TargetFileSystem> ParseTargetFileSystem(const QByteArray& text);

// What the file system's kind alone tells of the one holding the open folder
// `dirFd`, without writing anything: FileTimePrecision's guess, FAT.
TargetFileSystem GuessTargetFileSystem(int dirFd);

// Learns it for the file system holding the open folder `dirFd` by making a
// short-lived file there: the time it keeps of a time given, whether the
// name in capitals finds the same file, whether a rename keeps the time.
// Returns 0, or the errno value when no file can be made there (a folder
// closed to writing, a full drive); `fs` then holds what the file system's
// kind alone tells (FileTimePrecision's guess, FAT).
int LearnTargetFileSystem(int dirFd, TargetFileSystem& fs);

// A time taken down to a multiple of `precision`.
inline qint64 TimeAtPrecision(qint64 time, qint64 precision)
{
    if (precision <= 1)
        return time;
    qint64 rest = time % precision;
    if (rest < 0)
        rest += precision;
    return time - rest;
}

// The system's own reason for an errno value, e.g. "Permission denied".
QString SystemErrorText(int error);

} // namespace tarnwick
