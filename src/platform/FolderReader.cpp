// SPDX-License-Identifier: GPL-3.0-or-later
// getdents64 on an open folder descriptor.
#include "platform/FolderReader.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarnwick {

namespace {

struct LinuxDirent64
{
    std::uint64_t d_ino;
    std::int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

} // namespace

FolderReader::~FolderReader()
{
    close();
    std::free(m_buffer);
}

int FolderReader::open(int dirFd, const char* name)
{
    close();
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno;
    m_fd = fd;
    return 0;
}

void FolderReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_filled = 0;
    m_pos = 0;
    m_error = 0;
}

bool FolderReader::next(const char*& name, std::size_t& length, unsigned char& type)
{
    if (m_fd < 0)
        return false;
    if (m_pos >= m_filled) {
        // The buffer is taken on first use so an unreadable folder costs nothing.
        if (!m_buffer) {
            m_buffer = static_cast<char*>(std::malloc(kBufferSize));
            if (!m_buffer) {
                m_error = ENOMEM;
                return false;
            }
        }
        long got;
        do {
            got = ::syscall(SYS_getdents64, m_fd, m_buffer, kBufferSize);
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            m_error = errno;
        if (got <= 0)
            return false;
        m_filled = got;
        m_pos = 0;
    }
    const auto* entry = reinterpret_cast<const LinuxDirent64*>(m_buffer + m_pos);
    m_pos += entry->d_reclen;
    name = entry->d_name;
    length = std::strlen(entry->d_name);
    type = entry->d_type;
    return true;
}

} // namespace tarnwick
