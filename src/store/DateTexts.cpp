// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed date and time texts. The forms are not taken from the locale, so the
// window, the command-line companion and the database all agree.
#include "store/DateTexts.h"

#include "store/StoreError.h"

#include <QRegularExpression>

#include <cstdlib>

namespace tarnwick {

QString DateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString TimeText(const QTime& time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString DateTimeText(const QDateTime& at)
{
    const QTime time = at.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0 && time.msec() == 0)
        return DateText(at.date());
    return DateText(at.date()) + u' ' + TimeText(time);
}

QString IsoDateTimeText(const QDateTime& at)
{
    if (!at.isValid() || IsZeroDateTime(at))
        return QString();
    // Seconds are what the stored texts hold; the offset is written out
    // even for UTC (as +00:00), as Qt would write "Z" or nothing.
    const int offset = at.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QChar(u'0'))
               .arg(minutes % 60, 2, 10, QChar(u'0'));
}

QString IsoDateTimeText(const QString& storedText)
{
    // A time alone (on day 0) names no moment.
    const std::optional<QDateTime> at = ParseDateTimeText(storedText);
    return at && at->date() != ZeroDateTime().date() ? IsoDateTimeText(*at) : QString();
}

QDateTime ZeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

bool IsZeroDateTime(const QDateTime& at)
{
    return at == ZeroDateTime();
}

namespace {

// The local moment of a date and time of day. A time the clock skips (the
// spring change of daylight saving time) is taken as the first moment after
// the gap, so a stored next run time there still comes. In the repeated
// autumn hour the zone's rule picks one of the two moments, always the same.
QDateTime LocalMoment(const QDate& date, const QTime& time)
{
    QDateTime at(date, time);
    if (at.isValid())
        return at;
    // Gaps are whole minutes long and shorter than two days.
    const int firstMinute = time.hour() * 60 + time.minute();
    for (int minute = firstMinute + 1; minute <= firstMinute + 2 * 24 * 60; ++minute) {
        const QDateTime candidate(date.addDays(minute / (24 * 60)),
                                  QTime((minute / 60) % 24, minute % 60));
        if (candidate.isValid())
            return candidate;
    }
    return at;
}

} // namespace

std::optional<QDateTime> ParseDateTimeText(const QString& text)
{
    // Three shapes, matched strictly: "yyyy-MM-dd", "HH:mm:ss", both with one blank.
    static const QRegularExpression dateOnly(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    static const QRegularExpression timeOnly(QStringLiteral("^(\\d{2}):(\\d{2}):(\\d{2})$"));
    static const QRegularExpression both(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})$"));

    auto makeDate = [](const QRegularExpressionMatch& m) {
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    };
    auto makeTime = [](const QRegularExpressionMatch& m, int first) {
        return QTime(m.captured(first).toInt(), m.captured(first + 1).toInt(),
                     m.captured(first + 2).toInt());
    };

    if (auto m = both.match(text); m.hasMatch()) {
        const QDate date = makeDate(m);
        const QTime time = makeTime(m, 4);
        if (date.isValid() && time.isValid())
            return LocalMoment(date, time);
        return std::nullopt;
    }
    if (auto m = dateOnly.match(text); m.hasMatch()) {
        const QDate date = makeDate(m);
        if (date.isValid())
            return LocalMoment(date, QTime(0, 0));
        return std::nullopt;
    }
    if (auto m = timeOnly.match(text); m.hasMatch()) {
        const QTime time = makeTime(m, 1);
        if (time.isValid())
            return QDateTime(ZeroDateTime().date(), time);
        return std::nullopt;
    }
    return std::nullopt;
}

QDateTime DateTimeFromText(const QString& text)
{
    if (auto at = ParseDateTimeText(text))
        return *at;
    throw StoreError(QStringLiteral("'%1' is not a valid date and time").arg(text));
}

} // namespace tarnwick
