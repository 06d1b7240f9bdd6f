// SPDX-License-Identifier: GPL-3.0-or-later
// The log size limit at start-up: the whole-kilobyte boundary, sizes past
// 4 GiB, what is left alone (no limit, no file, no name, a folder, a fifo),
// names that would reach outside the Log folder, and a reset that fails.
#include "FileSizeLimit.h"
#include "ProgramFolder.h"

#include "engine/LogSizeLimit.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace tarnwick;

using Outcome = LogSizeLimitResult::Outcome;

namespace {

const QByteArray kHeader =
    "************************Tarnwick Log************************ 2024-03-05 14:07:09\r\n";

constexpr qint64 kFourGiB = qint64(1) << 32;

} // namespace

class TestLogSizeLimit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void limitByWholeKilobytes_data();
    void limitByWholeKilobytes();
    void leftAlone_data();
    void leftAlone();
    void nameOutsideLogFolderIsRefused_data();
    void nameOutsideLogFolderIsRefused();
    void resetThatCannotWriteReportsTheReason();

private:
    QString logPath(const QString& name) const { return m_logFolder + name; }
    // A sparse file of `size` bytes with a first line to tell it by.
    void makeFile(const QString& path, qint64 size);

    // No task database: the refused-name cases put a file of their own there.
    ProgramFolderFixture m_folder{false};
    QString m_logFolder;
    FixedClock m_clock{QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))};
};

void TestLogSizeLimit::initTestCase()
{
    QVERIFY(m_folder.home.isValid());
    m_logFolder = m_folder.home.path() + QStringLiteral("/Log/");
}

void TestLogSizeLimit::init()
{
    QDir(m_logFolder).removeRecursively();
    QVERIFY(QDir().mkpath(m_logFolder));
}

void TestLogSizeLimit::makeFile(const QString& path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(file.write("old line\r\n") == 10);
    QVERIFY(file.resize(size)); // ftruncate: past the data it takes no disk
}

void TestLogSizeLimit::limitByWholeKilobytes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("reset");

    QTest::newRow("exactly the limit") << qint64(102400) << 100 << false;
    QTest::newRow("a byte short of 101 KB") << qint64(103423) << 100 << false;
    QTest::newRow("101 KB") << qint64(103424) << 100 << true;
    QTest::newRow("limit 1, 2 KB") << qint64(2048) << 1 << true;
    QTest::newRow("no limit, 5 GiB") << 5 * kFourGiB / 4 << 0 << false;
    QTest::newRow("negative limit") << qint64(103424) << -1 << false;
    // 4,194,405 whole KB; the low 32 bits alone would read 101 KB.
    QTest::newRow("past 4 GiB, over the limit") << kFourGiB + 103424 << 4194404 << true;
    QTest::newRow("past 4 GiB, at the limit") << kFourGiB + 103424 << 4194405 << false;
}

void TestLogSizeLimit::limitByWholeKilobytes()
{
    QFETCH(qint64, size);
    QFETCH(int, limit);
    QFETCH(bool, reset);

    const QString path = logPath(QStringLiteral("Tarnwick.log"));
    makeFile(path, size);
    const LogSizeLimitResult result =
        ApplyLogSizeLimit(QStringLiteral("Tarnwick.log"), limit, m_clock);
    QCOMPARE(result.message, QString());
    QCOMPARE(result.outcome, reset ? Outcome::Reset : Outcome::Nothing);
    if (reset) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kHeader);
    } else {
        QCOMPARE(QFileInfo(path).size(), size);
    }
    QFile::remove(path);
}

void TestLogSizeLimit::leftAlone_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // missing, folder, fifo, file

    QTest::newRow("missing file") << QStringLiteral("Tarnwick.log") << "missing";
    QTest::newRow("missing Log folder") << QStringLiteral("Tarnwick.log") << "no Log folder";
    QTest::newRow("folder") << QStringLiteral("Tarnwick.log") << "folder";
    QTest::newRow("fifo") << QStringLiteral("Tarnwick.log") << "fifo";
    // An empty name is no log file, never the Log folder itself.
    QTest::newRow("empty name") << QString() << "file";
}

