// SPDX-License-Identifier: GPL-3.0-or-later
// The first start of an installed program: its data folder, Log/ and an
// empty task database are made (folders 0700, also the missing ones above),
// an existing database is kept as it is, starts that race each other end
// with one good database, and a layout that is not installed, or has no
// data folder, is never laid out behind the user's back.
#include "FolderMode.h"
#include "StoredRows.h"
#include "TestDir.h"

#include "store/FirstStart.h"
#include "store/Statements.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace tarnwick;

namespace {

FolderLayout installedAt(const QString& data)
{
    FolderLayout layout;
    layout.installed = true;
    layout.resources = QStringLiteral("/usr/share/tarnwick/");
    layout.data = data;
    return layout;
}

} // namespace

class TestFirstStart : public QObject
{
    Q_OBJECT

private slots:
    void makesDataFolder();
    void keepsExistingDatabase();
    void racingStartsMakeOneDatabase();
    void notInstalledIsLeftAlone();
    void dataFolderThatCannotBeMade();
};

void TestFirstStart::makesDataFolder()
{
    TestDir dir;
    const QString data = dir.filePath(QStringLiteral("xdg/Tarnwick/"));
    PrepareDataFolder(installedAt(data));

    QCOMPARE(FolderMode(dir.filePath(QStringLiteral("xdg"))), 0700);
    QCOMPARE(FolderMode(data), 0700);
    QCOMPARE(FolderMode(data + QStringLiteral("Log")), 0700);
    // Only the database is left, no file it was made under.
    QCOMPARE(QDir(data).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Tarnwick.dat")});
    TaskDatabase db;
    db.open(data + QStringLiteral("Tarnwick.dat"));
    QCOMPARE(Snapshot(db), QStringList());
}

void TestFirstStart::keepsExistingDatabase()
{
    TestDir dir;
    const QString data = dir.filePath(QStringLiteral("Tarnwick/"));
    PrepareDataFolder(installedAt(data));
    {
        TaskDatabase db;
        db.open(data + QStringLiteral("Tarnwick.dat"));
        TaskQuery query(db);
        RunStatement(query, FillStatement(sql::InsertGroup,
                                          {QStringLiteral("1"), QStringLiteral("mine")}));
    }
    // The user removed Log/; the next start makes it again and keeps the tasks.
    QVERIFY(QDir(data + QStringLiteral("Log")).removeRecursively());
    PrepareDataFolder(installedAt(data));

    QCOMPARE(FolderMode(data + QStringLiteral("Log")), 0700);
    TaskDatabase db;
    db.open(data + QStringLiteral("Tarnwick.dat"));
    QCOMPARE(Snapshot(db), QStringList{QStringLiteral("TaskGroup:1|mine")});
}

// The window from autostart and a daemon from the user's service manager
// start together at login: each either makes the database or finds the one
// the other made, whole.
void TestFirstStart::racingStartsMakeOneDatabase()
{
    TestDir dir;
    const QString data = dir.filePath(QStringLiteral("Tarnwick/"));
    std::atomic<int> failures = 0;
    std::atomic<bool> go = false;
    std::vector<std::thread> starts;
    for (int i = 0; i < 6; ++i)
        starts.emplace_back([&] {
            while (!go)
                std::this_thread::yield();
            try {
                PrepareDataFolder(installedAt(data));
                TaskDatabase db;
                db.open(data + QStringLiteral("Tarnwick.dat"));
            } catch (const StoreError& e) {
                qWarning("%s", qPrintable(e.message()));
                ++failures;
            }
        });
    go = true;
    for (std::thread& start : starts)
        start.join();
    QCOMPARE(failures.load(), 0);
    // No file a losing start made its database under is left behind (the
    // engine's own -wal and -shm files may be, when the last two
    // connections closed at once).
    QCOMPARE(QDir(data).entryList({QStringLiteral("Tarnwick.dat.new-*")}, QDir::Files), QStringList());
    TaskDatabase db;
    db.open(data + QStringLiteral("Tarnwick.dat"));
    QCOMPARE(Snapshot(db), QStringList());
}

// A build folder or TARNWICK_HOME is laid out by the build or by
// `tarnwick-cli init`, which says what it made.
void TestFirstStart::notInstalledIsLeftAlone()
{
    TestDir dir;
    FolderLayout layout;
    layout.resources = layout.data = dir.filePath(QStringLiteral("program/"));
    PrepareDataFolder(layout);
    QVERIFY(!QFileInfo::exists(layout.data));
}

void TestFirstStart::dataFolderThatCannotBeMade()
{
    TestDir dir;
    // No home folder: nothing to make, and the start must not go on with a
    // task database path relative to wherever it was started.
    try {
        PrepareDataFolder(installedAt(QString()));
        QFAIL("no data folder was accepted");
    } catch (const StoreError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("XDG_DATA_HOME")), qPrintable(e.message()));
    }

    const QString blocker = dir.writeFile(QStringLiteral("share"));
    try {
        PrepareDataFolder(installedAt(dir.filePath(QStringLiteral("share/Tarnwick/"))));
        QFAIL("a file in the way was accepted");
    } catch (const StoreError& e) {
        QVERIFY2(e.message().contains(blocker), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestFirstStart)
#include "TestFirstStart.moc"
