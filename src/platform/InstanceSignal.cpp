// SPDX-License-Identifier: GPL-3.0-or-later
// The holder's socket and the second start's request. The listener only
// ever reacts to what has arrived (readyRead), reads no more than the
// request's length and drops a connection that says anything else or
// nothing for too long, so no client can hold up the window's thread or
// fill its memory.
#include "platform/InstanceSignal.h"

#include "platform/InstanceLock.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <memory>

namespace tarnwick {

namespace {

// The whole request: one fixed line.
constexpr QByteArrayView kShowRequest("show\n");

void Drop(QLocalSocket* connection)
{
    connection->abort();
    connection->deleteLater();
}

} // namespace

InstanceSignal::InstanceSignal(QObject* parent) : QObject(parent) {}

InstanceSignal::~InstanceSignal() = default;

bool InstanceSignal::isListening() const
{
    return m_server && m_server->isListening();
}

bool InstanceSignal::listen(const InstanceLock& lock)
{
    if (isListening())
        return true;
    m_error.clear();
    const QString path = InstanceLock::socketFilePath();
    if (!lock.isHeld()) {
        m_error =
            QStringLiteral("Cannot listen at %1: this process does not hold the instance lock")
                .arg(path);
        return false;
    }
    // Whatever is there belongs to a holder that has ended: this process
    // holds the lock now. What cannot be removed fails the listen below.
    QLocalServer::removeServer(path);
    auto server = std::make_unique<QLocalServer>(this);
    // The owner alone may connect, whatever the folder's mode.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        m_error = QStringLiteral("Cannot listen at %1: %2").arg(path, server->errorString());
        return false;
    }
    connect(server.get(), &QLocalServer::newConnection, this, [this] {
        while (m_server->hasPendingConnections())
            serve(m_server->nextPendingConnection());
    });
    m_server = server.release();
    return true;
}

void InstanceSignal::serve(QLocalSocket* connection)
{
    // Qt's own buffer takes no more than the request either.
    connection->setReadBufferSize(kShowRequest.size());
    auto received = std::make_shared<QByteArray>();
    connect(connection, &QLocalSocket::readyRead, this, [this, connection, received] {
        received->append(connection->read(kShowRequest.size() - received->size()));
        if (!kShowRequest.startsWith(*received)) {
            Drop(connection);
        } else if (received->size() == kShowRequest.size()) {
            // One request per connection; what follows it is not read.
            Drop(connection);
            emit showRequested();
        }
    });
    connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
    QTimer::singleShot(kReadTimeoutMs, connection, [connection] { Drop(connection); });
}

bool InstanceSignal::requestShow(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(InstanceLock::socketFilePath(), QIODevice::WriteOnly);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return false;
    socket.write(kShowRequest.data(), kShowRequest.size());
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            break;
    }
    const bool handedOver = socket.bytesToWrite() == 0;
    socket.abort();
    return handedOver;
}

} // namespace tarnwick
