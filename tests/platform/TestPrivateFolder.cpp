// SPDX-License-Identifier: GPL-3.0-or-later
// Folders for the user alone: every level that is made gets mode 0700
// whatever the umask leaves, levels already there keep their modes, and a
// file in the way is an error that names it.
#include "FolderMode.h"
#include "TestDir.h"

#include "platform/PrivateFolder.h"

#include <QTest>

#include <sys/stat.h>

using namespace tarnwick;

class TestPrivateFolder : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_umask = ::umask(022); }
    void cleanup() { ::umask(m_umask); }
    void makesMissingLevelsPrivate();
    void fileInTheWay_data();
    void fileInTheWay();

private:
    mode_t m_umask = 022;
};

void TestPrivateFolder::makesMissingLevelsPrivate()
{
    TestDir dir;
    const QString kept = dir.makeDir(QStringLiteral("kept"));
    QVERIFY(::chmod(QFile::encodeName(kept).constData(), 0755) == 0);

    QString error;
    QVERIFY2(MakePrivateFolder(kept + QStringLiteral("/a/b/c"), &error), qPrintable(error));
    QCOMPARE(FolderMode(kept), 0755);
    for (const char* level : {"/a", "/a/b", "/a/b/c"})
        QCOMPARE(FolderMode(kept + QLatin1String(level)), 0700);

    // Already there: nothing to do, and no change of mode.
    QVERIFY(::chmod(QFile::encodeName(kept + QStringLiteral("/a/b/c")).constData(), 0750) == 0);
    QVERIFY2(MakePrivateFolder(kept + QStringLiteral("/a/b/c/"), &error), qPrintable(error));
    QCOMPARE(FolderMode(kept + QStringLiteral("/a/b/c")), 0750);
}

void TestPrivateFolder::fileInTheWay_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("the folder itself is a file") << QStringLiteral("file");
    QTest::newRow("a file above it") << QStringLiteral("file/below");
}

void TestPrivateFolder::fileInTheWay()
{
    QFETCH(QString, target);
    TestDir dir;
    const QString file = dir.writeFile(QStringLiteral("file"), "keep");
    QString error;
    QVERIFY(!MakePrivateFolder(dir.filePath(target), &error));
    QVERIFY2(error.contains(file) && error.contains(QStringLiteral("Not a directory")),
             qPrintable(error));
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(TestPrivateFolder)
#include "TestPrivateFolder.moc"
