// SPDX-License-Identifier: GPL-3.0-or-later
// Turns process signals (SIGHUP, SIGINT, SIGTERM) into a Qt signal on the
// thread that owns the notifier, through a self-pipe: the handler itself
// only writes one byte, which is all a signal handler may safely do.
#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

namespace tarnwick {

class SignalNotifier : public QObject
{
    Q_OBJECT

public:
    // Only one notifier may exist at a time.
    explicit SignalNotifier(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~SignalNotifier() override;

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
    QList<int> m_signals;
};

} // namespace tarnwick
