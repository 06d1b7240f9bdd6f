// SPDX-License-Identifier: GPL-3.0-or-later
// An open folder descriptor for the whole of a test, closed at its end: the
// platform layer's functions take folders as descriptors.
#pragma once

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

class Folder
{
public:
    explicit Folder(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~Folder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};
