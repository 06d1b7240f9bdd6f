// SPDX-License-Identifier: GPL-3.0-or-later
// The copy of one file: what it refuses without touching the target, what a
// finished copy carries, and that no temporary file outlives a copy.
#include "FolderFd.h"
#include "platform/FileCopier.h"
#include "platform/FileStatus.h"

#include "TestDir.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

// 2021-06-01 10:00:00.123456789 UTC
constexpr qint64 kSeconds = 1622541600;
constexpr qint64 kNanos = 123456789;

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

// The data ranges of a file, as SEEK_DATA and SEEK_HOLE report them.
QList<std::pair<off_t, off_t>> DataRanges(int fd)
{
    QList<std::pair<off_t, off_t>> ranges;
    for (off_t pos = 0;;) {
        const off_t data = ::lseek(fd, pos, SEEK_DATA);
        if (data < 0)
            break;
        const off_t hole = ::lseek(fd, data, SEEK_HOLE);
        ranges.append({data, hole});
        pos = hole;
    }
    return ranges;
}

// Whether two files hold the same bytes. Outside the data ranges of both
// files both read as zeros, so only those ranges are read.
bool SameContent(const QByteArray& first, const QByteArray& second)
{
    const int a = ::open(first.constData(), O_RDONLY | O_CLOEXEC);
    const int b = ::open(second.constData(), O_RDONLY | O_CLOEXEC);
    bool same = a >= 0 && b >= 0;
    struct stat sa, sb;
    same = same && ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_size == sb.st_size;
    if (same) {
        const auto ranges = DataRanges(a) + DataRanges(b);
        QByteArray x(1 << 20, '\0'), y(1 << 20, '\0');
        for (const auto& [from, to] : ranges) {
            for (off_t pos = from; same && pos < to; pos += x.size()) {
                const size_t n = size_t(std::min<off_t>(x.size(), to - pos));
                same = ::pread(a, x.data(), n, pos) == ssize_t(n) &&
                       ::pread(b, y.data(), n, pos) == ssize_t(n) &&
                       std::memcmp(x.constData(), y.constData(), n) == 0;
            }
        }
    }
    if (a >= 0)
        ::close(a);
    if (b >= 0)
        ::close(b);
    return same;
}

} // namespace

class TestFileCopier : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void copyCarriesTimeAndMode();
    void modeSurvivesUmaskAndAcl_data();
    void modeSurvivesUmaskAndAcl();
    void symlinkFollowed();
    void specialFileNeverOpened();
    void gatePassedBetweenChunks();
    void advanceToldForBigFiles_data();
    void advanceToldForBigFiles();
    void sparseFileStaysSparse_data();
    void sparseFileStaysSparse();
};

void TestFileCopier::refusals_data()
{
    QTest::addColumn<QString>("targetSetup");
    QTest::addColumn<int>("expectedError");

    QTest::newRow("missing target") << "none" << 0;
    QTest::newRow("older target replaced") << "file" << 0;
    // The copy took its source's bits: a read-only copy of a read-only
    // source must still be brought up to date. The folder decides.
    QTest::newRow("read-only target replaced") << "readonly" << 0;
    QTest::newRow("folder at target path") << "folder" << int(EISDIR);
    QTest::newRow("target folder missing") << "nofolder" << int(ENOENT);
}

void TestFileCopier::refusals()
{
    QFETCH(QString, targetSetup);
    QFETCH(int, expectedError);

    TestDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(u"src"_s), dst = dir.filePath(u"dst"_s);
    QVERIFY(QDir().mkpath(src));
    dir.writeFile(QStringLiteral("src/a.txt"), "new content", kSeconds, kNanos);
    if (targetSetup != u"nofolder"_s)
        QVERIFY(QDir().mkpath(dst));
    if (targetSetup == u"file"_s || targetSetup == u"readonly"_s)
        dir.writeFile(QStringLiteral("dst/a.txt"), "old", kSeconds - 100);
    if (targetSetup == u"readonly"_s)
        QVERIFY(QFile::setPermissions(dst + u"/a.txt"_s, QFile::ReadOwner | QFile::ReadGroup));
    if (targetSetup == u"folder"_s)
        QVERIFY(QDir().mkpath(dst + u"/a.txt"_s));
    const QByteArray before = ReadFile(dst + u"/a.txt"_s);

    Folder srcFolder(src), dstFolder(dst);
    EntryRecord record;
    QCOMPARE(StatEntry(srcFolder.fd(), "a.txt", record), 0);

    FileCopier copier;
    QCOMPARE(copier.copy(srcFolder.fd(), "a.txt", record, dstFolder.fd(), "a.txt"), expectedError);

    if (expectedError == 0)
        QCOMPARE(ReadFile(dst + u"/a.txt"_s), QByteArray("new content"));
    else
        QCOMPARE(ReadFile(dst + u"/a.txt"_s), before);
    if (targetSetup != u"nofolder"_s) {
        // Nothing but the target name itself is left in the target folder.
        const QStringList names = QDir(dst).entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot);
        QCOMPARE(names, targetSetup == u"none"_s && expectedError != 0 ? QStringList()
                                                                       : QStringList{u"a.txt"_s});
    }
}

