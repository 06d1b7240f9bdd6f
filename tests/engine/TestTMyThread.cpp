// SPDX-License-Identifier: GPL-3.0-or-later
// A run on its own thread: lines handed to the user-interface thread in
// order and in bounded batches, switched-off kinds never handed over, the
// schedule moved on after the walk, a stopped suspended run still writing
// its summary, and a run that ends leaving only its own list entry.
#include "ProgramFolder.h"
#include "TaskFixture.h"
#include "WavFile.h"

#include "IdleThread.h"
#include "TestDir.h"

#include "engine/RunningTaskList.h"
#include "engine/TMyThread.h"
#include "platform/Registry.h"
#include "store/Settings.h"
#include "store/TaskList.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <mutex>

#include <utime.h>

using namespace tarnwick;

namespace {

class FakeHost : public RunHost
{
public:
    TaskDatabase db;
    RunningTaskList list;
    QList<ShownLine> shown;
    int handOvers = 0;
    QString lastRun, nextRun, failure;
    int created = 0, ended = 0, boxes = 0;
    std::atomic<int> appended{0};

    TaskDatabase& runDatabase() override { return db; }
    RunningTaskList& runningTasks() override { return list; }
    void runCreated(TMyThread*) override { ++created; }
    void appendLogLines(LogFile&, const QList<ShownLine>& lines) override
    {
        ++handOvers;
        shown += lines;
        appended += int(lines.size());
    }
    void taskTimesChanged(const QString&, const QString& last, const QString& next) override
    {
        lastRun = last;
        nextRun = next;
    }
    void showFinishedMessage(const QString&) override
    {
        ++boxes;
        sinceBox.start();
    }
    void runProgress(TMyThread*, const RunProgress& progress) override
    {
        if (!sinceProgress.isValid())
            sinceProgress.start();
        progressAt << sinceProgress.elapsed();
        progresses << progress;
        if (ended > 0)
            ++progressAfterEnd;
    }
    QList<RunProgress> progresses;
    QList<qint64> progressAt; // ms since the first
    QElapsedTimer sinceProgress;
    int progressAfterEnd = 0;
    void runEnded(TMyThread*, const QString& error) override
    {
        ++ended;
        failure = error;
        if (sinceBox.isValid())
            boxToEndMs = sinceBox.elapsed();
    }
    QElapsedTimer sinceBox;
    qint64 boxToEndMs = -1;
};

// Waits, serving the hand-overs, until the thread object is gone.
bool waitGone(const QPointer<TMyThread>& run, int ms = 30000)
{
    return QTest::qWaitFor([&] { return run.isNull(); }, ms);
}

} // namespace

class TestTMyThread : public QObject
{
    Q_OBJECT

private:
    ProgramFolderFixture m_folder;
    TestDir& m_home = m_folder.home;
    TestDir& m_config = m_folder.config;
    std::unique_ptr<FakeHost> m_host;
    int m_task = 0;

    QString addTask(const QString& name, int files, qint64 mode = 0)
    {
        const QString id = QString::number(++m_task);
        const QString src = m_home.makeDir(QStringLiteral("src") + id);
        for (int i = 0; i < files; ++i)
            m_home.writeFile(QStringLiteral("%1/f%2.txt").arg(src).arg(i, 4, 10, QLatin1Char('0')),
                             "data");
        AddTask(m_host->db, id, name, {{src, true}}, m_home.filePath(QStringLiteral("dst") + id),
                mode);
        m_home.makeDir(QStringLiteral("dst") + id);
        return id;
    }

