// SPDX-License-Identifier: GPL-3.0-or-later
// statx and statfs behind the walk's view of files.
#include "platform/FileStatus.h"

#include "platform/MountTable.h"
#include "platform/TemporaryFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr unsigned kEntryMask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_ATIME |
                                STATX_MTIME | STATX_CTIME | STATX_BTIME;

constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;

qint64 FileTimeOf(const struct statx_timestamp& t)
{
    return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

void FillRecord(const struct statx& st, const char* name, EntryRecord& record)
{
    record.attributes = AttributesOf(st, name[0] == '.');
    record.creationTime = FileTimeOf((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_ctime);
    record.lastAccessTime = FileTimeOf(st.stx_atime);
    record.lastWriteTime = FileTimeOf(st.stx_mtime);
    record.lastAccessExtraNs = static_cast<quint8>(st.stx_atime.tv_nsec % 100);
    record.lastWriteExtraNs = static_cast<quint8>(st.stx_mtime.tv_nsec % 100);
    record.size = st.stx_size;
}

} // namespace

int StatEntry(int dirFd, const char* name, EntryRecord& record, FileIdentity* identity)
{
    struct statx st;
    if (::statx(dirFd, name, AT_STATX_SYNC_AS_STAT, kEntryMask, &st) != 0) {
        const int error = errno;
        // A link that leads nowhere is still an entry of the folder.
        if (error != ENOENT && error != ELOOP)
            return error;
        if (::statx(dirFd, name, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, kEntryMask, &st) != 0)
            return error;
    }
    FillRecord(st, name, record);
    if (identity) {
        identity->device = (quint64(st.stx_dev_major) << 32) | st.stx_dev_minor;
        identity->inode = st.stx_ino;
    }
    return 0;
}

bool IdentityOf(int fd, FileIdentity& identity)
{
    struct statx st;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_INO, &st) != 0)
        return false;
    identity.device = (quint64(st.stx_dev_major) << 32) | st.stx_dev_minor;
    identity.inode = st.stx_ino;
    return true;
}

Credentials Credentials::ofProcess()
{
    Credentials c;
    c.uid = ::geteuid();
    c.gid = ::getegid();
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        c.groups.resize(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, c.groups.data());
        c.groups.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    return c;
}

bool Credentials::canRead(uid_t owner, gid_t group, unsigned mode) const
{
    if (uid == 0)
        return true;
    if (owner == uid)
        return mode & S_IRUSR;
    if (group == gid || std::find(groups.begin(), groups.end(), group) != groups.end())
        return mode & S_IRGRP;
    return mode & S_IROTH;
}

TargetState LookAtTarget(int dirFd, const char* name, const Credentials& credentials)
{
    TargetState state;
    if (dirFd < 0)
        return state;
    struct statx st;
    if (::statx(dirFd, name, AT_STATX_SYNC_AS_STAT,
                STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_MTIME | STATX_SIZE,
                &st) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return state;
        // Only a name that is there is a file whose times cannot be read;
        // when the folder cannot be searched nothing is known about it.
        if (::statx(dirFd, name, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, STATX_TYPE, &st) ==
            0) {
            state.kind = TargetState::File;
            state.readable = false;
        } else {
            state.lookError = error;
        }
        return state;
    }
    if ((st.stx_mode & S_IFMT) == S_IFDIR) {
        state.kind = TargetState::Folder;
        return state;
    }
    state.kind = TargetState::File;
    state.readable = credentials.canRead(st.stx_uid, st.stx_gid, st.stx_mode);
    state.readOnly = !(st.stx_mode & S_IWUSR);
    state.lastWriteTime = FileTimeOf(st.stx_mtime);
    state.size = st.stx_size;
    return state;
}

qint64 FileTimePrecision(int fd)
{
    struct statfs fs;
    if (fd < 0 || ::fstatfs(fd, &fs) != 0)
        return 1;
    if (static_cast<long>(fs.f_type) == kMsdosMagic)
        return 20000000;
    if (static_cast<long>(fs.f_type) == kExfatMagic)
        return 100000;
    return 1;
}

namespace {

// Whether the file system holding `fd` is FAT: the kernel's own driver says
// so in the file system's magic number; one through FUSE only in the mount
// table's type.
bool IsFat(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) == 0 && static_cast<long>(fs.f_type) == kMsdosMagic)
        return true;
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    const quint64 device = (quint64(major(st.st_dev)) << 32) | minor(st.st_dev);
    for (const MountedFileSystem& mount : ReadMountedFileSystems()) {
        if (mount.device == device)
            return mount.type == u"vfat" || mount.type == u"msdos" ||
                   mount.type == u"fuse.fusefat" || mount.type == u"fuse.fatfs";
    }
    return false;
}

// The step, in 100-ns units, that turns `given` into `kept`; 0 for none.
qint64 StepOf(qint64 given, qint64 kept)
{
    for (const qint64 step :
         {1LL, 10LL, 100LL, 1000LL, 10000LL, 100000LL, 1000000LL, 10000000LL, 20000000LL}) {
        if (TimeAtPrecision(given, step) == kept)
            return step;
    }
    return 0;
}

} // namespace

