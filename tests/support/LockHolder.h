// SPDX-License-Identifier: GPL-3.0-or-later
// A process of the test's making that holds a lock file as another process
// would: a child that takes an exclusive flock on the file and then either
// stays as it is (it runs the test's own executable) or becomes `sleep`
// (another program). Given no file it holds nothing and only waits, as a
// bystander. SIGHUP ends it either way, so whether it still runs tells
// whether a signal reached it. It is killed when the fixture goes.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

class LockHolderProcess
{
public:
    enum class Runs
    {
        TestProgram,
        Sleep
    };

    explicit LockHolderProcess(Runs runs, const QString& lockFile = QString())
    {
        const QByteArray path = QFile::encodeName(lockFile);
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        const pid_t child = ::fork();
        if (child == 0) {
            // Only async-signal-safe calls from here on: the test has threads.
            ::close(ready[0]);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::signal(SIGHUP, SIG_DFL);
            if (!path.isEmpty()) {
                // Without O_CLOEXEC: `sleep` keeps the file, and the lock.
                const int fd = ::open(path.constData(), O_RDWR | O_CREAT, 0600);
                if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
                    ::_exit(1);
            }
            if (runs == Runs::Sleep) {
                ::execl("/bin/sleep", "sleep", "300", static_cast<char*>(nullptr));
                ::_exit(127);
            }
            if (::write(ready[1], "x", 1) != 1)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        if (child < 0) {
            ::close(ready[0]);
            return;
        }
        m_pid = child;
        // One byte from a child that waits as it is; the end of the pipe
        // (closed on exec) from one that became `sleep` or gave up.
        char byte = 0;
        ssize_t got = 0;
        do
            got = ::read(ready[0], &byte, 1);
        while (got < 0 && errno == EINTR);
        ::close(ready[0]);
        if (runs == Runs::Sleep) {
            const QDeadlineTimer deadline(5000);
            while (isRunning() && !program().endsWith(QStringLiteral("/sleep")) &&
                   !deadline.hasExpired())
                QThread::msleep(10);
        }
    }
    ~LockHolderProcess()
    {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    LockHolderProcess(const LockHolderProcess&) = delete;
    LockHolderProcess& operator=(const LockHolderProcess&) = delete;

    qint64 pid() const { return m_pid; }
    QString program() const
    {
        return QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(m_pid));
    }
    bool isRunning()
    {
        poll();
        return m_pid > 0 && !m_ended;
    }
    // The signal that ended it within `timeoutMs`; 0 while it runs on or
    // when it ended on its own.
    int endingSignal(int timeoutMs)
    {
        static_cast<void>(QTest::qWaitFor(
            [this] {
                poll();
                return m_ended;
            },
            timeoutMs));
        return m_ended && WIFSIGNALED(m_status) ? WTERMSIG(m_status) : 0;
    }

private:
    void poll()
    {
        if (m_pid > 0 && !m_ended && ::waitpid(m_pid, &m_status, WNOHANG) == m_pid)
            m_ended = true;
    }

    pid_t m_pid = -1;
    bool m_ended = false;
    int m_status = 0;
};

// Puts `pid` in the lock file as a holder announcing itself would.
inline void NameInLockFile(const QString& lockFile, qint64 pid)
{
    QFile file(lockFile);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(lockFile));
    QVERIFY(file.write(QByteArray::number(pid) + '\n') > 0);
}
