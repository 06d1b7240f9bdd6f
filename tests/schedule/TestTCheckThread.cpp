// SPDX-License-Identifier: GPL-3.0-or-later
// The checker thread against the real clock: an entry due a moment ahead
// starts its task once, and two entries of one task due in the same second
// start one run.
#include "FakeWatcherHost.h"
#include "TaskFixture.h"

#include "schedule/TCheckThread.h"
#include "store/DateTexts.h"
#include "store/Statements.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

class TestTCheckThread : public QObject
{
    Q_OBJECT

private slots:
    void startsDueEntriesOnce();
    void noEntriesOnlySleepsAndStops();
};

void TestTCheckThread::startsDueEntriesOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(path);
    FakeWatcherHost host;
    host.db.open(path);

    const QDateTime now = QDateTime::currentDateTime();
    const QString due = DateTimeText(now.addSecs(2));
    const QString later = DateTimeText(now.addSecs(3600));
    const QString saved = DateTimeText(now);
    AddTask(host.db, QStringLiteral("1"), QStringLiteral("two entries"), {}, QString(), 2);
    AddTask(host.db, QStringLiteral("2"), QStringLiteral("not yet"), {}, QString(), 2);
    TaskQuery q(host.db);
    for (qint64 kind : {0, 1})
        RunStatement(q,
                     FillStatement(sql::InsertIntervalEntry, {QStringLiteral("1"), kind, qint64(5),
                                                              saved, due, QStringLiteral("0")}));
    RunStatement(q,
                 FillStatement(sql::InsertIntervalEntry, {QStringLiteral("2"), qint64(0), qint64(5),
                                                          saved, later, QStringLiteral("0")}));

    QPointer<TCheckThread> checker = new TCheckThread(host);
    checker->Start();
    QVERIFY(QTest::qWaitFor([&] { return !host.asked.isEmpty(); }, 6000));
    QTest::qWait(1500);
    checker->Terminate();
    QVERIFY(QTest::qWaitFor([&] { return checker.isNull(); }, 3000));

    QCOMPARE(host.started, QStringList({QStringLiteral("1")}));
    QCOMPARE(host.asked, QStringList({QStringLiteral("1"), QStringLiteral("1")}));
}

void TestTCheckThread::noEntriesOnlySleepsAndStops()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(path);
    FakeWatcherHost host;
    host.db.open(path);
    QPointer<TCheckThread> checker = new TCheckThread(host);
    checker->Start();
    QTest::qWait(1200);
    checker->Terminate();
    QVERIFY(QTest::qWaitFor([&] { return checker.isNull(); }, 2000));
    QVERIFY(host.asked.isEmpty());
}

QTEST_GUILESS_MAIN(TestTCheckThread)
#include "TestTCheckThread.moc"
