// SPDX-License-Identifier: GPL-3.0-or-later
// The running-task list: lookups by exact task text in list order, removal
// of the first entry or of one run's own entry, the joined test and start,
// and the change notices that drive the running count.
#include "IdleThread.h"

#include "engine/RunningTaskList.h"
#include "platform/TThread.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>

using namespace tarnwick;

class TestRunningTaskList : public QObject
{
    Q_OBJECT

private slots:
    void lookupsAndRemoval();
    void ownEntryRemovedNotNewerOne();
    void startIfIdleJoinsTestAndStart();
    void stopAllRequestsStopAndReleasesPause();
    void runCommandOneRunPerTask();
    void suspendAndStopCommands();
    void stopBeforeStartRunsNothing();
};

void TestRunningTaskList::lookupsAndRemoval()
{
    RunningTaskList list;
    QSignalSpy counts(&list, &RunningTaskList::countChanged);
    IdleThread a, b, c;
    list.AddEntry(QStringLiteral("12"), &a, true);
    list.AddEntry(QStringLiteral("7"), &b, false);
    list.AddEntry(QStringLiteral("12"), &c, false);
    QVERIFY(list.IsRunning(QStringLiteral("7")));
    QVERIFY(!list.IsRunning(QStringLiteral("1"))); // exact text, not a prefix
    QVERIFY(!list.IsRunning(QStringLiteral("012")));
    QCOMPARE(list.FindFirst(QStringLiteral("12"))->thread, &a);
    QVERIFY(list.FindFirst(QStringLiteral("12"))->startedByHand);
    QVERIFY(!list.FindFirst(QStringLiteral("7"))->startedByHand);

    list.RemoveFirst(QStringLiteral("99")); // no entry: no change, no notice
    QCOMPARE(list.count(), 3);
    list.RemoveFirst(QStringLiteral("12"));
    QCOMPARE(list.FindFirst(QStringLiteral("12"))->thread, &c);
    list.RemoveThread(&b);
    list.RemoveFirst(QStringLiteral("12"));
    // Each notice carries the count after its change: the last one reads 0.
    QList<int> seen;
    for (const QList<QVariant>& notice : std::as_const(counts))
        seen << notice.at(0).toInt();
    QCOMPARE(seen, QList<int>({1, 2, 3, 2, 1, 0}));
    QCOMPARE(list.count(), 0);
}

void TestRunningTaskList::ownEntryRemovedNotNewerOne()
{
    // A stopped run's entry is removed at once; the task is started again;
    // when the stopped run ends it must not take the new run's entry.
    RunningTaskList list;
    IdleThread stopped, restarted;
    list.AddEntry(QStringLiteral("5"), &stopped, true);
    list.RemoveFirst(QStringLiteral("5"));
    list.AddEntry(QStringLiteral("5"), &restarted, true);
    list.RemoveThread(&stopped);
    QVERIFY(list.IsRunning(QStringLiteral("5")));
    QCOMPARE(list.FindFirst(QStringLiteral("5"))->thread, &restarted);
    list.RemoveThread(&restarted);
    QVERIFY(!list.IsRunning(QStringLiteral("5")));
}

void TestRunningTaskList::startIfIdleJoinsTestAndStart()
{
    RunningTaskList list;
    IdleThread first;
    int made = 0;
    const auto make = [&]() -> TThread* {
        ++made;
        return &first;
    };
    QCOMPARE(list.StartIfIdle(QStringLiteral("3"), make), &first);
    QCOMPARE(list.StartIfIdle(QStringLiteral("3"), make), nullptr);
    QCOMPARE(made, 1);
    QVERIFY(!list.FindFirst(QStringLiteral("3"))->startedByHand);
    // A run that cannot be made adds nothing.
    QCOMPARE(list.StartIfIdle(QStringLiteral("4"), [] { return static_cast<TThread*>(nullptr); }),
             nullptr);
    QVERIFY(!list.IsRunning(QStringLiteral("4")));
}

