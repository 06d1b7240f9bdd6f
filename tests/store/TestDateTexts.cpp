// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed date and time texts and their reading back.
#include "store/DateTexts.h"
#include "store/StoreError.h"

#include "ScopedTimeZone.h"

#include <QTest>

using namespace tarnwick;

class TestDateTexts : public QObject
{
    Q_OBJECT

private slots:
    void toText_data();
    void toText();
    void fromText_data();
    void fromText();
    void roundTripSortsInTimeOrder();
    void isoText_data();
    void isoText();
};

void TestDateTexts::toText_data()
{
    QTest::addColumn<QDateTime>("at");
    QTest::addColumn<QString>("dateTimeText");
    QTest::newRow("morning") << QDateTime(QDate(2026, 12, 9), QTime(9, 5)) << "2026-12-09 09:05:00";
    QTest::newRow("evening") << QDateTime(QDate(2026, 1, 2), QTime(23, 59, 59))
                             << "2026-01-02 23:59:59";
    QTest::newRow("midnight") << QDateTime(QDate(2026, 12, 9), QTime(0, 0)) << "2026-12-09";
    QTest::newRow("one second past")
        << QDateTime(QDate(2026, 12, 9), QTime(0, 0, 1)) << "2026-12-09 00:00:01";
    QTest::newRow("zero") << ZeroDateTime() << "1899-12-30";
}

void TestDateTexts::toText()
{
    QFETCH(QDateTime, at);
    QFETCH(QString, dateTimeText);
    QCOMPARE(DateTimeText(at), dateTimeText);
    QCOMPARE(DateText(at.date()), dateTimeText.left(10));
}

void TestDateTexts::fromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: refused
    QTest::newRow("date time") << "2026-12-09 09:05:00"
                               << QDateTime(QDate(2026, 12, 9), QTime(9, 5));
    QTest::newRow("date only is midnight")
        << "2026-12-09" << QDateTime(QDate(2026, 12, 9), QTime(0, 0));
    QTest::newRow("time alone is on day 0")
        << "09:05:00" << QDateTime(QDate(1899, 12, 30), QTime(9, 5));
    QTest::newRow("empty") << "" << QDateTime();
    QTest::newRow("single digits") << "2026-1-9" << QDateTime();
    QTest::newRow("two blanks") << "2026-12-09  09:05:00" << QDateTime();
    QTest::newRow("no seconds") << "2026-12-09 09:05" << QDateTime();
    QTest::newRow("day 31 of November") << "2026-11-31" << QDateTime();
    QTest::newRow("hour 24") << "24:00:00" << QDateTime();
    QTest::newRow("trailing text") << "2026-12-09x" << QDateTime();
}

void TestDateTexts::fromText()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const auto parsed = ParseDateTimeText(text);
    QCOMPARE(parsed.has_value(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(*parsed, expected);
        QCOMPARE(DateTimeFromText(text), expected);
    } else {
        QVERIFY_THROWS_EXCEPTION(StoreError, DateTimeFromText(text));
    }
}

void TestDateTexts::roundTripSortsInTimeOrder()
{
    const QDateTime start(QDate(2026, 2, 27), QTime(22, 0));
    QString previous;
    for (int hour = 0; hour < 72; hour += 5) {
        const QDateTime at = start.addSecs(hour * 3600 + 17);
        const QString text = DateTimeText(at);
        QCOMPARE(DateTimeFromText(text), at);
        QVERIFY2(previous < text, qPrintable(previous + QStringLiteral(" !< ") + text));
        previous = text;
    }
}

void TestDateTexts::isoText_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("iso"); // empty: no moment

    QTest::newRow("winter in Berlin") << QByteArray("Europe/Berlin") << "2026-12-11 08:36:54"
                                      << "2026-12-11T08:36:54+01:00";
    QTest::newRow("summer in Berlin") << QByteArray("Europe/Berlin") << "2026-07-01 23:59:59"
                                      << "2026-07-01T23:59:59+02:00";
    QTest::newRow("midnight, stored as a date")
        << QByteArray("Europe/Berlin") << "2026-12-11" << "2026-12-11T00:00:00+01:00";
    QTest::newRow("west of UTC by half hours") << QByteArray("America/St_Johns")
                                               << "2026-12-11 08:00:00" << "2026-12-11T08:00:00-03:30";
    QTest::newRow("UTC keeps its offset") << QByteArray("UTC") << "2026-12-11 08:36:54"
                                          << "2026-12-11T08:36:54+00:00";
    QTest::newRow("day 0, an empty column") << QByteArray("UTC") << "1899-12-30" << "";
    QTest::newRow("a time alone") << QByteArray("UTC") << "08:36:54" << "";
    QTest::newRow("no date at all") << QByteArray("UTC") << "Manually" << "";
}

void TestDateTexts::isoText()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, stored);
    QFETCH(QString, iso);
    const ScopedTimeZone scoped(zone.constData());
    QCOMPARE(IsoDateTimeText(stored), iso);
    // What a JSON reader makes of it is the stored moment.
    if (!iso.isEmpty())
        QCOMPARE(QDateTime::fromString(iso, Qt::ISODate).toMSecsSinceEpoch(),
                 DateTimeFromText(stored).toMSecsSinceEpoch());
}

QTEST_GUILESS_MAIN(TestDateTexts)
#include "TestDateTexts.moc"
