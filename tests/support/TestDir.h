// SPDX-License-Identifier: GPL-3.0-or-later
// A temporary folder that a test lays out on disk: sub-folders, and files
// with given content and, where the test decides on it, a given last-write
// time to the nanosecond, since the mirror decides on those times. Files are
// written with POSIX calls on the bytes of the name, so a name need not be
// valid UTF-8. A step that fails fails the running test.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestDir
{
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }

    // `name` below the folder; an absolute path stands as it is.
    QString filePath(const QString& name) const
    {
        return QDir::isAbsolutePath(name) ? name : m_dir.filePath(name);
    }
    QByteArray nativePath(const QByteArray& name) const
    {
        return name.startsWith('/') ? name : QFile::encodeName(m_dir.path()) + '/' + name;
    }

    // Makes the folder `name` and the folders above it; returns its path.
    QString makeDir(const QString& name) const
    {
        const QString path = filePath(name);
        const bool made = QDir().mkpath(path);
        check(made, "QDir().mkpath(path)", QFile::encodeName(path));
        return path;
    }

    // Writes `content` to the file `name`, replacing what it held, and
    // leaves its times to the system. Returns its path.
    QString writeFile(const QString& name, const QByteArray& content = QByteArray("x")) const
    {
        const QString path = filePath(name);
        put(QFile::encodeName(path), content, nullptr);
        return path;
    }
    QByteArray writeFile(const QByteArray& name, const QByteArray& content = QByteArray("x")) const
    {
        const QByteArray path = nativePath(name);
        put(path, content, nullptr);
        return path;
    }

    // The same, then sets the last-write and access times to `seconds`
    // after 1970-01-01 00:00:00 UTC plus `nanos` nanoseconds.
    QString writeFile(const QString& name, const QByteArray& content, qint64 seconds,
                      long nanos = 0) const
    {
        const QString path = filePath(name);
        const struct timespec time = {static_cast<time_t>(seconds), nanos};
        const struct timespec times[2] = {time, time};
        put(QFile::encodeName(path), content, times);
        return path;
    }
    QByteArray writeFile(const QByteArray& name, const QByteArray& content, qint64 seconds,
                         long nanos = 0) const
    {
        const QByteArray path = nativePath(name);
        const struct timespec time = {static_cast<time_t>(seconds), nanos};
        const struct timespec times[2] = {time, time};
        put(path, content, times);
        return path;
    }

    // A file anywhere, by its full path, with the times as above.
    static void writeFileAt(const QString& path, const QByteArray& content, qint64 seconds,
                            long nanos = 0)
    {
        const struct timespec time = {static_cast<time_t>(seconds), nanos};
        const struct timespec times[2] = {time, time};
        put(QFile::encodeName(path), content, times);
    }

private:
    QTemporaryDir m_dir;

    static void check(bool ok, const char* step, const QByteArray& path)
    {
        if (ok)
            return;
        const QByteArray why = path + ": " + std::strerror(errno);
        QTest::qVerify(false, step, why.constData(), __FILE__, __LINE__);
    }

    static void put(const QByteArray& path, const QByteArray& content, const struct timespec* times)
    {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        check(fd >= 0, "open(path)", path);
        if (fd < 0)
            return;
        const ssize_t written =
            ::write(fd, content.constData(), static_cast<size_t>(content.size()));
        check(written == static_cast<ssize_t>(content.size()), "write(content)", path);
        check(::close(fd) == 0, "close(path)", path);
        if (times)
            check(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0, "utimensat(times)", path);
    }
};