    void writeOptions(bool copyMsg)
    {
        OptionSettings options;
        options.copyMsg = copyMsg;
        options.thrdPri = 3;
        WriteOptionSettings(options);
    }

private slots:
    void init();
    void cleanup();
    void runsAndHandsOverShownLinesInOrder();
    void switchedOffKindsCostNoHandOver();
    void logNeverLagsMoreThanABatch();
    void lineReachesHostWhileRunWaits();
    void stopOnSuspendedRunWritesSummary();
    void progressHandedOutWhileCopying();
    void endingRunRemovesOnlyItsOwnEntry();
    void settingsReadFailureCreatesNoRun();
    void finishBoxThenSound_data();
    void finishBoxThenSound();
};

void TestTMyThread::init()
{
    m_host = std::make_unique<FakeHost>();
    m_host->db.open(m_home.filePath(QStringLiteral("Tarnwick.dat")));
    QFile::remove(m_config.filePath(QStringLiteral("Tarnwick/user.reg")));
}

void TestTMyThread::cleanup()
{
    m_host.reset();
}

void TestTMyThread::runsAndHandsOverShownLinesInOrder()
{
    const QString id = addTask(QStringLiteral("Bob's run"), 3);
    QStringList echoed;
    std::mutex echoMutex;
    QPointer<TMyThread> run = new TMyThread(false, id, *m_host);
    run->setEcho([&](LogKind, const QString& line, quint32) {
        std::lock_guard lock(echoMutex);
        echoed << line;
    });
    m_host->list.AddEntry(id, run, false);
    run->Start();
    QVERIFY(waitGone(run));

    QCOMPARE(m_host->created, 1);
    QCOMPARE(m_host->ended, 1);
    QCOMPARE(m_host->failure, QString());
    QVERIFY(!m_host->list.IsRunning(id));

    // Every line is echoed; with no options key only the start/finish kind
    // is shown, in green, in the same order.
    QCOMPARE(echoed.size(), 3 + 7);
    QStringList shownTexts;
    for (const ShownLine& line : std::as_const(m_host->shown)) {
        QCOMPARE(line.kind, LogKind::StartFinish);
        QCOMPARE(line.colour, quint32(0x008000));
        shownTexts << line.text;
    }
    QStringList expected = echoed;
    expected.erase(
        std::remove_if(expected.begin(), expected.end(),
                       [](const QString& l) { return l.contains(QStringLiteral("Mirroring:")); }),
        expected.end());
    QCOMPARE(shownTexts, expected);
    QVERIFY(shownTexts.last().endsWith(QStringLiteral("synchronize finished  [Bob's run]")));

    // The after-walk step moved the manual marker row on.
    QVERIFY(shownTexts.first().startsWith(m_host->lastRun));
    QCOMPARE(m_host->nextRun, QStringLiteral("Manually"));
    QCOMPARE(LastRunCellText(m_host->db, id), m_host->lastRun);
    QCOMPARE(m_host->boxes, 0);
}

void TestTMyThread::switchedOffKindsCostNoHandOver()
{
    const QString id = addTask(QStringLiteral("quiet"), 300);
    QPointer<TMyThread> run = new TMyThread(false, id, *m_host);
    run->Start();
    QVERIFY(waitGone(run));
    QCOMPARE(m_host->shown.size(), 7);
    // The started line, the summary block: not one hand-over per file.
    QVERIFY2(m_host->handOvers <= 3, qPrintable(QString::number(m_host->handOvers)));
}

void TestTMyThread::logNeverLagsMoreThanABatch()
{
    writeOptions(true);
    const QString id = addTask(QStringLiteral("loud"), 400);
    std::atomic<int> emitted{0};
    std::atomic<int> worstLag{0};
    QPointer<TMyThread> run = new TMyThread(false, id, *m_host);
    QVERIFY(run->settings().copyMsg);
    run->setEcho([&](LogKind, const QString&, quint32) {
        const int lag = ++emitted - m_host->appended.load();
        if (lag > worstLag)
            worstLag = lag;
    });
    run->Start();
    QVERIFY(waitGone(run));
    QCOMPARE(m_host->shown.size(), 400 + 7);
    QVERIFY2(worstLag <= TMyThread::kMaxPendingLines, qPrintable(QString::number(worstLag)));
    QVERIFY(m_host->handOvers >= 400 / TMyThread::kMaxPendingLines);
}

