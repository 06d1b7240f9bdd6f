// SPDX-License-Identifier: GPL-3.0-or-later
// copy_file_range of the source's data extents into an O_TMPFILE, then
// linkat or rename into place.
//
// A new small file is the common case of a first run, so each step per
// file is there for a reason: the source is opened and looked at once
// (its kind, length, blocks and mode, all from one fstat); the new file is
// made nameless with the source's mode, filled, stamped with the source's
// times and linked under its name. A file with blocks for its whole length
// is copied without looking for holes; the mode is given again only where
// the folder's umask or default ACL may have taken bits; the lock is taken
// only when the file gets a temporary name.
#include "platform/FileCopier.h"

#include "platform/TemporaryFiles.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr std::size_t kChunkSize = 16 * 1024 * 1024;
constexpr std::size_t kBufferSize = 256 * 1024;

struct timespec TimespecFromFileTime(qint64 fileTime)
{
    const qint64 unix100ns = fileTime - kFileTimeEpochOffset;
    qint64 seconds = unix100ns / 10000000;
    qint64 rest = unix100ns % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>(rest * 100);
    return ts;
}

using Fd = UniqueFd;

bool WriteAllAt(int fd, const char* data, std::size_t size, off_t at)
{
    while (size > 0) {
        const ssize_t wrote = ::pwrite(fd, data, size, at);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += wrote;
        at += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

// The refusals by the kind of the source entry. A FIFO, device or socket
// is never opened: reading one could wait for ever.
// Opens a source entry for reading; 0, or why it is no regular file to
// copy. O_NONBLOCK: should the entry have become a FIFO since it was looked
// at, the open still does not wait; fstat then refuses it.
int OpenRegularSource(int sourceDirFd, const char* sourceName, Fd& in, struct stat& st)
{
    // A plain file opens at the first try; a link is followed only by its
    // owner's leave.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    in.reset(::openat(sourceDirFd, sourceName, kFlags | O_NOFOLLOW));
    const bool link = in.get() < 0 && errno == ELOOP;
    if (link)
        in.reset(::openat(sourceDirFd, sourceName, kFlags));
    if (in.get() < 0)
        return errno;
    if (::fstat(in.get(), &st) != 0)
        return errno;
    if (link) {
        if (const int refused = LinkOwnerRefusal(sourceDirFd, sourceName, in.get()))
            return refused;
    }
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return ENOTSUP;
    return 0;
}

int SourceTypeRefusal(int sourceDirFd, const char* sourceName, const EntryRecord& source)
{
    if (source.attributes & kAttrDirectory)
        return EISDIR;
    if (source.attributes & kAttrSystem) {
        struct stat st;
        if (::fstatat(sourceDirFd, sourceName, &st, 0) != 0)
            return errno; // a link that leads nowhere
        if (S_ISDIR(st.st_mode))
            return EISDIR;
        if (!S_ISREG(st.st_mode))
            return ENOTSUP;
    }
    return 0;
}

// The umask of this thread's process, from the kernel's status file (the
// umask call itself would change it for a moment, for every thread), or -1.
int ProcessUmask()
{
    const int fd = ::open("/proc/thread-self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[4096];
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return -1;
    text[got] = '\0';
    const char* field = std::strstr(text, "\nUmask:\t");
    if (!field)
        return -1;
    int mask = 0;
    const char* p = field + std::strlen("\nUmask:\t");
    for (; *p >= '0' && *p <= '7'; ++p)
        mask = mask * 8 + (*p - '0');
    return *p == '\n' ? (mask & 0777) : -1;
}

// A write refused on the target. A full drive says so in many ways:
// ENOSPC from a kernel file system, EPERM from fusefat, EIO from sshfs when
// the file is closed; where the space left is less than the file, that is
// what it was.
int WriteFailure(int error, int targetDirFd, off_t size)
{
    if (error == ENOSPC || error == EDQUOT)
        return kCopyTargetFull;
    struct statvfs fs;
    if (::fstatvfs(targetDirFd, &fs) != 0)
        return error;
    // fusefat gives no figures; there a write refused on a file of our own
    // is a full drive.
    if (fs.f_blocks == 0)
        return error == EPERM ? kCopyTargetFull : error;
    const quint64 left = quint64(fs.f_bavail) * quint64(fs.f_frsize);
    return left < quint64(size) ? kCopyTargetFull : error;
}

// Closes one descriptor of the new file, which makes a network or FUSE file
// system send what it still holds and tell of a write it could not make,
// then asks the file system itself (not the kernel's cached view) how long
// the file is. Returns 0, the errno value, or kCopyCameOutShort.
int CheckWritten(int out, off_t length)
{
    const int flushed = ::fcntl(out, F_DUPFD_CLOEXEC, 0);
    if (flushed < 0)
        return errno;
    if (::close(flushed) != 0 && errno != EINTR)
        return errno;
    struct statx st;
    if (::statx(out, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_SIZE, &st) != 0)
        return errno;
    return (st.stx_mask & STATX_SIZE) && off_t(st.stx_size) != length ? kCopyCameOutShort : 0;
}

// Whether a refused mode change means a file system without permission
// bits of its own.
bool ModesNotKept(int error)
{
    return error == EPERM || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

int LinkOwnerRefusal(int dirFd, const char* name, int reached)
{
    // The link is looked at after what it led to was opened: a link put in
    // its place meanwhile by the folder's writer is that writer's, and is
    // judged as such.
    struct stat target;
    struct stat link;
    if (::fstat(reached, &target) != 0 || ::fstatat(dirFd, name, &link, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (!S_ISLNK(link.st_mode) || link.st_uid == target.st_uid || link.st_uid == ::geteuid())
        return 0;
    return kCopyLinkNotOwned;
}

int FileCopier::nameFailure(int error, bool nothingThere)
{
    // A file system that refuses a name it cannot hold answers in its own
    // way: exFAT ENOENT, fusefat EPERM, others EINVAL or EILSEQ. Where a file
    // had the name, the name is fine and the errno value tells.
    const bool refused = error == EINVAL || error == EILSEQ || error == ENAMETOOLONG ||
                         error == EPERM || error == ENOENT;
    return nothingThere && refused ? kCopyNameRefused : error;
}

int FileCopier::creationMask(int dirFd)
{
    // A default ACL replaces the umask for files made in the folder.
    if (::fgetxattr(dirFd, "system.posix_acl_default", nullptr, 0) >= 0 ||
        (errno != ENODATA && errno != ENOTSUP))
        return -1;
    return ProcessUmask();
}

FileCopier::FileCopier(ChunkGate gate) : m_gate(std::move(gate)) {}

FileCopier::~FileCopier() = default;

int FileCopier::copyContent(int in, int out, off_t size, bool sparse, off_t& length)
{
    // Only the source's data is copied, at its own offsets: the holes of a
    // sparse file stay holes in the copy, as cp makes them. Where the file
    // system cannot tell data from holes the whole file is data. A file
    // with blocks for its whole length has no holes to look for; it is
    // copied up to the length it had when opened (one that grows meanwhile
    // is newer than its copy and is copied again next time).
    bool holesKnown = sparse;
    bool kernelCopy = true;
    bool first = true;
    // A big file goes in steps of kAdvanceStep, each told of; a small one
    // in one chunk, as before.
    const bool tell = m_advance && static_cast<quint64>(size) >= kAdvanceStep;
    const std::size_t chunk = tell ? static_cast<std::size_t>(kAdvanceStep) : kChunkSize;
    off_t pos = 0;
    for (;;) {
        off_t dataEnd = sparse ? -1 : size; // below 0: up to the end of the file
        if (holesKnown) {
            const off_t data = ::lseek(in, pos, SEEK_DATA);
            if (data < 0) {
                if (errno == ENXIO)
                    break; // nothing but a hole up to the end
                holesKnown = false;
            } else {
                pos = data;
                const off_t hole = ::lseek(in, data, SEEK_HOLE);
                if (hole > data)
                    dataEnd = hole;
            }
        }
        bool atEnd = false;
        while (!atEnd && (dataEnd < 0 || pos < dataEnd)) {
            if (!first) {
                if (tell)
                    m_advance(static_cast<quint64>(pos));
                if (m_gate)
                    m_gate();
            }
            first = false;
            std::size_t want = chunk;
            if (dataEnd >= 0)
                want = std::min(want, static_cast<std::size_t>(dataEnd - pos));
            if (kernelCopy) {
                off_t inPos = pos, outPos = pos;
                const ssize_t got = ::copy_file_range(in, &inPos, out, &outPos, want, 0);
                if (got > 0) {
                    pos += got;
                    continue;
                }
                if (got == 0) {
                    atEnd = true;
                    continue;
                }
                if (errno == EINTR)
                    continue;
                if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                    errno != EBADF && errno != EPERM)
                    return errno;
                // Not offered between these two files: carry on from where the
                // kernel stopped with plain reads and writes.
                kernelCopy = false;
            }
            if (!m_buffer)
                m_buffer = std::make_unique<char[]>(kBufferSize);
            // One chunk's worth of buffers between two passes of the gate.
            std::size_t moved = 0;
            while (moved < want) {
                const ssize_t got =
                    ::pread(in, m_buffer.get(), std::min(kBufferSize, want - moved), pos);
                if (got < 0) {
                    if (errno == EINTR)
                        continue;
                    return errno;
                }
                if (got == 0) {
                    atEnd = true;
                    break;
                }
                if (!WriteAllAt(out, m_buffer.get(), static_cast<std::size_t>(got), pos))
                    return errno;
                pos += got;
                moved += static_cast<std::size_t>(got);
            }
        }
        if (atEnd || !holesKnown)
            break;
    }
    // A hole at the end has no data to write: the length says where it
    // ends. Asked again only when the data stopped short of the length.
    length = pos;
    if (pos < size) {
        struct stat st;
        if (::fstat(in, &st) != 0)
            return errno;
        if (st.st_size > pos) {
            if (::ftruncate(out, st.st_size) != 0)
                return errno;
            length = st.st_size;
        }
    }
    return 0;
}

int FileCopier::targetRefusal(const TargetState& target)
{
    return target.kind == TargetState::Folder ? EISDIR : 0;
}

int FileCopier::sourceRefusal(int sourceDirFd, const char* sourceName, const EntryRecord& source)
{
    if (const int refused = SourceTypeRefusal(sourceDirFd, sourceName, source))
        return refused;
    Fd in;
    struct stat st;
    return OpenRegularSource(sourceDirFd, sourceName, in, st);
}

int FileCopier::copy(int sourceDirFd, const char* sourceName, const EntryRecord& source,
                     int targetDirFd, const char* targetName, const TargetState* target,
                     const CopyPlace& place, const BeforeReplace& beforeReplace)
{
    if (targetDirFd < 0)
        return ENOENT;

    TargetState looked;
    if (!target) {
        looked = LookAtTarget(targetDirFd, targetName, Credentials());
        target = &looked;
    }
    if (const int refused = targetRefusal(*target))
        return refused;
    if (const int refused = SourceTypeRefusal(sourceDirFd, sourceName, source))
        return refused;

    Fd in;
    struct stat st;
    if (const int refused = OpenRegularSource(sourceDirFd, sourceName, in, st))
        return refused;
    if (const int refused = sizeRefusal(quint64(st.st_size), place))
        return refused;

    // The new content lives in a file without a name until it is complete,
    // so no one else can open it while it is written; it is made with the
    // source's permission bits (or fewer, where the umask takes some).
    const mode_t wanted = st.st_mode & 0777;
    bool temporary = false; // the new file has a temporary name
    QByteArray tempName;
    Fd out(::openat(targetDirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, wanted));
    if (out.get() < 0) {
        if (errno != EISDIR && errno != EOPNOTSUPP && errno != EINVAL)
            return errno;
        // File systems without O_TMPFILE (FUSE, NFS, SMB): a named
        // temporary, removed on failure. Made with the source's bits as the
        // nameless file is: the finished file has them anyway, and on a
        // network target a mode change afterwards is one more round trip.
        out.reset(CreateTemporaryFile(targetDirFd, tempName, wanted));
        if (out.get() < 0)
            return WriteFailure(errno, targetDirFd, st.st_size);
        temporary = true;
    }

    auto fail = [&](int error) {
        if (temporary)
            ::unlinkat(targetDirFd, tempName.constData(), 0);
        return error;
    };

    const bool sparse = st.st_blocks * 512 < st.st_size;
    off_t length = 0;
    if (const int error = copyContent(in.get(), out.get(), st.st_size, sparse, length))
        return fail(WriteFailure(error, targetDirFd, st.st_size));
    if (const int error = CheckWritten(out.get(), length))
        return fail(WriteFailure(error, targetDirFd, st.st_size));
    // The bits are given again only when the umask or a default ACL may
    // have taken some. The file is our own, so a refusal can only mean a
    // file system that keeps no bits of its own.
    const bool modeKept = place.creationMask >= 0 && (wanted & place.creationMask) == 0;
    if (!modeKept && ::fchmod(out.get(), wanted) != 0 && !ModesNotKept(errno))
        return fail(errno);
    // The time read before the content: a source written during the copy
    // then looks newer than its copy and is copied again next time.
    struct timespec times[2] = {TimespecFromFileTime(source.lastAccessTime),
                                TimespecFromFileTime(source.lastWriteTime)};
    times[0].tv_nsec += source.lastAccessExtraNs;
    times[1].tv_nsec += source.lastWriteExtraNs;
    if (::futimens(out.get(), times) != 0)
        return fail(errno);
    const bool targetAbsent = target->kind == TargetState::Absent;
    // A file system that stamps what it renames gets the time again, by
    // the name it now has.
    auto named = [&](int error) {
        if (error != 0)
            return fail(nameFailure(error, targetAbsent));
        if (!place.renameStampsTime)
            return 0;
        // Closed first: such a driver may stamp the file again as it closes.
        out.reset();
        return ::utimensat(targetDirFd, targetName, times, AT_SYMLINK_NOFOLLOW) != 0 ? errno : 0;
    };

    // Only now is the old file moved away: until here a failure left it in
    // place. Once moved, its name is usually free for a plain link.
    bool nameFree = target->kind == TargetState::Absent;
    if (beforeReplace) {
        if (const int error = beforeReplace())
            return fail(error);
        nameFree = true;
    }

    if (temporary) {
        return named(::renameat(targetDirFd, tempName.constData(), targetDirFd, targetName) != 0
                         ? errno
                         : 0);
    }

    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", out.get());
    if (nameFree) {
        if (::linkat(AT_FDCWD, procPath, targetDirFd, targetName, AT_SYMLINK_FOLLOW) == 0)
            return 0;
        if (errno != EEXIST)
            return nameFailure(errno, targetAbsent);
        // Something took the name meanwhile, or the old file was copied
        // rather than moved: replace it as any existing file.
    }
    // linkat cannot replace: give the finished file a temporary name, then
    // rename it over the target in one step. Locked first, so that a
    // clean-up after a killed run never takes it for a leftover while it
    // has that name.
    ::flock(out.get(), LOCK_EX);
    for (int attempt = 0;; ++attempt) {
        tempName = TemporaryName();
        if (::linkat(AT_FDCWD, procPath, targetDirFd, tempName.constData(), AT_SYMLINK_FOLLOW) == 0)
            break;
        if (errno != EEXIST || attempt >= 100)
            return errno;
    }
    temporary = true;
    return named(::renameat(targetDirFd, tempName.constData(), targetDirFd, targetName) != 0 ? errno
                                                                                              : 0);
}

} // namespace tarnwick
