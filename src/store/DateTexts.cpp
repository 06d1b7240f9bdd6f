// Fixed date and time texts. The forms are not taken from the locale, so the
// window, the command-line companion and the database all agree.
#include "store/DateTexts.h"

#include "store/StoreError.h"

#include <QRegularExpression>

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

QDateTime ZeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

bool IsZeroDateTime(const QDateTime& at)
{
    return at == ZeroDateTime();
}

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
            return QDateTime(date, time);
        return std::nullopt;
    }
    if (auto m = dateOnly.match(text); m.hasMatch()) {
        const QDate date = makeDate(m);
        if (date.isValid())
            return QDateTime(date, QTime(0, 0));
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
