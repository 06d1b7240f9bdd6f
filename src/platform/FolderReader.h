// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the entries of one open folder in the order the kernel returns them,
// hidden ones, "." and ".." included, straight from getdents64 into a small
// buffer of the reader's own: no list of the folder is ever built.
#pragma once

#include <QByteArray>

#include <cstddef>

namespace tarnwick {

class FolderReader
{
public:
    FolderReader() = default;
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // Opens the folder `name` relative to the folder descriptor `dirFd` (or
    // AT_FDCWD), following a symbolic link. Returns 0 or the errno value.
    int open(int dirFd, const char* name);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // The folder's descriptor, for statx and openat relative to it.
    int fd() const { return m_fd; }

    // The next entry's name (NUL-terminated, valid until the next call) and
    // its d_type; false at the end or on a read error.
    bool next(const char*& name, std::size_t& length, unsigned char& type);
    // After next() has returned false: 0 at the true end, else the errno
    // value that cut the listing short (a failing disk, a vanished share).
    int error() const { return m_error; }

private:
    static constexpr std::size_t kBufferSize = 32 * 1024;
    int m_fd = -1;
    char* m_buffer = nullptr;
    long m_filled = 0;
    long m_pos = 0;
    int m_error = 0;
};

// Whether a listed name is "." or "..", which walks pass over.
inline bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Joins a folder path and an entry's name with '/' unless the path ends
// with one.
inline void AppendName(QByteArray& path, const char* name, std::size_t length)
{
    if (!path.endsWith('/'))
        path += '/';
    path.append(name, static_cast<qsizetype>(length));
}

} // namespace tarnwick
