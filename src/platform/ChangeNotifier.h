// SPDX-License-Identifier: GPL-3.0-or-later
// Watches any number of folder trees for changes through one inotify
// descriptor, so a single wait covers every tree however many folders they
// hold. Each folder of a tree gets its own watch; folders that appear later are
// watched as their creation or arrival is read. Only changes of content, names
// and attributes count: reading and access never do. Beside the signal, each
// tree keeps which of its folders changed, so a run it starts can look at
// those alone, and says when that record cannot be trusted.
//
// Not thread-safe: one thread adds trees and waits.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <functional>
#include <vector>

namespace tarnwick {

// What changed in a tree since it was last asked, as paths below its root
// ("" is the root itself, "a/b" a folder two levels down).
struct FolderChanges
{
    // Folders with an entry created, written, attribute-changed or moved in.
    QSet<QByteArray> folders;
    // Folders created or moved in: everything below them counts as changed.
    QSet<QByteArray> subtrees;
    // Set when events were lost or a folder is not watched: what changed is
    // not known, and this says why.
    QString lost;

    bool isEmpty() const { return folders.isEmpty() && subtrees.isEmpty() && lost.isEmpty(); }
    // Adds `other` to this; the first reason for a loss stays.
    void add(const FolderChanges& other);
    friend bool operator==(const FolderChanges&, const FolderChanges&) = default;
};

// Why changes of a folder on a file system of type `type` (statfs's f_type)
// made elsewhere are never reported, or empty where they are: network and
// user-space file systems tell only of the changes made on this machine.
QString UnwatchableFileSystem(qint64 type);

class ChangeNotifier
{
public:
    using WarningHandler = std::function<void(const QString&)>;

    ChangeNotifier();
    ~ChangeNotifier();
    ChangeNotifier(const ChangeNotifier&) = delete;
    ChangeNotifier& operator=(const ChangeNotifier&) = delete;

    // Watches `folder` and every folder below it. Symbolic links below the
    // folder are not followed (the folder itself may be one). Returns the
    // tree's handle (0, 1, 2, ... in the order trees are added), or -1 when
    // the folder cannot be watched at all: missing, not a folder, no access.
    int addTree(const QByteArray& folder);

    // Changes at or below `folder` no longer signal `tree`, and folders there
    // are not watched for it. A later call replaces the earlier folder; an
    // empty folder watches the whole tree again.
    void setIgnoredSubtree(int tree, const QByteArray& folder);

    // Waits at most `timeoutMs` for a change, reads every event that is
    // pending and returns the handles of the trees changed since the last
    // call, each once, in ascending order.
    QList<int> wait(int timeoutMs);

    // What changed in `tree` since the last call, and empties its record. A
    // tree that cannot be watched wholly (a folder that could not be watched,
    // a file system that does not report every change, a root that moved
    // away) reports a loss every time.
    FolderChanges takeChanges(int tree);

    // Called once with a message when the system's limit on watches leaves
    // some folders unwatched, or when no watching is possible at all.
    void setWarningHandler(WarningHandler handler) { m_warningHandler = std::move(handler); }
    QString lastWarning() const { return m_lastWarning; }

    // Number of folders watched for `tree` (for diagnostics and tests).
    int watchedFolderCount(int tree) const;

private:
    struct Tree
    {
        QByteArray root;
        QList<QByteArray> ignored;
        // Each watched folder's path as seen from this tree, and its watch.
        QMap<QByteArray, int> folders;
        bool alive = true;
        bool changed = false;
        FolderChanges changes;
        // Set for good: some of the tree is not watched.
        QString unwatched;
    };
    struct Attachment
    {
        int tree;
        QByteArray path;
    };

    enum class WalkMode
    {
        Add,
        Rescan
    };
    bool walk(int tree, const QByteArray& start, bool followStart, WalkMode mode);
    void attach(int tree, int wd, const QByteArray& path);
    void detach(int tree, int wd);
    void detachAtOrBelow(int tree, const QByteArray& path);
    void dropWatch(int wd);
    void rescan(int tree);
    bool isIgnored(const Tree& tree, const QByteArray& path) const;
    void handleEvent(int wd, quint32 mask, const QByteArray& name);
    // `path` as the tree spells it below its root.
    QByteArray relativeOf(const Tree& tree, const QByteArray& path) const;
    void loseTree(int tree, const QString& why);
    void drain();
    void reportShortfall(const QByteArray& folder);
    void warn(const QString& message);

    int m_fd = -1;
    int m_initError = 0;
    bool m_initReported = false;
    std::vector<Tree> m_trees;
    QHash<int, QList<Attachment>> m_watches;
    std::vector<char> m_buffer;
    // Watches whose folder was deleted: their end is no loss.
    QSet<int> m_deletedSelf;
    bool m_shortfallReported = false;
    QString m_lastWarning;
    WarningHandler m_warningHandler;
};

} // namespace tarnwick
