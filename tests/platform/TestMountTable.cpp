// SPDX-License-Identifier: GPL-3.0-or-later
// The mount table: its lines read as the kernel writes them (escaped blanks
// included), the mount that holds a path, and a real mount waking the
// watcher.
#include "TestDir.h"
#include "platform/MountTable.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <sys/mount.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QList<tarnwick::MountPoint>)

class TestMountTable : public QObject
{
    Q_OBJECT

private slots:
    void linesAsTheKernelWritesThem_data();
    void linesAsTheKernelWritesThem();
    void mountHoldingAPath_data();
    void mountHoldingAPath();
    void realMountWakesTheWatcher();
};

void TestMountTable::linesAsTheKernelWritesThem_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<MountPoint>>("table");
    QTest::newRow("root and a drive")
        << QByteArray("22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                      "95 22 8:17 / /media/backup rw,nosuid shared:50 - vfat /dev/sdb1 rw\n")
        << QList<MountPoint>{{22, u"/"_s}, {95, u"/media/backup"_s}};
    QTest::newRow("blanks, tabs and backslashes escaped")
        << QByteArray("40 22 0:5 / /media/My\\040Disk rw - tmpfs x rw\n"
                      "41 22 0:6 / /mnt/a\\011b\\134c rw - tmpfs x rw\n")
        << QList<MountPoint>{{40, u"/media/My Disk"_s}, {41, u"/mnt/a\tb\\c"_s}};
    QTest::newRow("a backslash that escapes nothing stays")
        << QByteArray("42 22 0:7 / /mnt/x\\9 rw - tmpfs x rw\n")
        << QList<MountPoint>{{42, u"/mnt/x\\9"_s}};
    QTest::newRow("broken lines left out")
        << QByteArray("\nnot a line\nx 22 0:7 / /mnt rw\n43 22 0:7 / relative rw\n"
                      "44 22 0:8 / /ok rw - tmpfs x rw")
        << QList<MountPoint>{{44, u"/ok"_s}};
}

void TestMountTable::linesAsTheKernelWritesThem()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<MountPoint>, table);
    QCOMPARE(ParseMountTable(text), table);
}

void TestMountTable::mountHoldingAPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("holder"); // -1: none
    QTest::newRow("the root holds what lies on no drive") << u"/home/a"_s << qint64(1);
    QTest::newRow("a drive holds its mount folder") << u"/media/backup"_s << qint64(3);
    QTest::newRow("and what lies below it") << u"/media/backup/photos/2026"_s << qint64(3);
    // A name that only begins like the mount folder is not inside it.
    QTest::newRow("a folder of a longer name") << u"/media/backup2/x"_s << qint64(1);
    QTest::newRow("the later of two mounts at one place") << u"/mnt/stack/y"_s << qint64(5);
    QTest::newRow("the deepest of nested mounts") << u"/mnt/stack/inner/z"_s << qint64(6);
}

void TestMountTable::mountHoldingAPath()
{
    QFETCH(QString, path);
    QFETCH(qint64, holder);
    const QList<MountPoint> table{{1, u"/"_s},          {3, u"/media/backup"_s},
                                  {4, u"/mnt/stack"_s}, {5, u"/mnt/stack"_s},
                                  {6, u"/mnt/stack/inner"_s}};
    const std::optional<MountPoint> found = MountHolding(table, path);
    QCOMPARE(found ? found->id : qint64(-1), holder);
    QVERIFY(!MountHolding({{3, u"/media/backup"_s}}, u"/home"_s));
}

void TestMountTable::realMountWakesTheWatcher()
{
    if (::geteuid() != 0)
        QSKIP("mounting needs root");
    TestDir dir;
    const QString drive = dir.makeDir(u"drive"_s);
    MountWatcher watcher;
    QVERIFY(watcher.isWatching());
    QVERIFY(!MountHolding(watcher.table(), drive) ||
            MountHolding(watcher.table(), drive)->path != drive);
    QSignalSpy changes(&watcher, &MountWatcher::changed);
    if (::mount("tarnwick-test", drive.toLocal8Bit().constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("no tmpfs mount here");
    const auto unmount = qScopeGuard([&] { ::umount2(drive.toLocal8Bit().constData(), MNT_DETACH); });
    QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), 5000);
    QCOMPARE(MountHolding(watcher.table(), drive)->path, drive);
    changes.clear();
    ::umount2(drive.toLocal8Bit().constData(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), 5000);
    QVERIFY(MountHolding(watcher.table(), drive)->path != drive);
}

QTEST_GUILESS_MAIN(TestMountTable)
#include "TestMountTable.moc"
