// How long the event loop was busy at a stretch: a timer due every 10 ms,
// whose lateness at each tick is the stall just over. The window benches
// start it when the measured work starts.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class StallMeter
{
public:
    StallMeter()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout, &m_ticker, [this] {
            if (m_sinceTick.isValid())
                m_longest = qMax(m_longest, m_sinceTick.elapsed() - kTickMs);
            m_sinceTick.restart();
        });
    }
    void start() { m_ticker.start(kTickMs); }
    qint64 longestMs() const { return m_longest; }

private:
    static constexpr int kTickMs = 10;
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};