void TestFileCopier::copyCarriesTimeAndMode()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    dir.writeFile(QStringLiteral("a"), "abc", kSeconds, kNanos);
    QVERIFY(QDir().mkpath(dir.filePath(u"out"_s)));
    QCOMPARE(::chmod(QFile::encodeName(dir.filePath(u"a"_s)).constData(), 0640), 0);

    Folder folder(dir.path()), out(dir.filePath(u"out"_s));
    EntryRecord record;
    QCOMPARE(StatEntry(folder.fd(), "a", record), 0);
    // The source changes after its record was read: the copy keeps the time
    // of the record, so the next run sees the source as newer.
    dir.writeFile(QStringLiteral("a"), "abc", kSeconds + 60);

    FileCopier copier;
    QCOMPARE(copier.copy(folder.fd(), "a", record, out.fd(), "a"), 0);
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(dir.filePath(u"out/a"_s)).constData(), &st), 0);
    QCOMPARE(qint64(st.st_mtim.tv_sec), kSeconds);
    // To the nanosecond: tools that compare nanoseconds see the pair in step.
    QCOMPARE(qint64(st.st_mtim.tv_nsec), kNanos);
    QCOMPARE(st.st_mode & 0777, 0640u);
    EntryRecord copied;
    QCOMPARE(StatEntry(out.fd(), "a", copied), 0);
    QCOMPARE(copied.lastWriteTime, record.lastWriteTime);
}

// Gives the folder a default ACL that lets new files have at most rwx for
// the owner, r-x for the group and nothing for others, in the kernel's
// own format (what setfacl -d writes). False where the file system takes
// no ACLs.
static bool SetDefaultAcl(int dirFd)
{
    struct Entry
    {
        std::uint16_t tag, perm;
        std::uint32_t id;
    };
    struct
    {
        std::uint32_t version = 2;
        Entry entries[3] = {{0x01, 7, ~0u}, {0x04, 5, ~0u}, {0x20, 0, ~0u}};
    } acl;
    return ::fsetxattr(dirFd, "system.posix_acl_default", &acl, sizeof acl, 0) == 0;
}

// A copy has exactly the source's permission bits, whatever the umask or a
// default ACL of the target folder would make of the mode it is created
// with, whether it is new or replaces an older file; the folder's mask is
// the umask unless a default ACL decides.
void TestFileCopier::modeSurvivesUmaskAndAcl_data()
{
    QTest::addColumn<int>("umask");
    QTest::addColumn<int>("sourceMode");
    QTest::addColumn<bool>("defaultAcl");
    QTest::addColumn<bool>("replace");

    QTest::newRow("umask takes nothing of it") << 022 << 0644 << false << false;
    QTest::newRow("umask takes bits the source has") << 022 << 0666 << false << false;
    QTest::newRow("private umask, open source") << 077 << 0755 << false << false;
    QTest::newRow("read-only source") << 022 << 0444 << false << false;
    QTest::newRow("replacing an older, private file") << 022 << 0664 << false << true;
    QTest::newRow("default ACL narrower than the source") << 0 << 0666 << true << false;
    QTest::newRow("default ACL, replacing") << 0 << 0646 << true << true;
}

