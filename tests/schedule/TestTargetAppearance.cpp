// SPDX-License-Identifier: GPL-3.0-or-later
// When a task that runs as its target appears is started: a sequence of
// mount tables, and the starts each brings.
#include "schedule/TargetAppearance.h"

#include <QTest>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

const MountPoint kRoot{1, u"/"_s};

MountPoint Drive(qint64 id, const QString& path = u"/media/backup"_s)
{
    return {id, path};
}

} // namespace

class TestTargetAppearance : public QObject
{
    Q_OBJECT

private slots:
    void startsOncePerAppearance_data();
    void startsOncePerAppearance();
    void rereadingTheTasksKeepsWhatWasSeen();
};

using Tables = QList<QList<MountPoint>>;

void TestTargetAppearance::startsOncePerAppearance_data()
{
    // The first table is the one the tasks are read with; each later one
    // gives the starts listed at its place ("" for none).
    QTest::addColumn<QString>("target");
    QTest::addColumn<Tables>("tables");
    QTest::addColumn<QStringList>("starts");
    const QList<MountPoint> unplugged{kRoot};
    const QList<MountPoint> plugged{kRoot, Drive(90)};
    QTest::newRow("mounted already when read: no start")
        << u"/media/backup/photos"_s << Tables{plugged, plugged} << QStringList{u""_s};
    QTest::newRow("plugged in: one start, then none while it stays")
        << u"/media/backup/photos"_s << Tables{unplugged, plugged, plugged, {kRoot, Drive(90), Drive(91, u"/mnt/other"_s)}}
        << QStringList{u"T"_s, u""_s, u""_s};
    QTest::newRow("gone and back: a start each time it comes")
        << u"/media/backup"_s
        << Tables{unplugged, {kRoot, Drive(90)}, unplugged, {kRoot, Drive(92)}}
        << QStringList{u"T"_s, u""_s, u"T"_s};
    // Unplugged and plugged between two looks: the mount is a new one.
    QTest::newRow("replaced between two tables") << u"/media/backup"_s
                                                 << Tables{plugged, {kRoot, Drive(93)}}
                                                 << QStringList{u"T"_s};
    QTest::newRow("a mount elsewhere starts nothing")
        << u"/media/backup"_s << Tables{unplugged, {kRoot, Drive(94, u"/media/backup2"_s)}}
        << QStringList{u""_s};
    // A drive whose folder is made only when it is mounted.
    QTest::newRow("mounted above the target")
        << u"/media/user/DISK/photos"_s
        << Tables{{kRoot, Drive(20, u"/media"_s)}, {kRoot, Drive(20, u"/media"_s), Drive(95, u"/media/user/DISK"_s)}}
        << QStringList{u"T"_s};
    QTest::newRow("a relative target is not followed")
        << u"backup"_s << Tables{unplugged, plugged} << QStringList{u""_s};
}

void TestTargetAppearance::startsOncePerAppearance()
{
    QFETCH(QString, target);
    QFETCH(Tables, tables);
    QFETCH(QStringList, starts);
    TargetAppearance appearance;
    appearance.reset({{u"T"_s, target}}, tables.first());
    QStringList got;
    for (qsizetype i = 1; i < tables.size(); ++i)
        got << appearance.update(tables.at(i)).join(u',');
    QCOMPARE(got, starts);
}

void TestTargetAppearance::rereadingTheTasksKeepsWhatWasSeen()
{
    TargetAppearance appearance;
    appearance.reset({{u"A"_s, u"/media/backup/a"_s}, {u"B"_s, u"/media/backup/b"_s}}, {kRoot});
    // The drive came while the tasks were being read anew: A, followed
    // before, still starts; C is new and takes the table as it is.
    const QList<MountPoint> plugged{kRoot, Drive(90)};
    appearance.reset({{u"A"_s, u"/media/backup/a"_s}, {u"C"_s, u"/media/backup/c"_s}}, plugged);
    QCOMPARE(appearance.update(plugged), QStringList{u"A"_s});
    QCOMPARE(appearance.update(plugged), QStringList{});
}

QTEST_GUILESS_MAIN(TestTargetAppearance)
#include "TestTargetAppearance.moc"
