// SPDX-License-Identifier: GPL-3.0-or-later
// The log size check at start-up, over the system calls, so that the whole
// 64-bit size is seen and a failure comes with the system's own reason. The
// file is emptied in place rather than replaced: it keeps its owner, its
// mode and any link that leads to it, as the appends that follow do.
#include "engine/LogSizeLimit.h"

#include "engine/LogFile.h"
#include "platform/Clock.h"
#include "store/DateTexts.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

using Outcome = LogSizeLimitResult::Outcome;

LogSizeLimitResult Failure(const QString& what, const QString& path, int error)
{
    return {Outcome::Failed, what.arg(path, qt_error_string(error))};
}

LogSizeLimitResult ResetFailure(const QString& path, int error)
{
    return Failure(QStringLiteral("Cannot reset the log file '%1': %2"), path, error);
}

bool IsOverLimit(const struct stat& status, qint32 maxLogFileSize)
{
    const auto kilobytes = static_cast<quint64>(status.st_size) >> 10;
    return S_ISREG(status.st_mode) && kilobytes > static_cast<quint64>(maxLogFileSize);
}

bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t wrote = ::write(fd, data, left);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += wrote;
        left -= static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

QString LogHeaderLine(const Clock& clock)
{
    return QStringLiteral("************************Tarnwick Log************************ %1")
        .arg(DateTimeText(clock.now()));
}

LogSizeLimitResult ApplyLogSizeLimit(const QString& logFileName, qint32 maxLogFileSize,
                                     const Clock& clock)
{
    if (logFileName.isEmpty())
        return {};
    // Said even without a limit: the runs drop every line of such a name
    // without a word, so the start is the one place the user hears of it.
    if (!LogFile::isPlainFileName(logFileName)) {
        return {Outcome::RefusedName,
                QStringLiteral("The log file name '%1' is not a plain file name in the Log "
                               "folder; no log file is written.")
                    .arg(logFileName)};
    }
    if (maxLogFileSize <= 0)
        return {};

    const QString path = LogFile(logFileName).path();
    const QByteArray native = QFile::encodeName(path);
    struct stat status
    {
    };
    if (::stat(native.constData(), &status) != 0) {
        // No file (or no Log folder) yet: the first line makes it.
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return Failure(QStringLiteral("Cannot look up the size of the log file '%1': %2"), path,
                       errno);
    }
    if (!IsOverLimit(status, maxLogFileSize))
        return {};

    // Non-blocking, so that a fifo put in the file's place since the look-up
    // cannot hold the start up; the descriptor is checked again below.
    const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return ResetFailure(path, errno);
    if (::fstat(fd, &status) != 0 || !IsOverLimit(status, maxLogFileSize)) {
        ::close(fd);
        return {};
    }
    const QByteArray header = LogHeaderLine(clock).toUtf8() + kLogLineEnd;
    if (::ftruncate(fd, 0) != 0 || !WriteAll(fd, header)) {
        const int error = errno;
        // Empty rather than a torn header, so the next line starts clean;
        // the failure to report is the first one.
        if (::ftruncate(fd, 0) != 0) {
        }
        ::close(fd);
        return ResetFailure(path, error);
    }
    if (::close(fd) != 0)
        return ResetFailure(path, errno);
    return {Outcome::Reset, {}};
}

} // namespace tarnwick
