// SPDX-License-Identifier: GPL-3.0-or-later
// How a second start of the window reaches the first. The second start
// finds the instance lock held and leaves, but a window the user hid or
// minimised may have no tray icon to bring it back by; so the second start
// first asks the holder to show itself, through a local socket beside the
// lock file. The socket is a file in the user's private lock folder, made
// for its owner alone (never a name in the abstract namespace, which any
// user could reach), and the request is one fixed line: whatever else
// arrives is dropped unread. A holder that does not listen (the daemon)
// leaves the request unanswered, and the second start gives up at once.
//
// Kept out of tarnwick_core: only the window links Qt Network.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace tarnwick {

class InstanceLock;

class InstanceSignal : public QObject
{
    Q_OBJECT

public:
    // The longest a second start waits for the holder to take its request.
    static constexpr int kRequestTimeoutMs = 2000;
    // The longest a connection may stay without having said its request.
    static constexpr int kReadTimeoutMs = 2000;

    explicit InstanceSignal(QObject* parent = nullptr);
    ~InstanceSignal() override;

    // Listens at InstanceLock::socketFilePath(). Only the holder of `lock`
    // may: a socket file already there was left by a holder that ended
    // without closing it, and only the holder can know that and remove it.
    // False with error() set when the lock is not held or the socket cannot
    // be made.
    bool listen(const InstanceLock& lock);
    bool isListening() const;
    const QString& error() const { return m_error; }

    // Asks the holder of the current program folder's lock to show its
    // window, within `timeoutMs` at most. True when the request was handed
    // over; false at once when nobody listens there. Needs a
    // QCoreApplication.
    static bool requestShow(int timeoutMs = kRequestTimeoutMs);

signals:
    // A later start asked for the window.
    void showRequested();

private:
    void serve(QLocalSocket* connection);

    QLocalServer* m_server = nullptr;
    QString m_error;
};

} // namespace tarnwick
