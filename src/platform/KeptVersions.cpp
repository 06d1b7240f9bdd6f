// SPDX-License-Identifier: GPL-3.0-or-later
// A version is made under its name in one step that fails on a taken name
// (renameat2 with RENAME_NOREPLACE, or linkat), so two runs keeping a
// version of the same file in the same second never overwrite each other's.
#include "platform/KeptVersions.h"

#include "platform/ReadToEnd.h"
#include "platform/TemporaryFiles.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// " yyyy-MM-dd HHmmss"
constexpr qsizetype kStampLength = 18;
// More versions of one file in one second than this is no real case: a
// folder that refuses every name (full of such names) must not hold a run.
constexpr int kMaxCounter = 10000;
constexpr std::size_t kCopyBufferSize = 256 * 1024;

using Fd = UniqueFd;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits of `text` from `at`, `count` of them, as a number; false when
// one is no digit.
bool Digits(const QByteArray& text, qsizetype at, int count, quint64& value)
{
    for (int i = 0; i < count; ++i) {
        const char c = text.at(at + i);
        if (!IsDigit(c))
            return false;
        value = value * 10 + quint64(c - '0');
    }
    return true;
}

// `body` is "<stem> yyyy-MM-dd HHmmss" with an optional " (n)": fills the
// version's time and counter and gives the stem's length, or -1.
qsizetype ParseBody(const QByteArray& body, VersionOfName& version)
{
    qsizetype end = body.size();
    version.counter = 1;
    if (body.endsWith(')')) {
        const qsizetype open = body.lastIndexOf(" (");
        const qsizetype digits = end - 1 - (open + 2);
        if (open < 0 || digits < 1 || digits > 5 || body.at(open + 2) == '0')
            return -1;
        quint64 counter = 0;
        if (!Digits(body, open + 2, int(digits), counter) || counter < 2)
            return -1;
        version.counter = int(counter);
        end = open;
    }
    const qsizetype stamp = end - kStampLength;
    if (stamp < 1 || body.at(stamp) != ' ' || body.at(stamp + 5) != '-' ||
        body.at(stamp + 8) != '-' || body.at(stamp + 11) != ' ')
        return -1;
    quint64 when = 0;
    if (!Digits(body, stamp + 1, 4, when) || !Digits(body, stamp + 6, 2, when) ||
        !Digits(body, stamp + 9, 2, when) || !Digits(body, stamp + 12, 6, when))
        return -1;
    version.when = when;
    return stamp;
}

// Copies all of `in` to `out`, by the kernel where it can.
int CopyAll(int in, int out)
{
    off_t inPos = 0, outPos = 0;
    for (;;) {
        const ssize_t got = ::copy_file_range(in, &inPos, out, &outPos, 1 << 30, 0);
        if (got > 0)
            continue;
        if (got == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
            errno != EBADF && errno != EPERM)
            return errno;
        break;
    }
    // Not offered between these two files: plain reads and writes from
    // where the kernel stopped.
    auto buffer = std::make_unique<char[]>(kCopyBufferSize);
    for (;;) {
        const ssize_t got = ::pread(in, buffer.get(), kCopyBufferSize, inPos);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t wrote = ::pwrite(out, buffer.get() + done, size_t(got - done), outPos);
            if (wrote < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += wrote;
            outPos += wrote;
        }
        inPos += got;
    }
}

