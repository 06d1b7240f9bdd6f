// SPDX-License-Identifier: GPL-3.0-or-later
// Sets the process's local time zone (TZ) for one test and puts the old one
// back after it, so daylight-saving cases run the same on every machine.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* zone) : m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_old.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_old);
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    QByteArray m_old;
};
