// SPDX-License-Identifier: GPL-3.0-or-later
// Recursive folder watching over inotify. The kernel watches single folders,
// so a tree is the set of watches on its folders, kept up to date as folders
// are created, moved in, moved out and deleted. The same folder reached from
// two trees is one watch (inotify hands out one descriptor per folder) that
// remembers every tree it belongs to and the path it has there. Each event
// names the folder whose entry changed, which is all a run started by it needs
// to look at; a new folder may already hold entries made before its watch
// was set, so it counts with everything below it.
#include "platform/ChangeNotifier.h"
#include "platform/DisplayPath.h"
#include "platform/FolderReader.h"

#include <QFile>

#include <algorithm>
#include <utility>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// The kinds of change that count. Access and opening never do; a file that is
// unlinked but still open is no longer part of the tree, so its writes do not
// count either.
constexpr quint32 kChangeEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                  IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr quint32 kWatchMask = kChangeEvents | IN_ONLYDIR | IN_EXCL_UNLINK;
constexpr quint32 kSignalling = kChangeEvents | IN_UNMOUNT;
// The events that change the entries of the folder they are read on.
constexpr quint32 kEntryChanged = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_TO;

constexpr std::size_t kBufferSize = 64 * 1024;
// Bounds one drain so a flood of events cannot keep wait() from returning.
constexpr int kMaxReadsPerDrain = 64;

const char kWatchLimitFile[] = "/proc/sys/fs/inotify/max_user_watches";

// Removes empty and "." components and any trailing '/'. ".." is kept: taken
// away by text alone it would be wrong across a symbolic link.
QByteArray CleanFolder(const QByteArray& folder)
{
    if (folder.isEmpty())
        return {};
    const bool absolute = folder.startsWith('/');
    QByteArray clean;
    clean.reserve(folder.size());
    for (const QByteArray& part : folder.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (!clean.isEmpty() || absolute)
            clean += '/';
        clean += part;
    }
    if (clean.isEmpty())
        return absolute ? QByteArray("/") : QByteArray(".");
    return clean;
}

bool IsAtOrBelow(const QByteArray& path, const QByteArray& base)
{
    if (base == "/")
        return path.startsWith('/');
    return path.startsWith(base) && (path.size() == base.size() || path.at(base.size()) == '/');
}

QByteArray JoinName(const QByteArray& folder, const QByteArray& name)
{
    QByteArray joined = folder;
    if (!joined.endsWith('/'))
        joined += '/';
    return joined + name;
}

QByteArray RealPath(const QByteArray& path)
{
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

// Where `folder` lies in the tree rooted at `root`, spelled from the root:
// the nearest ancestor of its real path that is the root folder itself (the
// same device and inode) gives the place. Empty when it is not in the tree.
QByteArray PlaceInTree(const QByteArray& root, const QByteArray& folder)
{
    struct stat rootStat;
    const QByteArray real = RealPath(folder);
    if (real.isEmpty() || ::stat(root.constData(), &rootStat) != 0)
        return {};
    QByteArray ancestor = real;
    for (;;) {
        struct stat st;
        if (::stat(ancestor.constData(), &st) == 0 && st.st_dev == rootStat.st_dev &&
            st.st_ino == rootStat.st_ino) {
            if (ancestor.size() == real.size())
                return root;
            return JoinName(root, real.mid(ancestor == "/" ? 1 : ancestor.size() + 1));
        }
        if (ancestor == "/")
            return {};
        const qsizetype slash = ancestor.lastIndexOf('/');
        ancestor = slash <= 0 ? QByteArray("/") : ancestor.left(slash);
    }
}

} // namespace

void FolderChanges::add(const FolderChanges& other)
{
    folders.unite(other.folders);
    subtrees.unite(other.subtrees);
    if (lost.isEmpty())
        lost = other.lost;
}

