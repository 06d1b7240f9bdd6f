// SPDX-License-Identifier: GPL-3.0-or-later
// A file descriptor closed when its owner goes, so no early return of the
// copy and walk code can leak one: a run over a million files would run out
// of descriptors long before its end.
#pragma once

#include <unistd.h>

namespace tarnwick {

class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Gives the descriptor up, for a close whose result is wanted.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

} // namespace tarnwick
