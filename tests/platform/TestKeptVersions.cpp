// SPDX-License-Identifier: GPL-3.0-or-later
// The names of kept versions, there and back, and the move into the
// versions folder that never overwrites a version.
#include "platform/KeptVersions.h"

#include "TestDir.h"

#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

class TestKeptVersions : public QObject
{
    Q_OBJECT

private slots:
    void namesThereAndBack_data();
    void namesThereAndBack();
    void otherNamesAreNoVersions_data();
    void otherNamesAreNoVersions();
    void takenNamesAreNeverReplaced();
    void indexListsWhatWasKept();
};

void TestKeptVersions::namesThereAndBack_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QByteArray>("version");

    QTest::newRow("extension") << QByteArray("report.txt") << 1
                               << QByteArray("report 2026-12-11 140307.txt");
    QTest::newRow("two dots: the last one")
        << QByteArray("archive.tar.gz") << 1 << QByteArray("archive.tar 2026-12-11 140307.gz");
    QTest::newRow("only a leading dot")
        << QByteArray(".bashrc") << 1 << QByteArray(".bashrc 2026-12-11 140307");
    QTest::newRow("no dot") << QByteArray("noext") << 1 << QByteArray("noext 2026-12-11 140307");
    QTest::newRow("leading dot and extension")
        << QByteArray(".config.json") << 1 << QByteArray(".config 2026-12-11 140307.json");
    QTest::newRow("trailing dot") << QByteArray("odd.") << 1
                                  << QByteArray("odd 2026-12-11 140307.");
    QTest::newRow("counter") << QByteArray("report.txt") << 2
                             << QByteArray("report 2026-12-11 140307 (2).txt");
    QTest::newRow("counter, no extension")
        << QByteArray(".bashrc") << 13 << QByteArray(".bashrc 2026-12-11 140307 (13)");
    // A name that looks like a version itself keeps its own look.
    QTest::newRow("name like a version")
        << QByteArray("x 2020-01-01 000000 (2).txt") << 1
        << QByteArray("x 2020-01-01 000000 (2) 2026-12-11 140307.txt");
}

void TestKeptVersions::namesThereAndBack()
{
    QFETCH(QByteArray, name);
    QFETCH(int, counter);
    QFETCH(QByteArray, version);

    const QDateTime at(QDate(2026, 12, 11), QTime(14, 3, 7, 999));
    QCOMPARE(VersionName(name, at, counter), version);
    VersionOfName parsed;
    QVERIFY(ParseVersionName(version, parsed));
    QCOMPARE(parsed.original, name);
    QCOMPARE(parsed.when, quint64(20261211140307));
    QCOMPARE(parsed.counter, counter);
}

void TestKeptVersions::otherNamesAreNoVersions_data()
{
    // Only these names could ever be removed as old versions: none of them
    // is one, so a user's file of such a name is safe.
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("plain name") << QByteArray("report.txt");
    QTest::newRow("something after the extension")
        << QByteArray("report 2026-12-11 140307.txt.bak");
    QTest::newRow("a second short") << QByteArray("report 2026-12-11 14030.txt");
    QTest::newRow("letters for digits") << QByteArray("report 2026-12-11 14o307.txt");
    QTest::newRow("colons in the time") << QByteArray("report 2026-12-11 14:03:07.txt");
    QTest::newRow("counter 1 is never written") << QByteArray("report 2026-12-11 140307 (1).txt");
    QTest::newRow("counter with a leading zero") << QByteArray("report 2026-12-11 140307 (02).txt");
    QTest::newRow("no stem") << QByteArray(" 2026-12-11 140307.txt");
    // "a.b" would have been kept as "a 2026-12-11 140307.b".
    QTest::newRow("extension left in the stem") << QByteArray("a.b 2026-12-11 140307");
    QTest::newRow("no space before the time") << QByteArray("report2026-12-11 140307.txt");
}

void TestKeptVersions::otherNamesAreNoVersions()
{
    QFETCH(QByteArray, name);
    VersionOfName parsed;
    QVERIFY(!ParseVersionName(name, parsed));
}

void TestKeptVersions::takenNamesAreNeverReplaced()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    dir.makeDir(u"t"_s);
    dir.makeDir(u"v"_s);
    dir.writeFile(u"t/f.txt"_s, "old");
    dir.writeFile(u"v/f 2026-12-11 140307.txt"_s, "first");
    dir.writeFile(u"v/f 2026-12-11 140307 (2).txt"_s, "second");
    const int target = ::open(QFile::encodeName(dir.filePath(u"t"_s)).constData(), O_DIRECTORY);
    const int versions = ::open(QFile::encodeName(dir.filePath(u"v"_s)).constData(), O_DIRECTORY);
    QVERIFY(target >= 0 && versions >= 0);

    const QDateTime at(QDate(2026, 12, 11), QTime(14, 3, 7));
    QByteArray kept;
    bool moved = false;
    const int error = KeepVersion(
        target, "f.txt", versions, [&](int counter) { return VersionName("f.txt", at, counter); },
        1, kept, moved);
    ::close(target);
    ::close(versions);
    QCOMPARE(error, 0);
    QCOMPARE(kept, QByteArray("f 2026-12-11 140307 (3).txt"));
    QVERIFY(moved);
    QVERIFY(!QFile::exists(dir.filePath(u"t/f.txt"_s)));
    QFile first(dir.filePath(u"v/f 2026-12-11 140307.txt"_s)),
        second(dir.filePath(u"v/f 2026-12-11 140307 (2).txt"_s)),
        third(dir.filePath(u"v/f 2026-12-11 140307 (3).txt"_s));
    QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly) &&
            third.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), QByteArray("first"));
    QCOMPARE(second.readAll(), QByteArray("second"));
    QCOMPARE(third.readAll(), QByteArray("old"));
}

// The index of what this program kept: none at first, each name added
// once, written anew in one step, and no temporary file left.
void TestKeptVersions::indexListsWhatWasKept()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    dir.makeDir(u"v"_s);
    const int versions = ::open(QFile::encodeName(dir.filePath(u"v"_s)).constData(), O_DIRECTORY);
    QVERIFY(versions >= 0);
    QCOMPARE(ReadKeptIndex(versions), QList<QByteArray>());
    QCOMPARE(AddToKeptIndex(versions, "a 2026-12-11 140307.txt"), 0);
    QCOMPARE(AddToKeptIndex(versions, "b 2026-12-11 140307"), 0);
    QCOMPARE(AddToKeptIndex(versions, "line\nbreak"), int(EINVAL));
    QCOMPARE(ReadKeptIndex(versions),
             (QList<QByteArray>{"a 2026-12-11 140307.txt", "b 2026-12-11 140307"}));
    QCOMPARE(RewriteKeptIndex(versions, {"b 2026-12-11 140307"}), 0);
    QCOMPARE(ReadKeptIndex(versions), QList<QByteArray>{"b 2026-12-11 140307"});
    ::close(versions);
    QCOMPARE(QDir(dir.filePath(u"v"_s)).entryList(QDir::Files | QDir::Hidden),
             QStringList{u".tarnwick-kept"_s});
}

QTEST_GUILESS_MAIN(TestKeptVersions)
#include "TestKeptVersions.moc"