QString UnwatchableFileSystem(qint64 type)
{
    struct Kind
    {
        qint64 type;
        const char* name;
    };
    static constexpr Kind kKinds[] = {
        {0x6969, "NFS"},           {0x517B, "SMB"},           {0xFF534D42, "CIFS"},
        {0xFE534D42, "SMB2"},      {0x65735546, "FUSE"},      {0x01021997, "9P"},
        {0x00C36400, "Ceph"},      {0x5346414F, "AFS"},       {0x73757245, "Coda"},
        {0x013111A8, "IBRIX"},     {0x0BD00BD0, "Lustre"},    {0x47504653, "GPFS"},
    };
    for (const Kind& kind : kKinds) {
        if (kind.type == type)
            return QStringLiteral("it lies on a %1 file system, which does not report changes "
                                  "made elsewhere")
                .arg(QLatin1StringView(kind.name));
    }
    return {};
}

ChangeNotifier::ChangeNotifier() : m_buffer(kBufferSize)
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        m_initError = errno;
}

ChangeNotifier::~ChangeNotifier()
{
    // Closing the descriptor removes every watch with it.
    if (m_fd >= 0)
        ::close(m_fd);
}

int ChangeNotifier::addTree(const QByteArray& folder)
{
    if (m_fd < 0) {
        if (!m_initReported) {
            m_initReported = true;
            QString message = QStringLiteral("Folder changes cannot be watched: %1")
                                  .arg(qt_error_string(m_initError));
            if (m_initError == EMFILE)
                message += QStringLiteral(" (/proc/sys/fs/inotify/max_user_instances)");
            warn(message + QLatin1Char('.'));
        }
        return -1;
    }
    const QByteArray root = CleanFolder(folder);
    if (root.isEmpty())
        return -1;

    const int tree = static_cast<int>(m_trees.size());
    m_trees.push_back(Tree{root, {}, {}, true, false, {}, {}});
    if (!walk(tree, root, true, WalkMode::Add)) {
        // Nothing was attached to the new tree, so it can go without trace.
        m_trees.pop_back();
        return -1;
    }
    struct statfs fs;
    if (::statfs(root.constData(), &fs) == 0) {
        if (const QString why = UnwatchableFileSystem(static_cast<qint64>(fs.f_type));
            !why.isEmpty()) {
            m_trees[tree].unwatched = why;
            warn(QStringLiteral("Changes in \"%1\" are not all seen: %2; its runs on change "
                                "walk the whole folder.")
                     .arg(DisplayPath(root), why));
        }
    }
    return tree;
}

void ChangeNotifier::setIgnoredSubtree(int tree, const QByteArray& folder)
{
    if (tree < 0 || tree >= static_cast<int>(m_trees.size()))
        return;
    Tree& t = m_trees[tree];

    QList<QByteArray> ignored;
    if (!folder.isEmpty()) {
        const QByteArray clean = CleanFolder(folder);
        ignored.append(clean);
        // The folder may be spelled through a link, or reached through a
        // bind mount: its place in the tree is found by the folders
        // themselves and named as the tree spells it.
        const QByteArray mapped = PlaceInTree(t.root, clean);
        if (!mapped.isEmpty() && mapped != clean)
            ignored.append(mapped);
    }

    if (ignored == t.ignored)
        return;
    const bool narrowing = t.ignored.isEmpty();
    t.ignored = ignored;
    if (narrowing) {
        for (const QByteArray& path : ignored)
            detachAtOrBelow(tree, path);
    } else {
        // Folders that were ignored before may have to be watched again.
        rescan(tree);
    }
}

QList<int> ChangeNotifier::wait(int timeoutMs)
{
    if (m_fd >= 0) {
        pollfd p{m_fd, POLLIN, 0};
        ::poll(&p, 1, timeoutMs);
        drain();
    } else {
        ::poll(nullptr, 0, timeoutMs);
    }
    QList<int> changed;
    for (int i = 0; i < static_cast<int>(m_trees.size()); ++i) {
        if (m_trees[i].changed) {
            m_trees[i].changed = false;
            changed.append(i);
        }
    }
    return changed;
}

