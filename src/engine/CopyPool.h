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
// The walk stays the one that decides, in its order; the pool only runs the
// copies it hands over and tells how each ended. New threads take the
// scheduling priority of the thread that makes them, so the pool is made
// on the run's own thread.
#pragma once

#include "platform/EntryRecord.h"
#include "platform/FileStatus.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwick {

class FileCopier;

class CopyPool
{
public:
    // One copy, as FileCopier::copy takes it; `error` and `done` are set by
    // the pool.
    struct Job
    {
        int sourceDirFd = -1;
        QByteArray name;
        EntryRecord source;
        int targetDirFd = -1;
        TargetState target;
        int creationMask = -1;
        quint64 sequence = 0; // 0, 1, 2, ... in the order of submission
        int error = 0;
        bool done = false;
    };
    // Makes the copy of a job with a copier of the pool's: FileCopier::copy
    // unless given otherwise (tests make copies end out of order).
    using Copy = std::function<int(FileCopier& copier, const Job& job)>;

    // `threads` copiers; `gate` is called between the chunks of every copy
    // (where a paused run waits) on the copying thread.
    CopyPool(int threads, std::function<void()> gate, Copy copy = {});
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

private:
    void work();

    std::function<void()> m_gate;
    Copy m_copy;
    quint64 m_submitted = 0;
    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_ended;
    std::deque<std::shared_ptr<Job>> m_queue;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

// How many copies a run keeps under way on the file system holding
// `targetFd`: `chosen` when the task sets it, else more on network and FUSE
// file systems and one elsewhere.
int CopiesAtOnce(int targetFd, int chosen);

} // namespace tarnwick