void TestFileCopier::modeSurvivesUmaskAndAcl()
{
    QFETCH(int, umask);
    QFETCH(int, sourceMode);
    QFETCH(bool, defaultAcl);
    QFETCH(bool, replace);

    TestDir dir;
    QVERIFY(dir.isValid());
    dir.writeFile(QStringLiteral("a"), "abc", kSeconds);
    QCOMPARE(::chmod(QFile::encodeName(dir.filePath(u"a"_s)).constData(), mode_t(sourceMode)), 0);
    QVERIFY(QDir().mkpath(dir.filePath(u"out"_s)));
    if (replace) {
        dir.writeFile(QStringLiteral("out/a"), "old", kSeconds - 100);
        QCOMPARE(::chmod(QFile::encodeName(dir.filePath(u"out/a"_s)).constData(), 0600), 0);
    }
    Folder folder(dir.path()), out(dir.filePath(u"out"_s));
    if (defaultAcl && !SetDefaultAcl(out.fd()))
        QSKIP("this file system takes no ACLs");

    const mode_t before = ::umask(mode_t(umask));
    const int mask = FileCopier::creationMask(out.fd());
    EntryRecord record;
    int copied = StatEntry(folder.fd(), "a", record);
    if (copied == 0) {
        FileCopier copier;
        copied = copier.copy(folder.fd(), "a", record, out.fd(), "a", nullptr,
                             CopyPlace{.creationMask = mask});
    }
    ::umask(before);

    QCOMPARE(mask, defaultAcl ? -1 : umask);
    QCOMPARE(copied, 0);
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(dir.filePath(u"out/a"_s)).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), sourceMode);
    QCOMPARE(ReadFile(dir.filePath(u"out/a"_s)), QByteArray("abc"));
}

void TestFileCopier::symlinkFollowed()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    dir.writeFile(QStringLiteral("real"), "linked content", kSeconds);
    QVERIFY(QFile::link(dir.filePath(u"real"_s), dir.filePath(u"link"_s)));
    QVERIFY(QDir().mkpath(dir.filePath(u"out"_s)));
    Folder folder(dir.path()), out(dir.filePath(u"out"_s));
    EntryRecord record;
    QCOMPARE(StatEntry(folder.fd(), "link", record), 0);
    QVERIFY(record.attributes & kAttrArchive);

    FileCopier copier;
    QCOMPARE(copier.copy(folder.fd(), "link", record, out.fd(), "link"), 0);
    QVERIFY(!QFileInfo(dir.filePath(u"out/link"_s)).isSymLink());
    QCOMPARE(ReadFile(dir.filePath(u"out/link"_s)), QByteArray("linked content"));
}

void TestFileCopier::specialFileNeverOpened()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"pipe"_s)).constData(), 0644), 0);
    QVERIFY(QDir().mkpath(dir.filePath(u"out"_s)));
    Folder folder(dir.path()), out(dir.filePath(u"out"_s));
    EntryRecord record;
    QCOMPARE(StatEntry(folder.fd(), "pipe", record), 0);
    QVERIFY(record.attributes & kAttrSystem);

    FileCopier copier;
    // Also with a record that claims a regular file: the open must not wait
    // for a writer, and the FIFO is refused after the open.
    QCOMPARE(copier.copy(folder.fd(), "pipe", record, out.fd(), "pipe"), int(ENOTSUP));
    record.attributes = kAttrArchive;
    QCOMPARE(copier.copy(folder.fd(), "pipe", record, out.fd(), "pipe"), int(ENOTSUP));
    QVERIFY(QDir(dir.filePath(u"out"_s))
                .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
}

void TestFileCopier::gatePassedBetweenChunks()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    QByteArray content(40 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < content.size(); i += 4096)
        content[i] = char(i / 4096);
    dir.writeFile(QStringLiteral("big"), content, kSeconds);
    QVERIFY(QDir().mkpath(dir.filePath(u"out"_s)));
    Folder folder(dir.path()), out(dir.filePath(u"out"_s));
    EntryRecord record;
    QCOMPARE(StatEntry(folder.fd(), "big", record), 0);

    int passes = 0;
    FileCopier copier([&passes] { ++passes; });
    QCOMPARE(copier.copy(folder.fd(), "big", record, out.fd(), "big"), 0);
    QVERIFY(passes >= 2);
    QVERIFY(ReadFile(dir.filePath(u"out/big"_s)) == content);
}

void TestFileCopier::advanceToldForBigFiles_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QList<qint64>>("dataAt"); // offsets of 64 KiB blocks; empty: all data
    QTest::addColumn<int>("leastTold");

    const qint64 mib = 1ll << 20;
    QTest::newRow("small file: never told") << 3 * mib << QList<qint64>{} << 0;
    QTest::newRow("just below the step") << 4 * mib - 1 << QList<qint64>{} << 0;
    QTest::newRow("20 MiB of data: every 4 MiB") << 20 * mib << QList<qint64>{} << 4;
    QTest::newRow("sparse 100 MiB: at each piece of data")
        << 100 * mib << QList<qint64>{0, 50 * mib, 99 * mib} << 2;
}

