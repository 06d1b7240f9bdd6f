// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/VersionsFolder.h"

#include "engine/TargetFolders.h"
#include "platform/DisplayPath.h"
#include "platform/FolderReader.h"
#include "platform/TemporaryFiles.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// The first counter not taken by a version of the same file and second.
int FirstFreeCounter(const std::vector<KeptVersion>& versions, quint64 when)
{
    int counter = 1;
    for (const KeptVersion& version : versions) {
        if (version.when == when)
            counter = std::max(counter, version.counter + 1);
    }
    return counter;
}

} // namespace

VersionsFolder::Place::~Place()
{
    // The root's versions folder is the run's, shared by every source.
    if (parent && fd >= 0)
        ::close(fd);
}

VersionsFolder::~VersionsFolder()
{
    if (m_rootFd >= 0)
        ::close(m_rootFd);
}

void VersionsFolder::set(int keep, const QString& folder)
{
    m_keep = std::max(keep, 0);
    m_folder = QDir::cleanPath(folder);
    m_pathError = m_keep > 0 ? PathBytes(m_folder, m_path) : 0;
}

void VersionsFolder::beginTarget(const QString& targetDir, int rootFd)
{
    m_targetRootFd = rootFd;
    if (m_keep <= 0 || m_pathError != 0)
        return;
    // Where the versions folder lies inside the target it is reached from
    // the target root, folder by folder, as the target folders are.
    const QString root = QDir::cleanPath(targetDir);
    const QString prefix = root.endsWith(u'/') ? root : root + u'/';
    m_inTarget =
        m_folder.startsWith(prefix) ? QFile::encodeName(m_folder.mid(prefix.size())) : QByteArray();
    // Known from the start, a versions folder inside a source is never
    // walked; one made during the run is known from then on.
    if (!m_haveRoot) {
        UniqueFd versions(::open(m_path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        m_haveRoot = versions.get() >= 0 && IdentityOf(versions.get(), m_root);
    }
}

bool VersionsFolder::holds(const FileIdentity& identity, int targetFd, const QByteArray& relative,
                           const char* name, bool& itself) const
{
    itself = false;
    if (m_keep <= 0)
        return false;
    if (m_haveRoot && identity.inode != 0 && identity == m_root) {
        itself = true;
        return true;
    }
    if (!m_inTarget.isEmpty()) {
        QByteArray below = relative;
        while (below.startsWith('/'))
            below.remove(0, 1);
        if (!below.isEmpty())
            below += '/';
        if (below + name == m_inTarget)
            return true;
    }
    // The same folder by another path (the target root given through a link).
    FileIdentity counterpart;
    return m_haveRoot && targetFd >= 0 && IdentityAt(targetFd, name, counterpart) &&
           counterpart == m_root;
}

int VersionsFolder::openRoot(mode_t mode, int& error)
{
    if (m_rootFd >= 0)
        return m_rootFd;
    error = m_pathError;
    if (error != 0)
        return -1;
    int fd = -1;
    if (!m_inTarget.isEmpty()) {
        if (m_targetRootFd < 0) {
            error = ENOENT;
            return -1;
        }
        int dir = m_targetRootFd;
        for (const QByteArray& part : m_inTarget.split('/')) {
            const int made = m_dryRun || ::mkdirat(dir, part.constData(), mode) == 0 ? 0 : errno;
            const int next = OpenTargetFolder(dir, part.constData());
            const int openError = errno;
            const bool link = next < 0 && IsLinkAt(dir, part.constData());
            if (dir != m_targetRootFd)
                ::close(dir);
            if (next < 0) {
                // In a dry run a missing folder is one the real run makes.
                error = link                              ? ELOOP
                        : m_dryRun && openError == ENOENT ? 0
                        : made != 0 && made != EEXIST     ? made
                                                          : openError;
                return -1;
            }
            dir = next;
        }
        fd = dir;
    } else {
        // Only the folder itself is made, never the folders above it: a
        // missing parent is a drive that is not there, and filling its mount
        // folder would fill the disk below it.
        const int made = m_dryRun || ::mkdir(m_path.constData(), mode) == 0 ? 0 : errno;
        fd = ::open(m_path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            const int openError = errno;
            if (m_dryRun && openError == ENOENT) {
                const qsizetype slash = m_path.lastIndexOf('/');
                const QByteArray above = slash <= 0 ? QByteArray("/") : m_path.left(slash);
                struct stat st;
                error = ::stat(above.constData(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOENT;
            } else {
                error = made != 0 && made != EEXIST ? made : openError;
            }
            return -1;
        }
    }
    m_rootFd = fd;
    m_haveRoot = IdentityOf(fd, m_root);
    error = 0;
    return fd;
}

void VersionsFolder::open(Place& place)
{
    if (place.looked)
        return;
    place.looked = true;
    // A version holds what the target file held: it is made no easier to
    // reach than there. Each versions folder gets the permission bits of
    // the target folder it mirrors, so no one reads a version whom that
    // folder kept out; its owner may also always write it, or no version
    // could be put in a read-only folder's counterpart. The umask may take
    // more; it never adds.
    struct stat st;
    const mode_t mode =
        (place.targetFd >= 0 && ::fstat(place.targetFd, &st) == 0 ? st.st_mode & 0777 : 0) |
        S_IRWXU;
    if (!place.parent) {
        place.fd = openRoot(mode, place.error);
        return;
    }
    Place& parent = *place.parent;
    open(parent);
    if (parent.fd < 0) {
        place.error = parent.error;
        return;
    }
    const char* name = place.name.constData();
    const int made = m_dryRun || ::mkdirat(parent.fd, name, mode) == 0 ? 0 : errno;
    place.fd = OpenTargetFolder(parent.fd, name);
    if (place.fd >= 0)
        return;
    const int openError = errno;
    place.error = IsLinkAt(parent.fd, name)         ? ELOOP
                  : m_dryRun && openError == ENOENT ? 0
                  : made != 0 && made != EEXIST     ? made
                                                    : openError;
}

void VersionsFolder::list(Place& place)
{
    if (place.listed)
        return;
    place.listed = true;
    if (place.fd < 0)
        return;
    // A copy into the versions folder from another file system that a kill
    // cut off left its temporary file here.
    if (!m_dryRun)
        RemoveStaleTemporaryFiles(place.fd, m_clock);
    FolderReader reader;
    if (reader.open(place.fd, ".") != 0)
        return;
    const char* entry;
    std::size_t length;
    unsigned char type;
    VersionOfName version;
    // Only what this program kept counts as a version: a file of the
    // user's with such a name in a folder the user named stays.
    const QList<QByteArray> listed = ReadKeptIndex(place.fd);
    const QSet<QByteArray> ours(listed.cbegin(), listed.cend());
    qsizetype present = 0;
    while (reader.next(entry, length, type)) {
        if (type == DT_DIR)
            continue;
        const QByteArray name(entry, qsizetype(length));
        if (ours.contains(name) && ParseVersionName(name, version)) {
            place.versions[version.original].push_back({name, version.when, version.counter});
            ++present;
        }
    }
    // Names of versions removed since pile up in the index: written anew
    // once they are the greater part.
    if (!m_dryRun && listed.size() > 2 * present + 16) {
        QList<QByteArray> names;
        for (const std::vector<KeptVersion>& kept : std::as_const(place.versions)) {
            for (const KeptVersion& v : kept)
                names.append(v.name);
        }
        RewriteKeptIndex(place.fd, names);
    }
}

QByteArray VersionsFolder::pathOf(const Place& place) const
{
    if (!place.parent)
        return m_path;
    QByteArray path = pathOf(*place.parent);
    AppendName(path, place.name.constData(), std::size_t(place.name.size()));
    return path;
}

VersionsFolder::Naming VersionsFolder::namingFor(Place& place, const char* name)
{
    list(place);
    Naming naming;
    naming.fileName = QByteArray(name);
    naming.at = m_clock.now();
    naming.versions = &place.versions[naming.fileName];
    VersionOfName stamp;
    ParseVersionName(VersionName(naming.fileName, naming.at), stamp);
    naming.when = stamp.when;
    return naming;
}

int VersionsFolder::keep(Place& place, const char* name, bool& kept, QByteArray& keptPath)
{
    kept = false;
    open(place);
    if (place.fd < 0)
        return place.error;
    const Naming naming = namingFor(place, name);
    std::vector<KeptVersion>& versions = *naming.versions;
    const QByteArray& fileName = naming.fileName;
    const QDateTime& at = naming.at;
    const quint64 when = naming.when;
    QByteArray keptName;
    bool moved = false;
    int error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        error = KeepVersion(
            place.targetFd, name, place.fd,
            [&](int counter) { return VersionName(fileName, at, counter); },
            FirstFreeCounter(versions, when), keptName, moved);
        if (error != ENOENT)
            break;
        // The file went meanwhile (a second run of the task kept it first):
        // there is nothing left to keep, and the new file takes the name.
        // Should that run's new file be there already, that is the one kept.
        struct stat st;
        if (::fstatat(place.targetFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
            return 0;
    }
    if (error != 0)
        return error;
    kept = true;
    // Listed so that it may be removed once older than the count kept; one
    // that cannot be listed is kept for good, which loses nothing.
    AddToKeptIndex(place.fd, keptName);
    note(place, versions, keptName, keptPath);
    return 0;
}

int VersionsFolder::nameDry(Place& place, const char* name, QByteArray& keptPath)
{
    open(place);
    if (place.fd < 0 && place.error != 0)
        return place.error;
    const Naming naming = namingFor(place, name);
    std::vector<KeptVersion>& versions = *naming.versions;
    // The name the real run would take: free in the folder, and not taken
    // by an earlier file of this run (a second source's file of that name).
    QByteArray keptName;
    for (int counter = FirstFreeCounter(versions, naming.when);; ++counter) {
        keptName = VersionName(naming.fileName, naming.at, counter);
        struct stat st;
        if (place.fd < 0 ||
            ::fstatat(place.fd, keptName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            break;
    }
    note(place, versions, keptName, keptPath);
    return 0;
}

void VersionsFolder::note(const Place& place, std::vector<KeptVersion>& versions,
                          const QByteArray& keptName, QByteArray& keptPath) const
{
    VersionOfName stamp;
    ParseVersionName(keptName, stamp);
    versions.push_back({keptName, stamp.when, stamp.counter});
    keptPath = pathOf(place);
    AppendName(keptPath, keptName.constData(), std::size_t(keptName.size()));
}

std::vector<std::pair<QByteArray, int>> VersionsFolder::removeOld(Place& place,
                                                                  const QByteArray& name)
{
    std::vector<std::pair<QByteArray, int>> removed;
    const auto found = place.versions.find(name);
    if (found == place.versions.end() || found->size() <= std::size_t(m_keep))
        return removed;
    std::vector<KeptVersion>& versions = *found;
    std::sort(versions.begin(), versions.end(), KeptBefore);
    const std::size_t extra = versions.size() - std::size_t(m_keep);
    for (std::size_t i = 0; i < extra; ++i) {
        QByteArray path = pathOf(place);
        AppendName(path, versions[i].name.constData(), std::size_t(versions[i].name.size()));
        if (::unlinkat(place.fd, versions[i].name.constData(), 0) == 0)
            removed.emplace_back(path, 0);
        else if (errno != ENOENT)
            removed.emplace_back(path, errno);
    }
    versions.erase(versions.begin(), versions.begin() + std::ptrdiff_t(extra));
    return removed;
}

} // namespace tarnwick