void TestTMyThread::lineReachesHostWhileRunWaits()
{
    // The run stops right after announcing a copy (as during a long copy,
    // or a pause): the announcement must not wait for a next line.
    writeOptions(true);
    const QString id = addTask(QStringLiteral("waiting"), 3);
    QPointer<TMyThread> run = new TMyThread(false, id, *m_host);
    TMyThread* raw = run.data();
    std::atomic<bool> suspended{false};
    QString announced;
    run->setEcho([&](LogKind kind, const QString& line, quint32) {
        if (kind == LogKind::Copy && !suspended.exchange(true)) {
            announced = line;
            raw->Suspend();
        }
    });
    m_host->list.AddEntry(id, run, true);
    run->Start();
    QVERIFY(QTest::qWaitFor([&] { return suspended.load(); }, 10000));
    QVERIFY(QTest::qWaitFor(
        [&] {
            return !m_host->shown.isEmpty() && m_host->shown.last().text == announced;
        },
        1000));
    QVERIFY(run && run->Suspended());
    m_host->list.StopAll();
    QVERIFY(waitGone(run));
}

void TestTMyThread::progressHandedOutWhileCopying()
{
    // The run is paused inside the copy of a big file (at the gate between
    // its pieces of data): the window must see that file and how far it is.
    const QString id = addTask(QStringLiteral("big one"), 300);
    const QString big = m_home.filePath(QStringLiteral("src%1/big").arg(id));
    const qint64 mib = 1 << 20;
    {
        QFile file(big);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(100 * mib));
        for (qint64 at : {qint64(0), 50 * mib, 99 * mib})
            QVERIFY(file.seek(at) && file.write("data") == 4);
    }
    QPointer<TMyThread> run = new TMyThread(false, id, *m_host);
    TMyThread* raw = run.data();
    std::atomic<bool> suspended{false};
    run->setEcho([&](LogKind kind, const QString& line, quint32) {
        if (kind == LogKind::Copy && line.endsWith(big) && !suspended.exchange(true))
            raw->Suspend();
    });
    m_host->list.AddEntry(id, run, true);
    run->Start();
    const auto atBig = [&] {
        return !m_host->progresses.isEmpty() && m_host->progresses.last().currentFile == big &&
               m_host->progresses.last().currentDone == quint64(50 * mib);
    };
    QVERIFY(QTest::qWaitFor(atBig, 10000));
    const RunProgress held = m_host->progresses.last();
    QCOMPARE(held.currentSize, quint64(100 * mib));
    // Every file met before it was new and copied.
    QCOMPARE(held.filesCopied, held.filesLooked - 1);
    QCOMPARE(held.bytesCopied, held.filesCopied * 4);
    QTest::qWait(300);
    QVERIFY(run && run->Suspended());
    QCOMPARE(m_host->progresses.last(), held); // nothing new while paused

    run->Resume();
    QVERIFY(waitGone(run));
    QCOMPARE(m_host->progressAfterEnd, 0);
    // Never closer together than the pace allows (a millisecond of slack
    // for the two clocks).
    for (qsizetype i = 1; i < m_host->progressAt.size(); ++i)
        QVERIFY2(m_host->progressAt[i] - m_host->progressAt[i - 1] >= ProgressPace::kGapMs - 1,
                 qPrintable(QString::number(m_host->progressAt[i] - m_host->progressAt[i - 1])));
}

