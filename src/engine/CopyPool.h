// SPDX-License-Identifier: GPL-3.0-or-later
// Copies of one run kept under way at once, for targets where every file
// operation waits a round trip (NFS, SMB, sshfs, other FUSE file systems):
// there the time goes into waiting, and waits taken side by side cost
// about one. A local disk gains little and may lose to the extra seeks, so
// a run there copies one file at a time as before, without a pool.
//
// Plain threads rather than io_uring: a copy is a chain of calls that each
// depend on the one before (open, make the nameless file, copy the content,
// set its time, link it), and FUSE and network file systems serve their
// opens and links synchronously anyway; a few threads that each walk that
// chain reach the same overlap with the copier the run already trusts.
//
// The walk lists the folders and hands each file over in its order; a
// copier then looks at the source and the target where the walk left that
// to it, decides as the walk would, and copies. How each ended goes back to
// the walk, which lets the lines out in its own order (OrderedCopies). New
// threads take the scheduling priority of the thread that makes them, so
// the pool is made on the run's own thread.
#pragma once

#include "platform/EntryRecord.h"
#include "platform/FileCopier.h"
#include "platform/FileStatus.h"
#include "platform/UniqueFd.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwick {


class CopyPool
{
public:
    // A source folder and its target folder, open for as long as a copy
    // between them is under way, so the walk may go on into other folders.
    // A new target folder gets its final permission bits when the last copy
    // into it has ended.
    struct Folders
    {
        UniqueFd source;
        UniqueFd target;
        int finalMode = -1; // below 0: left as it is
        QByteArray relative; // the target folder's path below the target root
        // What the first copy into the folder does once, by the copier then
        // in the folder (a copier has a folder to itself).
        bool swept = false;
        int creationMask = -1;
        ~Folders();
    };

    // One copy, as FileCopier::copy takes it; `error` and `done` are set by
    // the pool.
    struct Job
    {
        std::shared_ptr<Folders> folders;
        int sourceDirFd = -1;
        QByteArray name;
        EntryRecord source;
        int targetDirFd = -1;
        TargetState target;
        CopyPlace place;
        // Whether the copier first looks at the target and decides (on
        // `precision`, with the decision in `decision`), and copies only a
        // file that is missing or older there.
        bool decide = false;
        bool lookAtSource = false; // read `source` first, from the source folder
        qint64 precision = 1;
        int decision = 0; // a CopyDecision
        quint64 sequence = 0; // 0, 1, 2, ... in the order of submission
        int error = 0;
        bool done = false;
    };
    // Makes the copy of a job with a copier of the pool's: FileCopier::copy
    // unless given otherwise (tests make copies end out of order).
    using Copy = std::function<int(FileCopier& copier, const Job& job)>;
    // Looks at the target and decides for a job with `decide`: true when the
    // copy is due. Runs on the copier's thread.
    using Decide = std::function<bool(Job& job)>;

    // `threads` copiers; `gate` is called between the chunks of every copy
    // (where a paused run waits) on the copying thread.
    CopyPool(int threads, std::function<void()> gate, Decide decide, Copy copy = {});
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    int threads() const { return static_cast<int>(m_threads.size()); }

    // Queues the copy; the job stays owned by the caller's shared pointer
    // and must outlive its end.
    void submit(std::shared_ptr<Job> job);
    // Waits until `job` has ended.
    void wait(const Job& job);
    // Whether `job` has ended, without waiting.
    bool ended(const Job& job);
    // Ends every copy not yet begun with ECANCELED, for a run that stops:
    // the copies under way end as they would.
    void cancelQueued();

private:
    void work();

    std::function<void()> m_gate;
    Decide m_decide;
    Copy m_copy;
    quint64 m_submitted = 0;
    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_ended;
    std::deque<std::shared_ptr<Job>> m_queue;
    bool m_closing = false;
    // Target folders a copy is being made in: the kernel takes a folder's
    // lock for each create and rename in it, so copies into one folder wait
    // for each other however many are under way. Each copier takes the
    // first queued copy into a folder no other copier is in.
    std::vector<const Folders*> m_busy;
    std::vector<std::thread> m_threads;
};

// How many copies a run keeps under way from the folder `sourceFd` to the
// folder `targetFd`: `chosen` when the task sets it, else more when either
// lies on a network or FUSE file system (a NAS as the source waits a round
// trip for every open and read as a NAS as the target does), and one
// between local disks.
int CopiesAtOnce(int sourceFd, int targetFd, int chosen);

} // namespace tarnwick
