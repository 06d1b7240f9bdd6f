// Attribute bits from statx: the owner's write bit, the leading dot, the file
// type, and the compressed and encrypted flags the file system reports.
#include "platform/FileAttributes.h"

#include "platform/EntryRecord.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tarnwick {

std::optional<quint32> ReadFileAttributes(const QByteArray& path)
{
    if (path.isEmpty())
        return std::nullopt;
    struct statx st = {};
    // No AT_SYMLINK_NOFOLLOW: a link reports what it leads to.
    if (statx(AT_FDCWD, path.constData(), AT_STATX_SYNC_AS_STAT, STATX_TYPE | STATX_MODE, &st) != 0)
        return std::nullopt;

    quint32 bits = 0;
    if (!(st.stx_mode & S_IWUSR))
        bits |= kAttrReadOnly;

    // A path may end in '/' for a folder; the name is the last non-empty part.
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const qsizetype start = path.lastIndexOf('/', end - 1) + 1;
    if (start < end && path[start] == '.')
        bits |= kAttrHidden;

    if (S_ISDIR(st.stx_mode))
        bits |= kAttrDirectory;
    else if (S_ISREG(st.stx_mode))
        bits |= kAttrArchive;
    else
        bits |= kAttrSystem;

    // Only flags the file system says it supports are trusted.
    if (st.stx_attributes_mask & st.stx_attributes & STATX_ATTR_COMPRESSED)
        bits |= kAttrCompressed;
    if (st.stx_attributes_mask & st.stx_attributes & STATX_ATTR_ENCRYPTED)
        bits |= kAttrEncrypted;
    return bits;
}

} // namespace tarnwick