void TestTMyThread::stopOnSuspendedRunWritesSummary()
{
    writeOptions(true);
    const QString id = addTask(QStringLiteral("paused"), 200);
    QPointer<TMyThread> run = new TMyThread(false, id, *m_host);
    TMyThread* raw = run.data();
    std::atomic<bool> suspended{false};
    run->setEcho([&](LogKind kind, const QString&, quint32) {
        if (kind == LogKind::Copy && !suspended.exchange(true))
            raw->Suspend();
    });
    m_host->list.AddEntry(id, run, true);
    run->Start();
    QVERIFY(QTest::qWaitFor([&] { return suspended.load(); }, 10000));
    QTest::qWait(200);
    QVERIFY(run && run->Suspended() && run->isRunning());

    m_host->list.StopAll();
    QVERIFY(waitGone(run));
    QVERIFY(m_host->shown.size() >= 7);
    // The summary block and the finished line close the run.
    const QList<ShownLine> tail = m_host->shown.mid(m_host->shown.size() - 6);
    QVERIFY(tail.at(0).text.endsWith(QStringLiteral("Summary:")));
    QVERIFY2(tail.at(4).text.endsWith(QStringLiteral("Status   : Mirror Stopped!!")),
             qPrintable(tail.at(4).text));
    QVERIFY(tail.at(5).text.contains(QStringLiteral("synchronize finished")));
    // The stop came early: most files were never reached.
    QVERIFY2(!tail.at(1).text.contains(QStringLiteral(" 200 files")), qPrintable(tail.at(1).text));
}

void TestTMyThread::endingRunRemovesOnlyItsOwnEntry()
{
    const QString id = addTask(QStringLiteral("twice"), 1);
    // An older entry of the same task stands first in the list.
    IdleThread older;
    m_host->list.AddEntry(id, &older, true);
    QPointer<TMyThread> run = new TMyThread(false, id, *m_host);
    m_host->list.AddEntry(id, run, false);
    run->Start();
    QVERIFY(waitGone(run));
    QCOMPARE(m_host->list.count(), 1);
    QCOMPARE(m_host->list.FindFirst(id)->thread, &older);
}

void TestTMyThread::settingsReadFailureCreatesNoRun()
{
    Registry registry;
    QVERIFY(registry.openKey(QString::fromLatin1(kOptionKeyPath), true));
    registry.writeString(QStringLiteral("LogFileName"), QStringLiteral("x.log"));
    registry.closeKey();
    const QString id = addTask(QStringLiteral("never"), 1);
    try {
        new TMyThread(false, id, *m_host);
        QFAIL("created");
    } catch (const RegistryError& e) {
        QCOMPARE(e.message(), QStringLiteral("Failed to get data for 'StartFilshMsg'"));
    }
    QCOMPARE(m_host->created, 0);
}

void TestTMyThread::finishBoxThenSound_data()
{
    QTest::addColumn<bool>("playable");
    QTest::newRow("sound plays to its end") << true;
    QTest::newRow("missing sound file is passed over") << false;
}

void TestTMyThread::finishBoxThenSound()
{
    QFETCH(bool, playable);
    qputenv("SDL_AUDIODRIVER", "dummy");
    const QString wav = m_home.filePath(QStringLiteral("done.wav"));
    QFile::remove(wav);
    if (playable)
        QVERIFY(WriteSilentWav(wav, 400));
    OptionSettings options;
    options.showDlg = true;
    options.playSound = true;
    options.soundFile = wav;
    WriteOptionSettings(options);

    const QString id = addTask(QStringLiteral("noisy"), 1);
    QPointer<TMyThread> run = new TMyThread(false, id, *m_host);
    m_host->list.AddEntry(id, run, false);
    run->Start();
    QVERIFY(waitGone(run));
    QCOMPARE(m_host->boxes, 1);
    QCOMPARE(m_host->failure, QString());
    // The entry stays until box and sound are both over.
    QVERIFY(!m_host->list.IsRunning(id));
    if (playable)
        QVERIFY2(m_host->boxToEndMs >= 300, qPrintable(QString::number(m_host->boxToEndMs)));
}

QTEST_GUILESS_MAIN(TestTMyThread)
#include "TestTMyThread.moc"
