// SPDX-License-Identifier: GPL-3.0-or-later
// Counts how often a file is written anew in its folder (a new file renamed
// over its name, or made under its name when it did not exist), so a test
// can tell one rewrite of a file from several.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <sys/inotify.h>
#include <unistd.h>

class RewriteCounter
{
public:
    explicit RewriteCounter(const QString& path)
        : m_name(QFile::encodeName(QFileInfo(path).fileName()))
    {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0) {
            const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
            if (::inotify_add_watch(m_fd, folder.constData(), IN_MOVED_TO | IN_CREATE) < 0) {
                ::close(m_fd);
                m_fd = -1;
            }
        }
    }
    ~RewriteCounter()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RewriteCounter(const RewriteCounter&) = delete;
    RewriteCounter& operator=(const RewriteCounter&) = delete;

    bool isWatching() const { return m_fd >= 0; }

    // New versions seen since the last call. The events of a rename are
    // queued before rename() returns, so nothing needs waiting for.
    int take()
    {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                return count;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && QByteArray(event->name) == m_name)
                    ++count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    QByteArray m_name;
    int m_fd = -1;
};
