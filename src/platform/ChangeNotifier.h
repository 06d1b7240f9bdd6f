// SPDX-License-Identifier: GPL-3.0-or-later
// Watches any number of folder trees for changes through one inotify
// descriptor, so a single wait covers every tree however many folders they
// hold. Each folder of a tree gets its own watch; folders that appear later are
// watched as their creation or arrival is read. Only changes of content, names
// and attributes count: reading and access never do.
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
    void drain();
    void reportShortfall(const QByteArray& folder);
    void warn(const QString& message);

    int m_fd = -1;
    int m_initError = 0;
    bool m_initReported = false;
    std::vector<Tree> m_trees;
    QHash<int, QList<Attachment>> m_watches;
    std::vector<char> m_buffer;
    bool m_shortfallReported = false;
    QString m_lastWarning;
    WarningHandler m_warningHandler;
};

} // namespace tarnwick
