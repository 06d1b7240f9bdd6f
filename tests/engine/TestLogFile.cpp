// The log writer: lines with CR LF appended to the file in the Log folder,
// and names that would write anywhere else refused.
#include "engine/LogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace

class TestLogFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void appendsLinesWithCrLf();
    void refusesNamesOutsideLogFolder_data();
    void refusesNamesOutsideLogFolder();

private:
    QTemporaryDir m_home;
    QString m_logFolder;
};

void TestLogFile::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("TARNWICK_HOME", QFile::encodeName(m_home.path()));
    m_logFolder = m_home.path() + QStringLiteral("/Log/");
}

void TestLogFile::init()
{
    QDir(m_logFolder).removeRecursively();
    QVERIFY(QDir().mkpath(m_logFolder));
}

void TestLogFile::appendsLinesWithCrLf()
{
    const QString path = m_logFolder + QStringLiteral("run.log");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("kept\r\n");
    file.close();

    LogFile log(QStringLiteral("run.log"));
    QCOMPARE(log.path(), path);
    QVERIFY(log.append(QStringLiteral("[task] Grüße")));
    log.add(QStringLiteral("two"));
    log.add(QStringLiteral("three"));
    QCOMPARE(ReadAll(path), QByteArray("kept\r\n[task] Gr\xC3\xBC\xC3\x9F\x65\r\n"));
    QVERIFY(log.flush());
    QCOMPARE(ReadAll(path),
             QByteArray("kept\r\n[task] Gr\xC3\xBC\xC3\x9F\x65\r\ntwo\r\nthree\r\n"));

    // A missing Log folder: the line is dropped and the caller told.
    QVERIFY(QDir(m_logFolder).removeRecursively());
    QVERIFY(!log.append(QStringLiteral("lost")));
}

void TestLogFile::refusesNamesOutsideLogFolder_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("empty") << QString();
    QTest::newRow("task database") << QStringLiteral("../Tarnwick.dat");
    QTest::newRow("subfolder") << QStringLiteral("a/b");
    QTest::newRow("absolute") << QStringLiteral("/tmp/tarnwick-refused.log");
    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("/../b"));
}

void TestLogFile::refusesNamesOutsideLogFolder()
{
    QFETCH(QString, name);

    // What the names would reach: the task database beside the Log folder
    // and a file in a folder below it.
    const QString database = m_home.path() + QStringLiteral("/Tarnwick.dat");
    QFile file(database);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("SQLite format 3");
    file.close();
    QVERIFY(QDir().mkpath(m_logFolder + QStringLiteral("a")));

    QVERIFY(!LogFile::isPlainFileName(name));
    LogFile log(name);
    QCOMPARE(log.path(), QString());
    QVERIFY(!log.append(QStringLiteral("a line")));
    log.add(QStringLiteral("a batched line"));
    QVERIFY(!log.flush());
    QCOMPARE(log.pendingBytes(), qsizetype(0));

    QCOMPARE(ReadAll(database), QByteArray("SQLite format 3"));
    QVERIFY(!QFileInfo::exists(m_logFolder + QStringLiteral("a/b")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/tarnwick-refused.log")));
    QCOMPARE(QDir(m_logFolder).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestLogFile)
#include "TestLogFile.moc"