void TestRunningTaskList::stopAllRequestsStopAndReleasesPause()
{
    RunningTaskList list;
    IdleThread running, paused;
    paused.control().pause();
    list.AddEntry(QStringLiteral("1"), &running, true);
    list.AddEntry(QStringLiteral("2"), &paused, false);
    list.StopAll();
    QCOMPARE(list.count(), 0);
    QVERIFY(running.Terminated());
    QVERIFY(paused.Terminated());
    // A paused run passes its next stop check instead of waiting for ever.
    QVERIFY(paused.control().checkpoint());
}

void TestRunningTaskList::runCommandOneRunPerTask()
{
    RunningTaskList list;
    IdleThread made;
    int calls = 0;
    const auto make = [&]() -> TThread* {
        ++calls;
        return &made;
    };
    using Outcome = RunningTaskList::RunOutcome;
    // The new run is added by hand and resumed; its thread then runs to
    // its (empty) end.
    QCOMPARE(list.RunOrResume(QStringLiteral("8"), make), Outcome::Started);
    QVERIFY(list.FindFirst(QStringLiteral("8"))->startedByHand);
    QVERIFY(made.wait(5000));
    // Listed and not suspended: nothing new is started.
    QCOMPARE(list.RunOrResume(QStringLiteral("8"), make), Outcome::AlreadyRunning);
    QCOMPARE(calls, 1);
    QCOMPARE(list.count(), 1);

    // A suspended run of the task is resumed instead of a second one made.
    IdleThread other;
    other.control().pause();
    list.AddEntry(QStringLiteral("9"), &other, false);
    QCOMPARE(list.RunOrResume(QStringLiteral("9"), make), Outcome::Resumed);
    QVERIFY(!other.control().paused());
    QCOMPARE(calls, 1);

    QCOMPARE(list.RunOrResume(QStringLiteral("10"), [] { return static_cast<TThread*>(nullptr); }),
             Outcome::NotCreated);
    QVERIFY(!list.IsRunning(QStringLiteral("10")));
}

void TestRunningTaskList::suspendAndStopCommands()
{
    RunningTaskList list;
    IdleThread run;
    run.Start(); // no longer waiting for its first Resume
    list.AddEntry(QStringLiteral("4"), &run, true);
    QSignalSpy notices(&list, &RunningTaskList::countChanged);
    QVERIFY(!list.SuspendFirst(QStringLiteral("5")));
    QVERIFY(list.SuspendFirst(QStringLiteral("4")));
    QCOMPARE(notices.size(), 1); // the controls follow a suspend too
    QVERIFY(run.control().paused());
    QVERIFY(!list.SuspendFirst(QStringLiteral("4"))); // already suspended
    QVERIFY(!list.StopFirst(QStringLiteral("5")));
    QVERIFY(list.StopFirst(QStringLiteral("4")));
    QVERIFY(run.Terminated());
    QVERIFY(!run.control().paused());
    QVERIFY(!list.IsRunning(QStringLiteral("4")));
    QCOMPARE(notices.last().at(0).toInt(), 0);
}

void TestRunningTaskList::stopBeforeStartRunsNothing()
{
    // A run created suspended and stopped before its first Resume: its
    // body must find the stop request already set, never do any work.
    class Recorder : public TThread
    {
    public:
        Recorder() : TThread(true) {}
        ~Recorder() override { wait(); }
        std::atomic<int> worked{0};

    protected:
        void Execute() override
        {
            if (!Terminated())
                ++worked;
        }
    };
    RunningTaskList list;
    Recorder run;
    list.AddEntry(QStringLiteral("6"), &run, true);
    QVERIFY(list.StopFirst(QStringLiteral("6")));
    QVERIFY(run.wait(5000));
    QCOMPARE(run.worked.load(), 0);
}

QTEST_GUILESS_MAIN(TestRunningTaskList)
#include "TestRunningTaskList.moc"