QByteArray TargetFileSystemText(const TargetFileSystem& fs)
{
    return QByteArray::number(fs.precision) + ' ' + (fs.caseBlind ? '1' : '0') + ' ' +
           (fs.renameStampsTime ? '1' : '0') + ' ' + (fs.fat ? '1' : '0');
}

std::optional<TargetFileSystem> ParseTargetFileSystem(const QByteArray& text)
{
    const QList<QByteArray> fields = text.split(' ');
    if (fields.size() != 4)
        return std::nullopt;
    TargetFileSystem fs;
    bool ok = false;
    fs.precision = fields[0].toLongLong(&ok);
    if (!ok || fs.precision < 1 || fs.precision > 20000000)
        return std::nullopt;
    const auto flag = [&ok](const QByteArray& field) {
        ok = ok && (field == "0" || field == "1");
        return field == "1";
    };
    fs.caseBlind = flag(fields[1]);
    fs.renameStampsTime = flag(fields[2]);
    fs.fat = flag(fields[3]);
    if (!ok)
        return std::nullopt;
    return fs;
}

TargetFileSystem GuessTargetFileSystem(int dirFd)
{
    TargetFileSystem fs;
    fs.precision = FileTimePrecision(dirFd);
    fs.fat = dirFd >= 0 && IsFat(dirFd);
    return fs;
}

int LearnTargetFileSystem(int dirFd, TargetFileSystem& fs)
{
    fs = GuessTargetFileSystem(dirFd);
    // A named file, also where unnamed ones exist: the questions are about
    // names. It has our temporary form and is locked, so a run killed here
    // leaves a leftover the next run removes.
    QByteArray name;
    const int fd = CreateTemporaryFile(dirFd, name);
    if (fd < 0)
        return errno;
    // An odd second and its last 100-ns step: whatever coarser step the file
    // system keeps, it shows. 2021 lies within every file system's range.
    constexpr qint64 kSeconds = 1622541601;
    constexpr long kNanoseconds = 999999900;
    const struct timespec times[2] = {{static_cast<time_t>(kSeconds), kNanoseconds},
                                      {static_cast<time_t>(kSeconds), kNanoseconds}};
    const qint64 given = FileTimeFromUnix(kSeconds, kNanoseconds);
    int error = 0;
    struct stat st;
    if (::futimens(fd, times) != 0 || ::fstat(fd, &st) != 0) {
        error = errno;
    } else {
        const qint64 kept = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        const qint64 step = StepOf(given, kept);
        if (step == 0)
            error = ERANGE;
        else
            fs.precision = step;
        // Our names are ASCII with a random part: in capitals they name a file
        // only where case makes no difference. (FUSE drivers may number one
        // file differently under two names, so the inode tells nothing.)
        const QByteArray capitals = name.toUpper();
        struct stat other;
        fs.caseBlind = ::fstatat(dirFd, capitals.constData(), &other, AT_SYMLINK_NOFOLLOW) == 0;
        const QByteArray renamed = TemporaryName();
        if (::renameat(dirFd, name.constData(), dirFd, renamed.constData()) == 0) {
            name = renamed;
            if (::fstatat(dirFd, name.constData(), &other, AT_SYMLINK_NOFOLLOW) == 0)
                fs.renameStampsTime =
                    FileTimeFromUnix(other.st_mtim.tv_sec, other.st_mtim.tv_nsec) != kept;
        }
    }
    ::unlinkat(dirFd, name.constData(), 0);
    ::close(fd);
    return error;
}

void RecordFromListing(unsigned char type, EntryRecord& record)
{
    record.attributes = type == DT_DIR   ? kAttrDirectory
                        : type == DT_REG ? kAttrArchive
                                         : kAttrSystem;
    record.creationTime = record.lastAccessTime = record.lastWriteTime = 0;
    record.size = 0;
}

QString SystemErrorText(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

quint32 AttributesOf(const struct statx& st, bool hiddenName)
{
    quint32 attributes = 0;
    if (S_ISDIR(st.stx_mode))
        attributes |= kAttrDirectory;
    else if (S_ISREG(st.stx_mode))
        attributes |= kAttrArchive;
    else
        attributes |= kAttrSystem;
    if (!(st.stx_mode & S_IWUSR))
        attributes |= kAttrReadOnly;
    if (hiddenName)
        attributes |= kAttrHidden;
    // Only flags the file system says it supports are trusted.
    if (st.stx_attributes_mask & st.stx_attributes & STATX_ATTR_COMPRESSED)
        attributes |= kAttrCompressed;
    if (st.stx_attributes_mask & st.stx_attributes & STATX_ATTR_ENCRYPTED)
        attributes |= kAttrEncrypted;
    return attributes;
}

} // namespace tarnwick