void TestFileCopier::advanceToldForBigFiles()
{
    QFETCH(qint64, size);
    QFETCH(QList<qint64>, dataAt);
    QFETCH(int, leastTold);

    TestDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(dir.filePath(u"out"_s)));
    {
        QFile file(dir.filePath(u"file"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (dataAt.isEmpty()) {
            QVERIFY(file.write(QByteArray(size, 'x')) == size);
        } else {
            QVERIFY(file.resize(size));
            for (qint64 at : dataAt)
                QVERIFY(file.seek(at) && file.write(QByteArray(64 * 1024, 'd')) == 64 * 1024);
        }
    }
    Folder folder(dir.path()), out(dir.filePath(u"out"_s));
    EntryRecord record;
    QCOMPARE(StatEntry(folder.fd(), "file", record), 0);

    // What happened in order: a position told, or a pass of the gate.
    QList<qint64> events; // -1: the gate
    FileCopier copier([&events] { events << -1; });
    copier.setAdvance([&events](quint64 done) { events << qint64(done); });
    QCOMPARE(copier.copy(folder.fd(), "file", record, out.fd(), "file"), 0);
    QCOMPARE(QFileInfo(dir.filePath(u"out/file"_s)).size(), size);

    QList<qint64> told;
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (events[i] < 0) {
            // A paused copy has told how far it came.
            if (leastTold > 0)
                QVERIFY2(i > 0 && events[i - 1] >= 0, qPrintable(QString::number(i)));
            continue;
        }
        told << events[i];
    }
    QVERIFY2(told.size() >= leastTold, qPrintable(QString::number(told.size())));
    if (leastTold == 0)
        QVERIFY(told.isEmpty());
    for (qsizetype i = 0; i < told.size(); ++i) {
        QVERIFY(told[i] > 0 && told[i] < size);
        QVERIFY(i == 0 || told[i] > told[i - 1]);
    }
}

void TestFileCopier::sparseFileStaysSparse_data()
{
    QTest::addColumn<QList<qint64>>("dataAt"); // offsets of 64 KiB data blocks
    QTest::addColumn<qint64>("size");

    const qint64 gib = 1ll << 30, mib = 1ll << 20;
    QTest::newRow("holes between and after the data")
        << QList<qint64>{0, 300 * mib + 4096, 700 * mib} << gib;
    QTest::newRow("ends in data") << QList<qint64>{512 * mib, gib - 64 * 1024} << gib;
    QTest::newRow("all hole") << QList<qint64>{} << gib;
}

void TestFileCopier::sparseFileStaysSparse()
{
    QFETCH(QList<qint64>, dataAt);
    QFETCH(qint64, size);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(dir.filePath(u"out"_s)));
    const QByteArray source = QFile::encodeName(dir.filePath(u"sparse"_s));
    {
        const int fd = ::open(source.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        const bool sized = ::ftruncate(fd, size) == 0;
        QByteArray block(64 * 1024, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char('a' + i % 26);
        bool wrote = true;
        for (qint64 at : dataAt)
            wrote =
                wrote && ::pwrite(fd, block.constData(), size_t(block.size()), at) == block.size();
        ::close(fd);
        QVERIFY(sized && wrote);
    }
    struct stat src;
    QCOMPARE(::stat(source.constData(), &src), 0);
    if (src.st_blocks * 512 > 16 * 1024 * 1024)
        QSKIP("this file system stores no holes");

    Folder folder(dir.path()), out(dir.filePath(u"out"_s));
    EntryRecord record;
    QCOMPARE(StatEntry(folder.fd(), "sparse", record), 0);
    FileCopier copier;
    QCOMPARE(copier.copy(folder.fd(), "sparse", record, out.fd(), "sparse"), 0);

    struct stat dst;
    const QByteArray copied = QFile::encodeName(dir.filePath(u"out/sparse"_s));
    QCOMPARE(::stat(copied.constData(), &dst), 0);
    QCOMPARE(qint64(dst.st_size), size);
    // About the source's blocks: the data and a little allocation slack, not a gibibyte.
    QVERIFY2(dst.st_blocks <= src.st_blocks + 2048,
             qPrintable(QStringLiteral("%1 blocks in the copy, %2 in the source")
                            .arg(dst.st_blocks)
                            .arg(src.st_blocks)));

    QVERIFY(SameContent(source, copied));
}

QTEST_GUILESS_MAIN(TestFileCopier)
#include "TestFileCopier.moc"
