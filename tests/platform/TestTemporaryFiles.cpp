// SPDX-License-Identifier: GPL-3.0-or-later
// The copy's visible temporary files: which of them a later run removes as
// left behind by a killed run, and which it must leave to a live writer.
#include "EndedProcess.h"
#include "FolderFd.h"

#include "platform/TemporaryFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {


// A name of our form for the writer `pid`.
QString OurName(pid_t pid, const char* random = "0123456789abcdef")
{
    return QStringLiteral(".tarnwick-%1-%2.tmp").arg(pid).arg(QLatin1StringView(random));
}

} // namespace

class TestTemporaryFiles : public QObject
{
    Q_OBJECT

private slots:
    void namesOfOurOwn_data();
    void namesOfOurOwn();
    void staleOnesRemoved_data();
    void staleOnesRemoved();
    void createdFileIsHeldUntilClosed();
};

void TestTemporaryFiles::namesOfOurOwn_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("ours");
    QTest::addColumn<int>("writer");

    QTest::newRow("ours") << QByteArray(".tarnwick-4242-0123456789abcdef.tmp") << true << 4242;
    QTest::newRow("made here") << TemporaryName() << true << int(::getpid());
    QTest::newRow("no dot") << QByteArray("tarnwick-4242-0123456789abcdef.tmp") << false << 0;
    QTest::newRow("no random part") << QByteArray(".tarnwick-4242-.tmp") << false << 0;
    QTest::newRow("letters in the pid")
        << QByteArray(".tarnwick-42a-0123456789abcdef.tmp") << false << 0;
    QTest::newRow("more after") << QByteArray(".tarnwick-4242-0123456789abcdef.tmp.bak") << false
                                << 0;
    QTest::newRow("pid 0") << QByteArray(".tarnwick-0-0123456789abcdef.tmp") << false << 0;
    // Names a user may well give: none is taken for ours.
    QTest::newRow("a counter, as names once were")
        << QByteArray(".tarnwick-4242-17.tmp") << false << 0;
    QTest::newRow("15 digits") << QByteArray(".tarnwick-4242-0123456789abcde.tmp") << false << 0;
    QTest::newRow("17 digits") << QByteArray(".tarnwick-4242-0123456789abcdef0.tmp") << false << 0;
    QTest::newRow("capitals") << QByteArray(".tarnwick-4242-0123456789ABCDEF.tmp") << false << 0;
    QTest::newRow("not hex") << QByteArray(".tarnwick-4242-0123456789abcdeg.tmp") << false << 0;
}

void TestTemporaryFiles::namesOfOurOwn()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, ours);
    QFETCH(int, writer);
    pid_t found = 0;
    QCOMPARE(IsTemporaryName(name.constData(), &found), ours);
    QCOMPARE(int(found), writer);
}

void TestTemporaryFiles::staleOnesRemoved_data()
{
    QTest::addColumn<QString>("writer"); // "ended", "this" (a process that runs)
    QTest::addColumn<bool>("locked");
    QTest::addColumn<int>("ageSeconds"); // how long ago the file last changed, by the clock
    QTest::addColumn<bool>("kept");      // a source would copy a file of that name here
    QTest::addColumn<bool>("removed");

    QTest::newRow("writer ended") << "ended" << false << 0 << false << true;
    QTest::newRow("writer ended, file held by another") << "ended" << true << 0 << false << false;
    QTest::newRow("writer writing") << "this" << true << 3600 << false << false;
    // A writer between making its file and locking it.
    QTest::newRow("writer just started") << "this" << false << 2 << false << false;
    // The writer's ID now names another process.
    QTest::newRow("unchanged for long, nobody holds it")
        << "this" << false << 3600 << false << true;
    // The user's own file of such a name, copied from a source.
    QTest::newRow("writer ended, a source holds the name")
        << "ended" << false << 0 << true << false;
    QTest::newRow("unchanged for long, a source holds the name")
        << "this" << false << 3600 << true << false;
}

void TestTemporaryFiles::staleOnesRemoved()
{
    QFETCH(QString, writer);
    QFETCH(bool, locked);
    QFETCH(int, ageSeconds);
    QFETCH(bool, kept);
    QFETCH(bool, removed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const pid_t pid = writer == u"ended"_s ? EndedProcess() : ::getpid();
    const QString name = OurName(pid);
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("part of a copy");
    file.flush();
    if (locked)
        QCOMPARE(::flock(file.handle(), LOCK_EX), 0);
    // Things that are not temporary files of ours stay whatever happens.
    const QString folderName = OurName(pid, "00000000000000ff");
    QVERIFY(QDir().mkpath(dir.filePath(folderName)));
    const QStringList others{u"tarnwick-1-1.tmp"_s, QStringLiteral(".tarnwick-%1-7.tmp").arg(pid),
                             OurName(pid, "0123456789ABCDEF")};
    for (const QString& otherName : others) {
        QFile other(dir.filePath(otherName));
        QVERIFY(other.open(QIODevice::WriteOnly));
    }

    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(file.fileName()).constData(), &st), 0);
    FixedClock clock(QDateTime::fromSecsSinceEpoch(st.st_ctim.tv_sec + ageSeconds));
    Folder folder(dir.path());
    const KeepName keep = [kept](const char*) { return kept; };
    QCOMPARE(RemoveStaleTemporaryFiles(folder.fd(), clock, keep), removed ? 1 : 0);
    QCOMPARE(QFile::exists(file.fileName()), !removed);
    QVERIFY(QFileInfo(dir.filePath(folderName)).isDir());
    for (const QString& otherName : others)
        QVERIFY2(QFile::exists(dir.filePath(otherName)), qPrintable(otherName));
}

void TestTemporaryFiles::createdFileIsHeldUntilClosed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Folder folder(dir.path());
    QByteArray name;
    const int fd = CreateTemporaryFile(folder.fd(), name);
    QVERIFY(fd >= 0);
    pid_t writer = 0;
    QVERIFY(IsTemporaryName(name.constData(), &writer));
    QCOMPARE(writer, ::getpid());
    struct stat st;
    QCOMPARE(::fstat(fd, &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);

    // Even judged an hour on, a file its writer holds stays.
    FixedClock later(QDateTime::fromSecsSinceEpoch(st.st_ctim.tv_sec + 3600));
    QCOMPARE(RemoveStaleTemporaryFiles(folder.fd(), later), 0);
    ::close(fd);
    QCOMPARE(RemoveStaleTemporaryFiles(folder.fd(), later), 1);
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

QTEST_GUILESS_MAIN(TestTemporaryFiles)
#include "TestTemporaryFiles.moc"
