// SPDX-License-Identifier: GPL-3.0-or-later
// A local socket bound at a path that never takes a connection: while it
// lives, a holder that hangs (its queue filled, the next caller must wait);
// once it goes, what a holder that crashed leaves behind, since its file
// stays where it was bound.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class RawListener
{
public:
    // Listens at `path` with room for `backlog` waiting connections.
    RawListener(const QString& path, int backlog)
    {
        const QByteArray name = QFile::encodeName(path);
        m_address.sun_family = AF_UNIX;
        if (name.size() >= static_cast<qsizetype>(sizeof m_address.sun_path))
            return;
        std::memcpy(m_address.sun_path, name.constData(), static_cast<size_t>(name.size()));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_listening = m_fd >= 0 && ::bind(m_fd, address(), sizeof m_address) == 0 &&
                      ::listen(m_fd, backlog) == 0;
    }
    ~RawListener()
    {
        for (const int fd : m_waiting)
            ::close(fd);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    bool isListening() const { return m_listening; }

    // Connects until the kernel queues no more: the next caller must wait.
    bool fillBacklog()
    {
        for (int i = 0; i < 64; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0)
                return false;
            if (::connect(fd, address(), sizeof m_address) != 0) {
                const bool full = errno == EAGAIN;
                ::close(fd);
                return full;
            }
            m_waiting << fd;
        }
        return false;
    }

    // Binds and closes at once: the file a holder that crashed leaves.
    static bool leaveStaleSocket(const QString& path)
    {
        const RawListener ended(path, 1);
        return ended.isListening();
    }

private:
    const struct sockaddr* address() const
    {
        return reinterpret_cast<const struct sockaddr*>(&m_address);
    }

    int m_fd = -1;
    bool m_listening = false;
    struct sockaddr_un m_address = {};
    QList<int> m_waiting;
};