void TestLogSizeLimit::leftAlone()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);

    const QString path = logPath(QStringLiteral("Tarnwick.log"));
    const QByteArray native = QFile::encodeName(path);
    if (kind == QLatin1String("no Log folder"))
        QVERIFY(QDir(m_logFolder).removeRecursively());
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inner")));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(native.constData(), 0644), 0);
    else if (kind == QLatin1String("file"))
        makeFile(path, 200 * 1024);

    const LogSizeLimitResult result = ApplyLogSizeLimit(name, 1, m_clock);
    QCOMPARE(result.outcome, Outcome::Nothing);
    QCOMPARE(result.message, QString());
    if (kind == QLatin1String("missing") || kind == QLatin1String("no Log folder"))
        QVERIFY(!QFileInfo::exists(path)); // the first appended line makes it, without header
    else if (kind == QLatin1String("folder"))
        QVERIFY(QFileInfo(path + QStringLiteral("/inner")).isDir());
    else if (kind == QLatin1String("file"))
        QCOMPARE(QFileInfo(path).size(), qint64(200 * 1024));
    if (kind == QLatin1String("fifo")) {
        struct stat status
        {
        };
        QCOMPARE(::lstat(native.constData(), &status), 0);
        QVERIFY(S_ISFIFO(status.st_mode));
    }
}

void TestLogSizeLimit::nameOutsideLogFolderIsRefused_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("task database") << QStringLiteral("../Tarnwick.dat");
    QTest::newRow("subfolder") << QStringLiteral("a/b");
    QTest::newRow("absolute") << QStringLiteral("/tmp/x.log");
    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("dot dot") << QStringLiteral("..");
}

void TestLogSizeLimit::nameOutsideLogFolderIsRefused()
{
    QFETCH(QString, name);

    // Files the names would reach, each over any limit.
    const QString database = m_folder.databasePath();
    makeFile(database, 300 * 1024);
    QVERIFY(QDir().mkpath(m_logFolder + QStringLiteral("a")));
    makeFile(m_logFolder + QStringLiteral("a/b"), 300 * 1024);

    for (const int limit : {1, 0}) {
        const LogSizeLimitResult result = ApplyLogSizeLimit(name, limit, m_clock);
        QCOMPARE(result.outcome, Outcome::RefusedName);
        QCOMPARE(result.message,
                 QStringLiteral("The log file name '%1' is not a plain file name in the Log "
                                "folder; no log file is written.")
                     .arg(name));
    }
    QCOMPARE(QFileInfo(database).size(), qint64(300 * 1024));
    QCOMPARE(QFileInfo(m_logFolder + QStringLiteral("a/b")).size(), qint64(300 * 1024));
    QFile file(database);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(10), QByteArray("old line\r\n"));
}

void TestLogSizeLimit::resetThatCannotWriteReportsTheReason()
{
    const QString path = logPath(QStringLiteral("Tarnwick.log"));
    makeFile(path, 103424);
    LogSizeLimitResult result;
    {
        // Room for a few bytes of the header line only.
        FileSizeLimit limit(10);
        QVERIFY(limit.isActive());
        result = ApplyLogSizeLimit(QStringLiteral("Tarnwick.log"), 100, m_clock);
    }
    QCOMPARE(result.outcome, Outcome::Failed);
    QCOMPARE(result.message, QStringLiteral("Cannot reset the log file '%1': %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(EFBIG))));
    // Emptied, not left with a torn header line.
    QCOMPARE(QFileInfo(path).size(), qint64(0));
}

QTEST_GUILESS_MAIN(TestLogSizeLimit)
#include "TestLogSizeLimit.moc"
