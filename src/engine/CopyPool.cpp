// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CopyPool.h"

#include "platform/FileCopier.h"

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <sys/vfs.h>

namespace tarnwick {

namespace {

// Sixteen keep a 1-5 ms round trip busy without crowding a small server;
// beyond that the gain flattens while the open files grow.
constexpr int kNetworkCopies = 16;

bool IsNetworkOrFuse(long type)
{
    switch (static_cast<unsigned long>(type)) {
    case 0x65735546UL: // FUSE (sshfs, rclone, s3fs, ...)
    case 0x6969UL:     // NFS
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x517BUL:     // SMB
    case 0x01021997UL: // 9P
    case 0x00C36400UL: // Ceph
    case 0x5346414FUL: // AFS
    case 0x564C0000UL: // Lustre ("LV" prefix of its magic)
        return true;
    default:
        return false;
    }
}

} // namespace

CopyPool::Folders::~Folders()
{
    if (finalMode >= 0 && target.get() >= 0)
        ::fchmod(target.get(), static_cast<mode_t>(finalMode));
}

int CopiesAtOnce(int sourceFd, int targetFd, int chosen)
{
    if (chosen > 0)
        return chosen;
    const auto slow = [](int fd) {
        struct statfs fs;
        return fd >= 0 && ::fstatfs(fd, &fs) == 0 && IsNetworkOrFuse(static_cast<long>(fs.f_type));
    };
    return slow(targetFd) || slow(sourceFd) ? kNetworkCopies : 1;
}

CopyPool::CopyPool(int threads, std::function<void()> gate, Decide decide, Copy copy)
    : m_gate(std::move(gate)), m_decide(std::move(decide)), m_copy(std::move(copy))
{
    if (!m_copy) {
        m_copy = [](FileCopier& copier, const Job& job) {
            return copier.copy(job.sourceDirFd, job.name.constData(), job.source,
                               job.targetDirFd, job.name.constData(), &job.target, job.place);
        };
    }
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

CopyPool::~CopyPool()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_queued.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void CopyPool::submit(std::shared_ptr<Job> job)
{
    {
        const std::lock_guard lock(m_mutex);
        job->sequence = m_submitted++;
        m_queue.push_back(std::move(job));
    }
    m_queued.notify_one();
}

void CopyPool::wait(const Job& job)
{
    std::unique_lock lock(m_mutex);
    m_ended.wait(lock, [&job] { return job.done; });
}

void CopyPool::cancelQueued()
{
    std::deque<std::shared_ptr<Job>> cancelled;
    {
        const std::lock_guard lock(m_mutex);
        cancelled.swap(m_queue);
        for (const std::shared_ptr<Job>& job : cancelled) {
            job->error = ECANCELED;
            job->done = true;
        }
    }
    m_ended.notify_all();
}

bool CopyPool::ended(const Job& job)
{
    const std::lock_guard lock(m_mutex);
    return job.done;
}

void CopyPool::work()
{
    FileCopier copier(m_gate);
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(m_mutex);
            auto free = m_queue.end();
            m_queued.wait(lock, [this, &free] {
                free = std::find_if(m_queue.begin(), m_queue.end(),
                                    [this](const std::shared_ptr<Job>& queued) {
                                        return std::find(m_busy.begin(), m_busy.end(),
                                                         queued->folders.get()) == m_busy.end();
                                    });
                return free != m_queue.end() || (m_closing && m_queue.empty());
            });
            // Queued copies are finished even when closing: the walk has
            // told of each one already, and waits for its end.
            if (free == m_queue.end())
                return;
            job = std::move(*free);
            m_queue.erase(free);
            m_busy.push_back(job->folders.get());
        }
        // A suspended run holds its copiers here too, not only between the
        // chunks of a big file: a queue of small copies must not run on.
        if (m_gate)
            m_gate();
        const int error = job->decide && !m_decide(*job) ? job->error : m_copy(copier, *job);
        {
            const std::lock_guard lock(m_mutex);
            job->error = error;
            job->done = true;
            m_busy.erase(std::find(m_busy.begin(), m_busy.end(), job->folders.get()));
        }
        m_ended.notify_all();
        // The folders close (and a new one takes its final bits) once the
        // walk and every copy into them have let go; outside the lock, as
        // that may wait on the target.
        job.reset();
        m_queued.notify_all();
    }
}

} // namespace tarnwick