FolderChanges ChangeNotifier::takeChanges(int tree)
{
    if (tree < 0 || tree >= static_cast<int>(m_trees.size()))
        return {};
    Tree& t = m_trees[tree];
    FolderChanges taken = std::exchange(t.changes, {});
    if (taken.lost.isEmpty())
        taken.lost = t.unwatched;
    if (taken.lost.isEmpty() && !t.alive)
        taken.lost = QStringLiteral("the source folder itself was moved or deleted");
    return taken;
}

QByteArray ChangeNotifier::relativeOf(const Tree& tree, const QByteArray& path) const
{
    if (path == tree.root)
        return {};
    return path.mid(tree.root == "/" ? 1 : tree.root.size() + 1);
}

void ChangeNotifier::loseTree(int tree, const QString& why)
{
    FolderChanges& changes = m_trees[tree].changes;
    if (changes.lost.isEmpty())
        changes.lost = why;
    m_trees[tree].changed = true;
}

int ChangeNotifier::watchedFolderCount(int tree) const
{
    if (tree < 0 || tree >= static_cast<int>(m_trees.size()))
        return 0;
    return static_cast<int>(m_trees[tree].folders.size());
}

// Watches `start` and the folders below it for `tree`, depth first without
// recursion. The watch is set before a folder is read, so an entry made while
// it is read is either listed or reported. Returns whether `start` is watched.
bool ChangeNotifier::walk(int tree, const QByteArray& start, bool followStart, WalkMode mode)
{
    // A folder reached twice in one walk (a bind mount of an ancestor) gets
    // the same watch descriptor again: going on would never end.
    QSet<int> seen;
    bool startWatched = false;
    bool limitReached = false;
    bool first = true;
    std::vector<QByteArray> pending{start};
    while (!pending.empty()) {
        const QByteArray path = std::move(pending.back());
        pending.pop_back();
        const bool isStart = first;
        first = false;
        if (isIgnored(m_trees[tree], path))
            continue;
        const quint32 mask = kWatchMask | (isStart && followStart ? 0u : quint32(IN_DONT_FOLLOW));
        const int wd = ::inotify_add_watch(m_fd, path.constData(), mask);
        if (wd < 0) {
            const int error = errno;
            if (error == ENOSPC) {
                limitReached = true;
                reportShortfall(m_trees[tree].root);
                m_trees[tree].unwatched =
                    QStringLiteral("not every folder can be watched (the system's limit on "
                                   "watched folders is reached)");
                break;
            }
            // Gone meanwhile, or a link: not part of the tree. A folder
            // that is there and cannot be watched leaves its changes unseen.
            if (error != ENOENT && error != ENOTDIR && m_trees[tree].unwatched.isEmpty())
                m_trees[tree].unwatched =
                    QStringLiteral("a folder could not be watched (%1: %2)")
                        .arg(DisplayPath(path), qt_error_string(error));
            continue;
        }
        if (seen.contains(wd))
            continue;
        seen.insert(wd);
        attach(tree, wd, path);
        if (isStart)
            startWatched = true;

        FolderReader reader;
        if (reader.open(AT_FDCWD, path.constData()) != 0)
            continue;
        const char* name;
        std::size_t length;
        unsigned char type;
        while (reader.next(name, length, type)) {
            if (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')))
                continue;
            bool folder = type == DT_DIR;
            if (type == DT_UNKNOWN) {
                struct stat st;
                folder = ::fstatat(reader.fd(), name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                         S_ISDIR(st.st_mode);
            }
            if (folder)
                pending.push_back(JoinName(path, QByteArray(name, static_cast<qsizetype>(length))));
        }
    }

    if (mode == WalkMode::Rescan && !limitReached) {
        // What the walk did not reach has left the tree or is ignored now.
        QList<int> gone;
        for (auto it = m_trees[tree].folders.cbegin(); it != m_trees[tree].folders.cend(); ++it) {
            if (!seen.contains(it.value()))
                gone.append(it.value());
        }
        for (int wd : gone)
            detach(tree, wd);
    }
    return startWatched;
}

void ChangeNotifier::attach(int tree, int wd, const QByteArray& path)
{
    Tree& t = m_trees[tree];
    // Another folder that had this path (deleted, and its removal not read
    // yet) is no longer the one the tree holds there.
    const auto previous = t.folders.constFind(path);
    if (previous != t.folders.cend() && previous.value() != wd)
        detach(tree, previous.value());

    QList<Attachment>& attachments = m_watches[wd];
    for (Attachment& a : attachments) {
        if (a.tree != tree)
            continue;
        if (a.path != path) {
            if (t.folders.value(a.path, -1) == wd)
                t.folders.remove(a.path);
            a.path = path;
        }
        t.folders.insert(path, wd);
        return;
    }
    attachments.append(Attachment{tree, path});
    t.folders.insert(path, wd);
}

void ChangeNotifier::detach(int tree, int wd)
{
    const auto it = m_watches.find(wd);
    if (it == m_watches.end())
        return;
    Tree& t = m_trees[tree];
    QList<Attachment>& attachments = it.value();
    for (qsizetype i = attachments.size() - 1; i >= 0; --i) {
        if (attachments[i].tree != tree)
            continue;
        if (t.folders.value(attachments[i].path, -1) == wd)
            t.folders.remove(attachments[i].path);
        attachments.removeAt(i);
    }
    if (attachments.isEmpty()) {
        ::inotify_rm_watch(m_fd, wd);
        m_watches.erase(it);
    }
}

void ChangeNotifier::detachAtOrBelow(int tree, const QByteArray& path)
{
    const Tree& t = m_trees[tree];
    QList<int> wds;
    if (path == "/") {
        wds = t.folders.values();
    } else {
        const auto exact = t.folders.constFind(path);
        if (exact != t.folders.cend())
            wds.append(exact.value());
        // Keys below `path` sort together right after `path + '/'`.
        const QByteArray prefix = path + '/';
        for (auto it = t.folders.lowerBound(prefix);
             it != t.folders.cend() && it.key().startsWith(prefix); ++it)
            wds.append(it.value());
    }
    for (int wd : wds)
        detach(tree, wd);
}

// The kernel has removed the watch (its folder is gone or unmounted).
void ChangeNotifier::dropWatch(int wd)
{
    const auto it = m_watches.find(wd);
    if (it == m_watches.end())
        return;
    for (const Attachment& a : it.value()) {
        Tree& t = m_trees[a.tree];
        if (t.folders.value(a.path, -1) == wd)
            t.folders.remove(a.path);
        if (a.path == t.root)
            t.alive = false;
    }
    m_watches.erase(it);
}

void ChangeNotifier::rescan(int tree)
{
    if (m_trees[tree].alive)
        walk(tree, m_trees[tree].root, true, WalkMode::Rescan);
}

bool ChangeNotifier::isIgnored(const Tree& tree, const QByteArray& path) const
{
    for (const QByteArray& ignored : tree.ignored) {
        if (IsAtOrBelow(path, ignored))
            return true;
    }
    return false;
}

void ChangeNotifier::handleEvent(int wd, quint32 mask, const QByteArray& name)
{
    const auto it = m_watches.constFind(wd);
    if (it == m_watches.cend())
        return; // a watch already given up; its IN_IGNORED may still be queued
    // Walking and detaching below change the watch table.
    const QList<Attachment> attachments = it.value();
    for (const Attachment& a : attachments) {
        if (!m_trees[a.tree].alive)
            continue;
        const QByteArray path = name.isEmpty() ? a.path : JoinName(a.path, name);
        const bool ignored = isIgnored(m_trees[a.tree], path);
        if ((mask & kSignalling) && !ignored)
            m_trees[a.tree].changed = true;
        if (!ignored && !name.isEmpty() && (mask & kEntryChanged)) {
            FolderChanges& changes = m_trees[a.tree].changes;
            changes.folders.insert(relativeOf(m_trees[a.tree], a.path));
            if ((mask & IN_ISDIR) && (mask & (IN_CREATE | IN_MOVED_TO)))
                changes.subtrees.insert(relativeOf(m_trees[a.tree], path));
        }
        // A file system mounted below went away: what it held may come back
        // changed, or another one in its place.
        if ((mask & IN_UNMOUNT) && !ignored)
            loseTree(a.tree, QStringLiteral("a file system in the folder was unmounted"));
        // The system gave up a watch it was not asked to end and whose
        // folder is still there: changes below it go unseen.
        if ((mask & IN_IGNORED) && !m_deletedSelf.contains(wd) && !ignored)
            loseTree(a.tree, QStringLiteral("the system stopped watching a folder"));

        if ((mask & IN_ISDIR) && !name.isEmpty()) {
            // A folder that left is watched again if and where it arrives.
            if (mask & IN_MOVED_FROM)
                detachAtOrBelow(a.tree, path);
            // A new folder may already hold entries; the event above has
            // counted them as a change.
            if ((mask & (IN_CREATE | IN_MOVED_TO)) && !ignored)
                walk(a.tree, path, false, WalkMode::Add);
        }
        if ((mask & IN_MOVE_SELF) && a.path == m_trees[a.tree].root) {
            // The root is no longer at the tree's path: like a deleted root,
            // the tree falls quiet rather than follow the folder elsewhere.
            detachAtOrBelow(a.tree, a.path);
            m_trees[a.tree].alive = false;
        }
    }
    if (mask & IN_DELETE_SELF)
        m_deletedSelf.insert(wd);
    if (mask & IN_IGNORED) {
        m_deletedSelf.remove(wd);
        dropWatch(wd);
    }
}

void ChangeNotifier::drain()
{
    bool overflow = false;
    for (int round = 0; round < kMaxReadsPerDrain; ++round) {
        const ssize_t got = ::read(m_fd, m_buffer.data(), m_buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t pos = 0; pos < got;) {
            inotify_event event;
            std::memcpy(&event, m_buffer.data() + pos, sizeof event);
            const char* nameStart = m_buffer.data() + pos + sizeof event;
            pos += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_Q_OVERFLOW) {
                overflow = true;
                continue;
            }
            const QByteArray name = event.len ? QByteArray(nameStart) : QByteArray();
            handleEvent(event.wd, event.mask, name);
        }
    }
    if (overflow) {
        // Events were lost, folders made meanwhile among them: every tree
        // counts as changed and is walked again so new folders get watches
        // and moved-away ones lose theirs.
        for (int i = 0; i < static_cast<int>(m_trees.size()); ++i) {
            if (!m_trees[i].alive)
                continue;
            loseTree(i, QStringLiteral("the system's queue of change events overflowed"));
            rescan(i);
        }
    }
}

void ChangeNotifier::reportShortfall(const QByteArray& folder)
{
    if (m_shortfallReported)
        return;
    m_shortfallReported = true;
    QFile limitFile(QString::fromLatin1(kWatchLimitFile));
    QByteArray limit;
    if (limitFile.open(QIODevice::ReadOnly))
        limit = limitFile.readAll().trimmed();
    const QString limitText = limit.isEmpty()
                                  ? QStringLiteral("limit on")
                                  : QStringLiteral("limit of %1").arg(QString::fromLatin1(limit));
    warn(QStringLiteral("Not every folder below \"%1\" can be watched for changes: the system's %2 "
                        "watched folders is reached (%3).")
             .arg(DisplayPath(folder), limitText, QString::fromLatin1(kWatchLimitFile)));
}

void ChangeNotifier::warn(const QString& message)
{
    m_lastWarning = message;
    if (m_warningHandler)
        m_warningHandler(message);
}

} // namespace tarnwick