// Gives the complete file `fromName` in `versionsFd` a version name without
// replacing anything; `fromName` is gone afterwards. Returns 0, EEXIST for a
// taken name, or the errno value.
int NameExclusively(int versionsFd, const char* fromName, const char* versionName)
{
    if (::renameat2(versionsFd, fromName, versionsFd, versionName, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    if (::linkat(versionsFd, fromName, versionsFd, versionName, 0) == 0) {
        ::unlinkat(versionsFd, fromName, 0);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
        return errno;
    // A file system with neither (FAT on an old kernel): a look first, then
    // the rename. Only another run keeping the same file in the same second
    // could slip in between.
    struct stat st;
    if (::fstatat(versionsFd, versionName, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return ::renameat(versionsFd, fromName, versionsFd, versionName) == 0 ? 0 : errno;
}

// The copy of a symbolic link held at the replaced name: a link again.
int CopyLink(int dirFd, const char* name, int versionsFd, const VersionNameFor& nameFor,
             int firstCounter, QByteArray& keptName)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    QByteArray target(qsizetype(std::max<off_t>(st.st_size, 255)) + 1, '\0');
    const ssize_t length = ::readlinkat(dirFd, name, target.data(), size_t(target.size()));
    if (length < 0)
        return errno;
    if (length >= target.size())
        return ENAMETOOLONG;
    target.truncate(length);
    for (int counter = firstCounter; counter <= kMaxCounter; ++counter) {
        keptName = nameFor(counter);
        if (::symlinkat(target.constData(), versionsFd, keptName.constData()) == 0)
            return 0;
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// The version on another file system: a complete copy, named only when
// complete.
int CopyVersion(int dirFd, const char* name, int versionsFd, const VersionNameFor& nameFor,
                int firstCounter, QByteArray& keptName)
{
    Fd in(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (in.get() < 0) {
        if (errno == ELOOP)
            return CopyLink(dirFd, name, versionsFd, nameFor, firstCounter, keptName);
        return errno;
    }
    struct stat st;
    if (::fstat(in.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return ENOTSUP;

    const mode_t mode = st.st_mode & 0777;
    QByteArray tempName;
    bool named = false;
    Fd out(::openat(versionsFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (out.get() < 0) {
        if (errno != EISDIR && errno != EOPNOTSUPP && errno != EINVAL)
            return errno;
        out.reset(CreateTemporaryFile(versionsFd, tempName));
        if (out.get() < 0)
            return errno;
        named = true;
    }
    auto fail = [&](int error) {
        if (named)
            ::unlinkat(versionsFd, tempName.constData(), 0);
        return error;
    };
    if (const int error = CopyAll(in.get(), out.get()))
        return fail(error);
    // The version keeps its owner where the run may give it (as root), so
    // that it is its owner's to read as the file was; elsewhere it is ours.
    if (::fchown(out.get(), st.st_uid, st.st_gid) != 0 && errno != EPERM)
        return fail(errno);
    if (::fchmod(out.get(), mode) != 0)
        return fail(errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out.get(), times) != 0)
        return fail(errno);

    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", out.get());
    for (int counter = firstCounter; counter <= kMaxCounter; ++counter) {
        keptName = nameFor(counter);
        const int error =
            named ? NameExclusively(versionsFd, tempName.constData(), keptName.constData())
                  : (::linkat(AT_FDCWD, procPath, versionsFd, keptName.constData(),
                              AT_SYMLINK_FOLLOW) == 0
                         ? 0
                         : errno);
        if (error == 0)
            return 0;
        if (error != EEXIST)
            return fail(error);
    }
    return fail(EEXIST);
}

} // namespace

std::pair<QByteArray, QByteArray> SplitExtension(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0)
        return {name, QByteArray()};
    return {name.left(dot), name.mid(dot)};
}

QByteArray VersionName(const QByteArray& name, const QDateTime& at, int counter)
{
    const auto [stem, extension] = SplitExtension(name);
    const QDate date = at.date();
    const QTime time = at.time();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, " %04d-%02d-%02d %02d%02d%02d", date.year(), date.month(),
                  date.day(), time.hour(), time.minute(), time.second());
    QByteArray version = stem + stamp;
    if (counter > 1)
        version += " (" + QByteArray::number(counter) + ')';
    return version + extension;
}

bool ParseVersionName(const QByteArray& name, VersionOfName& version)
{
    // Either the extension runs from the last dot, or there is none; only
    // one of the two can give back a name whose own split agrees.
    const qsizetype dot = name.lastIndexOf('.');
    for (const qsizetype extensionAt : {dot, name.size()}) {
        if (extensionAt <= 0)
            continue;
        const QByteArray body = name.left(extensionAt);
        const qsizetype stemLength = ParseBody(body, version);
        if (stemLength < 1)
            continue;
        const QByteArray stem = body.left(stemLength);
        const QByteArray extension = name.mid(extensionAt);
        if (SplitExtension(stem + extension) != std::pair{stem, extension})
            continue;
        version.original = stem + extension;
        return true;
    }
    return false;
}

bool KeptBefore(const KeptVersion& a, const KeptVersion& b)
{
    return a.when != b.when ? a.when < b.when : a.counter < b.counter;
}

int KeepVersion(int dirFd, const char* name, int versionsFd, const VersionNameFor& nameFor,
                int firstCounter, QByteArray& keptName, bool& moved)
{
    moved = false;
    for (int counter = firstCounter; counter <= kMaxCounter; ++counter) {
        keptName = nameFor(counter);
        if (::renameat2(dirFd, name, versionsFd, keptName.constData(), RENAME_NOREPLACE) == 0) {
            moved = true;
            return 0;
        }
        int error = errno;
        if (error == EEXIST)
            continue;
        if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
            // No such rename here: a hard link is as exclusive, and the old
            // name goes once the version has the file. Should that removal
            // fail, the file has both names and the copy replaces the old one.
            if (::linkat(dirFd, name, versionsFd, keptName.constData(), 0) == 0) {
                moved = ::unlinkat(dirFd, name, 0) == 0;
                return 0;
            }
            error = errno;
            if (error == EEXIST)
                continue;
            if (error != EPERM && error != EOPNOTSUPP && error != EMLINK && error != EXDEV)
                return error;
        } else if (error != EXDEV) {
            return error;
        }
        // Another file system, or one without links: the file is copied, and
        // it stays until the new content replaces it.
        return CopyVersion(dirFd, name, versionsFd, nameFor, counter, keptName);
    }
    return EEXIST;
}

QList<QByteArray> ReadKeptIndex(int versionsFd)
{
    UniqueFd fd(::openat(versionsFd, kKeptIndexName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0)
        return {};
    const QByteArray text = ReadToEnd(fd.get());
    QList<QByteArray> names;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.isEmpty())
            names.append(line);
    }
    return names;
}

int AddToKeptIndex(int versionsFd, const QByteArray& name)
{
    // Names hold no line break here: they are made from target file names
    // with a time, and a name with a line break is never listed.
    if (name.contains('\n'))
        return EINVAL;
    UniqueFd fd(::openat(versionsFd, kKeptIndexName,
                         O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        return errno;
    // One write of the whole line: an append never interleaves within it.
    const QByteArray line = name + '\n';
    const ssize_t wrote = ::write(fd.get(), line.constData(), size_t(line.size()));
    if (wrote != line.size())
        return wrote < 0 ? errno : EIO;
    return ::close(fd.release()) == 0 ? 0 : errno;
}

int RewriteKeptIndex(int versionsFd, const QList<QByteArray>& names)
{
    QByteArray text;
    for (const QByteArray& name : names)
        text += name + '\n';
    QByteArray temporary;
    UniqueFd fd(CreateTemporaryFile(versionsFd, temporary));
    if (fd.get() < 0)
        return errno;
    const ssize_t wrote = ::write(fd.get(), text.constData(), size_t(text.size()));
    int error = wrote == text.size() ? 0 : (wrote < 0 ? errno : EIO);
    if (error == 0 && ::close(fd.release()) != 0)
        error = errno;
    if (error == 0 && ::renameat(versionsFd, temporary.constData(), versionsFd, kKeptIndexName) != 0)
        error = errno;
    if (error != 0)
        ::unlinkat(versionsFd, temporary.constData(), 0);
    return error;
}

} // namespace tarnwick
