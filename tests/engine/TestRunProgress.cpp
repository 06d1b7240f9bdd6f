// SPDX-License-Identifier: GPL-3.0-or-later
// A run's progress between its two threads: the board counts only copies
// that succeeded and forgets a file once its copy has ended, and asks the
// reader once per read however many steps come; the pace hands readings on
// at most every 100 ms and takes the rate over the last three seconds,
// never below zero, and only once readings lie far enough apart.
#include "engine/RunProgress.h"

#include <QTest>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

// A reading at a time: the bytes of whole copies and of the current file.
struct Reading
{
    qint64 atMs;
    quint64 bytesCopied;
    quint64 currentDone;
};

} // namespace

Q_DECLARE_METATYPE(QList<Reading>)

class TestRunProgress : public QObject
{
    Q_OBJECT

private slots:
    void boardKeepsCopiesAndTheCurrentFile();
    void boardAsksOncePerRead();
    void paceWaitsBetweenHandOvers_data();
    void paceWaitsBetweenHandOvers();
    void rateOverTheWindow_data();
    void rateOverTheWindow();
};

void TestRunProgress::boardKeepsCopiesAndTheCurrentFile()
{
    ProgressBoard board;
    RunProgress reading;
    board.looked(3);
    board.copyStarted(u"/src/big"_s, 100);
    board.copyAdvanced(40);
    QVERIFY(board.tryRead(reading));
    QCOMPARE(reading.filesLooked, 3u);
    QCOMPARE(reading.currentFile, u"/src/big"_s);
    QCOMPARE(reading.currentSize, 100u);
    QCOMPARE(reading.currentDone, 40u);
    QCOMPARE(reading.filesCopied, 0u);

    // A failed copy counts nothing; a good one its whole size. Neither
    // leaves its file or its bytes behind as current.
    board.copyEnded(100, false);
    board.copyStarted(u"/src/small"_s, 7);
    board.copyEnded(7, true);
    board.looked(5);
    QVERIFY(board.tryRead(reading));
    QCOMPARE(reading.filesCopied, 1u);
    QCOMPARE(reading.bytesCopied, 7u);
    QCOMPARE(reading.filesLooked, 5u);
    QVERIFY(reading.currentFile.isEmpty());
    QCOMPARE(reading.currentSize, 0u);
    QCOMPARE(reading.currentDone, 0u);

    // What a big file had told is gone when the next one starts.
    board.copyStarted(u"/src/big"_s, 100);
    board.copyAdvanced(90);
    board.copyEnded(100, true);
    board.copyStarted(u"/src/next"_s, 50);
    QVERIFY(board.tryRead(reading));
    QCOMPARE(reading.currentDone, 0u);
    QCOMPARE(reading.bytesCopied, 107u);
}

void TestRunProgress::boardAsksOncePerRead()
{
    ProgressBoard board;
    int asked = 0;
    board.setChanged([&] { ++asked; });
    for (quint64 i = 1; i <= 1000; ++i)
        board.looked(i);
    board.copyStarted(u"a"_s, 1);
    QCOMPARE(asked, 1);
    RunProgress reading;
    QVERIFY(board.tryRead(reading));
    QCOMPARE(asked, 1); // nothing new yet
    board.copyEnded(1, true);
    QCOMPARE(asked, 2);
    board.looked(1001);
    QCOMPARE(asked, 2);
}

void TestRunProgress::paceWaitsBetweenHandOvers_data()
{
    QTest::addColumn<QList<qint64>>("handedAt");
    QTest::addColumn<qint64>("askedAt");
    QTest::addColumn<qint64>("wait");

    QTest::newRow("first reading: at once") << QList<qint64>{} << qint64(5) << qint64(0);
    QTest::newRow("just after one") << QList<qint64>{1000} << qint64(1001) << qint64(99);
    QTest::newRow("halfway") << QList<qint64>{1000} << qint64(1050) << qint64(50);
    QTest::newRow("100 ms on") << QList<qint64>{1000} << qint64(1100) << qint64(0);
    QTest::newRow("long after") << QList<qint64>{1000} << qint64(9000) << qint64(-7900);
    QTest::newRow("from the last of several")
        << QList<qint64>{0, 100, 250} << qint64(300) << qint64(50);
}

void TestRunProgress::paceWaitsBetweenHandOvers()
{
    QFETCH(QList<qint64>, handedAt);
    QFETCH(qint64, askedAt);
    QFETCH(qint64, wait);
    ProgressPace pace;
    for (qint64 at : handedAt)
        pace.take({}, at);
    QCOMPARE(pace.waitMs(askedAt), wait);
}

void TestRunProgress::rateOverTheWindow_data()
{
    QTest::addColumn<QList<Reading>>("readings");
    QTest::addColumn<bool>("known");
    QTest::addColumn<quint64>("rate"); // of the last reading, bytes a second

    const quint64 mb = 1000 * 1000;
    QTest::newRow("one reading: unknown") << QList<Reading>{{0, 0, 0}} << false << quint64(0);
    QTest::newRow("too close together: unknown")
        << QList<Reading>{{0, 0, 0}, {100, mb, 0}} << false << quint64(0);
    QTest::newRow("steady 10 MB/s")
        << QList<Reading>{{0, 0, 0}, {500, 5 * mb, 0}, {1000, 10 * mb, 0}} << true << 10 * mb;
    // Inside one big file the rate moves with the bytes it has told.
    QTest::newRow("within a big file")
        << QList<Reading>{{0, 0, 0}, {1000, 0, 20 * mb}} << true << 20 * mb;
    // Only the last three seconds: a fast start no longer counts.
    QTest::newRow("old readings leave the window")
        << QList<Reading>{{0, 0, 0},
                          {1000, 100 * mb, 0},
                          {2000, 101 * mb, 0},
                          {3000, 102 * mb, 0},
                          {4000, 103 * mb, 0},
                          {5000, 104 * mb, 0}}
        << true << mb;
    // A big copy that failed takes its bytes back.
    QTest::newRow("bytes taken back: zero, not negative")
        << QList<Reading>{{0, 0, 50 * mb}, {1000, 10 * mb, 0}} << true << quint64(0);
    QTest::newRow("nothing copied for a while")
        << QList<Reading>{{0, 7 * mb, 0}, {2000, 7 * mb, 0}} << true << quint64(0);
}

void TestRunProgress::rateOverTheWindow()
{
    QFETCH(QList<Reading>, readings);
    QFETCH(bool, known);
    QFETCH(quint64, rate);
    ProgressPace pace;
    RunProgress last;
    for (const Reading& r : readings) {
        RunProgress reading;
        reading.bytesCopied = r.bytesCopied;
        reading.currentDone = r.currentDone;
        reading.filesCopied = 4;
        last = pace.take(reading, r.atMs);
        // The counters pass through as read.
        QCOMPARE(last.bytesCopied, r.bytesCopied);
        QCOMPARE(last.filesCopied, 4u);
    }
    QCOMPARE(last.rateKnown, known);
    QCOMPARE(last.bytesPerSecond, rate);
}

QTEST_GUILESS_MAIN(TestRunProgress)
#include "TestRunProgress.moc"
