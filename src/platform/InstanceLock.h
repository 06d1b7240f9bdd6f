// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance lock: an exclusive flock on a lock file of the
// data folder (the folder of Tarnwick.dat), held for the life of the process. The kernel drops it
// however the process ends, so a crash never leaves a stale lock.
//
// Each data folder has a lock of its own (the file name carries a hash
// of the folder's canonical path), so two program folders of one user run
// side by side, while an installed window and an installed daemon share
// the user's data folder and its lock. The lock file lives in a folder only the user can write:
// tarnwick in the user's cache folder ($XDG_CACHE_HOME, else ~/.cache),
// made with mode 0700, the same whether a session's runtime folder is set
// or not. A folder or lock file another user could have planted or can
// change (a symbolic link, another's, writable by others) is refused,
// never used.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tarnwick {

class InstanceLock
{
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // "Another instance runs" is the normal case of a second start; a lock
    // file that cannot be made or is not safe to use is a fault to report.
    enum class Outcome
    {
        Acquired,
        HeldElsewhere,
        Failed
    };

    // Takes the lock for this process. On Failed, error() says why.
    Outcome tryAcquire();
    void release();

    // The reason when the lock file could not be made, used or locked.
    const QString& error() const { return m_error; }
    // This object holds the lock for this process.
    bool isHeld() const { return m_fd >= 0; }

    // The lock file of the current program folder:
    // <lock folder>/Tarnwick-<16 hex digits>.lock.
    static QString lockFilePath();
    // The socket through which a later start reaches the holder
    // (InstanceSignal): beside the lock file, in the same private folder,
    // <lock folder>/Tarnwick-<16 hex digits>.socket.
    static QString socketFilePath();

    // Writes this process's id and the tasks it is running into the held
    // lock file, for the command line to find: it asks this process to read
    // the tasks anew after changing them and refuses to remove a task
    // listed as running. An owner announces itself only once it reads the
    // tasks anew on SIGHUP (the default action of SIGHUP would end it).
    // False when the lock is not held or the file cannot be written.
    bool announce(const QStringList& runningTaskIds = {});

    // The process holding the lock of the current program folder.
    struct Holder
    {
        // As the kernel names it; 0 when the system does not say.
        qint64 pid = 0;
        // Its executable; empty when it cannot be read (another user's).
        QString program;
        // The lock file names this very process: it has announced itself.
        bool announced = false;
        // It runs tarnwick or tarnwick-cli of this installation.
        bool thisProgram = false;
        // The running tasks the lock file lists.
        QStringList runningTaskIds;
    };
    // Nothing when no process holds the lock (or it cannot be looked at).
    static std::optional<Holder> holder();

    // Asks the holder to read the tasks anew (SIGHUP), but only a process
    // that holds the lock, has announced itself and runs this program, and
    // never this process: whatever the lock file says, nothing else is
    // signalled. True when the request was sent.
    static bool askHolderToReload();

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace tarnwick
