// SPDX-License-Identifier: GPL-3.0-or-later
// Identifiers from the seeded generator, and the step to a free value when
// the drawn one is already stored.
#include "platform/Clock.h"
#include "store/Identifiers.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

class TestIdentifiers : public QObject
{
    Q_OBJECT

private slots:
    void knownDraws_data();
    void knownDraws();
    void sameSecondSameIdentifier();
    void takenIdentifierStepsToNextFree();
};

void TestIdentifiers::knownDraws_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<quint32>("draw");
    // 1234567890 is the worked example; the others pin the 32-bit wrap of
    // the seed and the top bit that a draw clears.
    QTest::newRow("example") << qint64(1234567890) << quint32(26270495);
    QTest::newRow("zero") << qint64(0) << quint32(346);
    QTest::newRow("one") << qint64(1) << quint32(1410184549);
    QTest::newRow("last task value") << qint64(1700008233) << quint32(977782199);
    QTest::newRow("past 2^32") << (qint64(1) << 32) + 1234567890 << quint32(26270495);
}

void TestIdentifiers::knownDraws()
{
    QFETCH(qint64, seconds);
    QFETCH(quint32, draw);
    QCOMPARE(SeededDraw(seconds), draw);
    const FixedClock clock(QDateTime::fromSecsSinceEpoch(seconds));
    QCOMPARE(DrawnTaskID(clock), QString::number(draw % 65535));
    QCOMPARE(DrawnGroupID(clock), QString::number(draw % 999999999));
}

void TestIdentifiers::sameSecondSameIdentifier()
{
    FixedClock clock(QDateTime::fromSecsSinceEpoch(1234567890));
    QCOMPARE(DrawnTaskID(clock), QStringLiteral("56495"));
    QCOMPARE(DrawnGroupID(clock), QStringLiteral("26270495"));
    clock.set(clock.now().addMSecs(999));
    QCOMPARE(DrawnTaskID(clock), QStringLiteral("56495"));
    clock.advance(1);
    QVERIFY(DrawnTaskID(clock) != QStringLiteral("56495"));
}

void TestIdentifiers::takenIdentifierStepsToNextFree()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(path);
    TaskDatabase db;
    db.open(path);
    TaskQuery query(db);
    const FixedClock clock(QDateTime::fromSecsSinceEpoch(1234567890));

    QCOMPARE(NewTaskID(db, clock), QStringLiteral("56495"));
    QCOMPARE(NewGroupID(db, clock), QStringLiteral("26270495"));

    for (const char* id : {"56495", "56496"})
        RunStatement(query, FillStatement(sql::InsertTask,
                                          {QString::fromLatin1(id), QStringLiteral("AllTask"),
                                           QStringLiteral("t"), QString(), QString(), qint64(0)}));
    QCOMPARE(NewTaskID(db, clock), QStringLiteral("56497"));

    // The step wraps at the modulus: the largest value is followed by 0.
    const FixedClock wrapClock(QDateTime::fromSecsSinceEpoch(1700008233)); // draws 65534
    QCOMPARE(NewTaskID(db, wrapClock), QStringLiteral("65534"));
    RunStatement(query, FillStatement(sql::InsertTask,
                                      {QStringLiteral("65534"), QStringLiteral("AllTask"),
                                       QStringLiteral("t"), QString(), QString(), qint64(0)}));
    QCOMPARE(NewTaskID(db, wrapClock), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestIdentifiers)
#include "TestIdentifiers.moc"
