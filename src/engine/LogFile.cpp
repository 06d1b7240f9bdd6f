// Appends with O_APPEND so that lines of runs in other processes never
// overwrite each other.
#include "engine/LogFile.h"

#include "platform/ProgramFolder.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {

LogFile::LogFile(const QString& fileName)
    : m_path(isPlainFileName(fileName) ? LogFolder() + fileName : QString())
{
}

bool LogFile::isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

bool LogFile::append(const QString& line)
{
    return write(line.toUtf8() + kLogLineEnd);
}

void LogFile::add(const QString& line)
{
    m_pending += line.toUtf8();
    m_pending += kLogLineEnd;
}

bool LogFile::flush()
{
    if (m_pending.isEmpty())
        return true;
    const bool written = write(m_pending);
    m_pending.clear();
    return written;
}

bool LogFile::write(const QByteArray& bytes)
{
    if (m_path.isEmpty())
        return false;
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0)
        return false;
    const char* data = bytes.constData();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    bool ok = true;
    while (left > 0) {
        const ssize_t wrote = ::write(fd, data, left);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        data += wrote;
        left -= static_cast<std::size_t>(wrote);
    }
    if (::close(fd) != 0)
        ok = false;
    return ok;
}

} // namespace tarnwick
