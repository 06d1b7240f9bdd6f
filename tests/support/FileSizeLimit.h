// SPDX-License-Identifier: GPL-3.0-or-later
// Makes writes past a given file size fail with EFBIG for as long as it
// lives. Unlike a read-only folder, the size limit holds for root too, so a
// test can make a rewrite fail half-way on any machine.
#pragma once

#include <csignal>
#include <sys/resource.h>

class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        // Past the limit the kernel sends SIGXFSZ, which would end the test;
        // ignored, the write fails with EFBIG instead.
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        if (m_ok) {
            rlimit lowered = m_old;
            lowered.rlim_cur = bytes;
            m_ok = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
        }
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool isActive() const { return m_ok; }

private:
    rlimit m_old{};
    bool m_ok = false;
    void (*m_oldHandler)(int) = nullptr;
};
