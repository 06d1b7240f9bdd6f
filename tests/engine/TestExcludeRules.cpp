// SPDX-License-Identifier: GPL-3.0-or-later
// Exclude rules: each kind against its boundaries, the stop request, rules
// read from a real task database, and attributes read from real files.
#include "engine/ExcludeRules.h"
#include "platform/RunControl.h"
#include "platform/Clock.h"
#include "platform/EntryRecord.h"
#include "platform/FileAttributes.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include "ProgramFolder.h"
#include "TestDir.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;

namespace {

// The moment every date case is measured from.
const QDateTime kNow(QDate(2004, 3, 15), QTime(12, 0, 0));
// A time that no window of the date cases reaches.
const QDateTime kLongAgo(QDate(1990, 6, 1), QTime(8, 0, 0));

qint64 FileTime(const QDateTime& local)
{
    const qint64 msecs = local.toMSecsSinceEpoch();
    return FileTimeFromUnix(msecs / 1000, (msecs % 1000) * 1000000);
}

EntryRecord FileEntry(const QByteArray& name, quint64 size = 0)
{
    EntryRecord entry;
    entry.name = name;
    entry.attributes = kAttrArchive;
    entry.size = size;
    entry.creationTime = entry.lastAccessTime = entry.lastWriteTime = FileTime(kLongAgo);
    return entry;
}

ExcludeRule Rule(qint64 type, const QString& value, qint64 stype = 0, qint64 sstype = 0,
                 const QString& endDate = QString())
{
    return ExcludeRule{type, stype, sstype, value, endDate};
}

QByteArray LastComponent(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

} // namespace

class TestExcludeRules : public QObject
{
    Q_OBJECT

private:
    // The rules' databases are made in the program folder; it needs no
    // Tarnwick.dat of its own.
    ProgramFolderFixture m_folder{false};
    TestDir m_files;
    int m_databaseNumber = 0;

    QByteArray filePath(const QByteArray& name) const { return m_files.nativePath(name); }
    // Byte names throughout: some are not UTF-8.
    QByteArray makeFile(const QByteArray& name, mode_t mode)
    {
        const QByteArray path = m_files.writeFile(name, "content");
        if (::chmod(path.constData(), mode) != 0)
            qFatal("cannot create %s", path.constData());
        return path;
    }
    QString freshDatabase()
    {
        const QString path =
            m_folder.home.filePath(QStringLiteral("rules%1.dat").arg(++m_databaseNumber));
        CreateTaskDatabase(path);
        return path;
    }

private slots:
    void initTestCase();
    void cleanupTestCase();

    void extensionList_data();
    void extensionList();
    void singleFile_data();
    void singleFile();
    void size_data();
    void size();
    void date_data();
    void date();
    void attributes_data();
    void attributes();
    void attributeBits_data();
    void attributeBits();

    void ruleOrderAndUnknownKinds_data();
    void ruleOrderAndUnknownKinds();
    void stopDuringTestExcludesSilently();
    void testTakesNowFromClockAtEachCall();

    void loadKeepsEveryRowInStoredOrder();
    void loadStopsWhenStopRequested();
    void loadDisablesRowsWithUnreadableNumbers();

    void storedRuleDescriptions_data();
    void storedRuleDescriptions();
};

void TestExcludeRules::initTestCase()
{
    QVERIFY(m_folder.home.isValid());
    QVERIFY(m_files.isValid());

    makeFile("readonly.txt", 0444);
    makeFile("writable.txt", 0644);
    makeFile(".hidden", 0644);
    makeFile("ro\xe9-latin1.txt", 0444);
    QVERIFY(::symlink(filePath("readonly.txt").constData(),
                      filePath("link-to-readonly").constData()) == 0);
    QVERIFY(::symlink(filePath("missing").constData(), filePath("dangling").constData()) == 0);
    QVERIFY(::mkfifo(filePath("fifo").constData(), 0644) == 0);
    QVERIFY(::mkdir(filePath("folder").constData(), 0755) == 0);
}

void TestExcludeRules::cleanupTestCase()
{
    // Qt cannot name a file whose name is not UTF-8, so it could not remove it.
    ::unlink(filePath("ro\xe9-latin1.txt").constData());
}

void TestExcludeRules::extensionList_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("excluded");

    QTest::newRow("upper-case name") << "doc," << QByteArray("/src/a.DOC") << true;
    QTest::newRow("longer extension") << "doc," << QByteArray("/src/a.docx") << false;
    QTest::newRow("last dot counts") << "gz," << QByteArray("/src/archive.tar.gz") << true;
    QTest::newRow("inner dot does not") << "tar," << QByteArray("/src/archive.tar.gz") << false;
    QTest::newRow("upper-case entry") << "TXT,DOC," << QByteArray("/src/a.doc") << true;
    QTest::newRow("blanks around entry") << "txt,  doc  ," << QByteArray("/src/a.doc") << true;
    QTest::newRow("controls around entry") << "\tdoc\r\n," << QByteArray("/src/a.doc") << true;
    QTest::newRow("no closing comma") << "doc" << QByteArray("/src/a.doc") << false;
    QTest::newRow("after last comma") << "txt,doc" << QByteArray("/src/a.doc") << false;
    QTest::newRow("no wildcards") << "*.doc," << QByteArray("/src/a.doc") << false;
    QTest::newRow("no extension") << "doc," << QByteArray("/src/README") << false;
    QTest::newRow("empty entry, no extension") << "doc,," << QByteArray("/src/README") << true;
    QTest::newRow("empty entry, trailing dot") << "," << QByteArray("/src/name.") << true;
    QTest::newRow("dot in folder only") << "doc," << QByteArray("/src/old.doc/README") << false;
    QTest::newRow("leading dot name") << "bashrc," << QByteArray("/home/.bashrc") << true;
    QTest::newRow("non-letters") << QStringLiteral("\u00e9t\u00e9,")
                                 << QByteArray("/src/f.\xc3\x89T\xc3\x89") << true;
    QTest::newRow("latin-1 stem") << "doc," << QByteArray("/src/caf\xe9.DOC") << true;
    QTest::newRow("latin-1 extension") << QStringLiteral("d\u00f6c,")
                                       << QByteArray("/src/a.d\xf6"
                                                     "c")
                                       << false;
    QTest::newRow("latin-1 extension, replacement entry") << QStringLiteral("d\ufffdc,")
                                                          << QByteArray("/src/a.d\xf6"
                                                                        "c")
                                                          << false;
}

void TestExcludeRules::extensionList()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, path);
    QFETCH(bool, excluded);
    const QList<ExcludeRule> rules{Rule(kRuleExtensions, value)};
    QCOMPARE(IsExcluded(rules, path, FileEntry(LastComponent(path)), kNow, nullptr), excluded);
}

void TestExcludeRules::singleFile_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("excluded");

    QTest::newRow("same path") << "/src/a.txt" << QByteArray("/src/a.txt") << true;
    QTest::newRow("blanks around value") << "  /src/a.txt " << QByteArray("/src/a.txt") << true;
    QTest::newRow("letter case differs") << "/src/A.txt" << QByteArray("/src/a.txt") << false;
    QTest::newRow("other file") << "/src/a.txt" << QByteArray("/src/b/a.txt") << false;
    QTest::newRow("prefix only") << "/src/a" << QByteArray("/src/a.txt") << false;
    QTest::newRow("empty value") << "" << QByteArray("/src/a.txt") << false;
    QTest::newRow("utf-8 name") << QStringLiteral("/src/caf\u00e9.txt")
                                << QByteArray("/src/caf\xc3\xa9.txt") << true;
    QTest::newRow("latin-1 name, same letters")
        << QStringLiteral("/src/caf\u00e9.txt") << QByteArray("/src/caf\xe9.txt") << false;
    QTest::newRow("latin-1 name, replacement value")
        << QStringLiteral("/src/caf\ufffd.txt") << QByteArray("/src/caf\xe9.txt") << false;
}

void TestExcludeRules::singleFile()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, path);
    QFETCH(bool, excluded);
    const QList<ExcludeRule> rules{Rule(kRuleSingleFile, value)};
    QCOMPARE(IsExcluded(rules, path, FileEntry(LastComponent(path)), kNow, nullptr), excluded);
}

void TestExcludeRules::size_data()
{
    QTest::addColumn<qint64>("stype");
    QTest::addColumn<qint64>("sstype");
    QTest::addColumn<QString>("value");
    QTest::addColumn<quint64>("size");
    QTest::addColumn<bool>("excluded");

    const quint64 gib = Q_UINT64_C(1) << 30;
    QTest::newRow("equal 0 B, empty") << 1LL << kSizeBytes << "0" << quint64(0) << true;
    QTest::newRow("equal 0 B, 1 byte") << 1LL << kSizeBytes << "0" << quint64(1) << false;
    QTest::newRow("less 10 KB, 10239") << 0LL << kSizeKilobytes << "10" << quint64(10239) << true;
    QTest::newRow("less 10 KB, 10240") << 0LL << kSizeKilobytes << "10" << quint64(10240) << false;
    QTest::newRow("greater 2048 MB, 3 GiB") << 2LL << kSizeMegabytes << "2048" << 3 * gib << true;
    QTest::newRow("greater 2048 MB, 2 GiB") << 2LL << kSizeMegabytes << "2048" << 2 * gib << false;
    QTest::newRow("blanks in number") << 1LL << kSizeKilobytes << " 1 0 " << quint64(10240) << true;
    QTest::newRow("other unit is bytes") << 1LL << 7LL << "5" << quint64(5) << true;
    QTest::newRow("unknown comparison") << 3LL << kSizeBytes << "5" << quint64(1) << false;
    QTest::newRow("negative comparison") << -1LL << kSizeBytes << "5" << quint64(1) << false;
    QTest::newRow("not a number") << 2LL << kSizeBytes << "five" << quint64(100) << false;
    QTest::newRow("empty number") << 2LL << kSizeBytes << "" << quint64(100) << false;
    QTest::newRow("number too long")
        << 0LL << kSizeBytes << "99999999999999999999" << quint64(1) << false;
    // N x unit beyond 64 bits stays exact: every file is smaller.
    QTest::newRow("threshold beyond 64 bits")
        << 0LL << kSizeMegabytes << "9223372036854775807" << (Q_UINT64_C(1) << 62) << true;
}

void TestExcludeRules::size()
{
    QFETCH(qint64, stype);
    QFETCH(qint64, sstype);
    QFETCH(QString, value);
    QFETCH(quint64, size);
    QFETCH(bool, excluded);
    const QList<ExcludeRule> rules{Rule(kRuleSize, value, stype, sstype)};
    QCOMPARE(IsExcluded(rules, "/src/f.bin", FileEntry("f.bin", size), kNow, nullptr), excluded);
}

void TestExcludeRules::date_data()
{
    QTest::addColumn<qint64>("stype");
    QTest::addColumn<qint64>("sstype");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("endDate");
    QTest::addColumn<QDateTime>("written");
    QTest::addColumn<QDateTime>("created");
    QTest::addColumn<QDateTime>("accessed");
    QTest::addColumn<bool>("excluded");

    const QDateTime old = kLongAgo;
    auto at = [](int y, int m, int d, int h, int min, int s = 0, int ms = 0) {
        return QDateTime(QDate(y, m, d), QTime(h, min, s, ms));
    };

    QTest::newRow("1 month, 29 days ago") << kDateLastWrite << kWindowLastMonths << "1"
                                          << "" << kNow.addDays(-29) << old << old << true;
    QTest::newRow("1 month, 31 days ago") << kDateLastWrite << kWindowLastMonths << "1"
                                          << "" << kNow.addDays(-31) << old << old << false;
    QTest::newRow("1 month, exactly 30 days ago") << kDateLastWrite << kWindowLastMonths << "1"
                                                  << "" << kNow.addDays(-30) << old << old << false;
    QTest::newRow("1 month, 30 days ago plus 1 s")
        << kDateLastWrite << kWindowLastMonths << "1"
        << "" << kNow.addDays(-30).addSecs(1) << old << old << true;
    // The file time is cut to whole seconds before comparing.
    QTest::newRow("1 month, 30 days ago plus 900 ms")
        << kDateLastWrite << kWindowLastMonths << "1"
        << "" << kNow.addDays(-30).addMSecs(900) << old << old << false;
    QTest::newRow("2 months are 60 days") << kDateLastWrite << kWindowLastMonths << " 2 "
                                          << "" << kNow.addDays(-59) << old << old << true;

    QTest::newRow("between, 01-09 08:00")
        << kDateLastWrite << kWindowBetween << "2004-01-10"
        << "2004-01-20" << at(2004, 1, 9, 8, 0) << old << old << true;
    QTest::newRow("between, 01-20 23:59")
        << kDateLastWrite << kWindowBetween << "2004-01-10"
        << "2004-01-20" << at(2004, 1, 20, 23, 59) << old << old << true;
    QTest::newRow("between, 01-08 23:00")
        << kDateLastWrite << kWindowBetween << "2004-01-10"
        << "2004-01-20" << at(2004, 1, 8, 23, 0) << old << old << false;
    QTest::newRow("between, 01-21 00:00:01")
        << kDateLastWrite << kWindowBetween << "2004-01-10"
        << "2004-01-20" << at(2004, 1, 21, 0, 0, 1) << old << old << false;
    QTest::newRow("between, opening instant")
        << kDateLastWrite << kWindowBetween << "2004-01-10"
        << "2004-01-20" << at(2004, 1, 9, 0, 0) << old << old << false;
    QTest::newRow("between, last second")
        << kDateLastWrite << kWindowBetween << "2004-01-10"
        << "2004-01-20" << at(2004, 1, 21, 0, 0, 0, 0).addMSecs(-1) << old << old << true;
    QTest::newRow("between, start not a date")
        << kDateLastWrite << kWindowBetween << "10/01/2004"
        << "2004-01-20" << at(2004, 1, 15, 12, 0) << old << old << false;
    QTest::newRow("between, no end date") << kDateLastWrite << kWindowBetween << "2004-01-10"
                                          << "" << at(2004, 1, 15, 12, 0) << old << old << false;

    QTest::newRow("accessed 7 days, uses access time")
        << kDateLastAccess << kWindowLastDays << "7"
        << "" << old << old << kNow.addDays(-6) << true;
    QTest::newRow("accessed 7 days, recent write ignored")
        << kDateLastAccess << kWindowLastDays << "7"
        << "" << kNow.addDays(-1) << kNow.addDays(-1) << kNow.addDays(-8) << false;
    QTest::newRow("created 7 days") << kDateCreation << kWindowLastDays << "7"
                                    << "" << kNow.addDays(-100) << kNow.addDays(-2) << old << true;
    QTest::newRow("modified 7 days, only created recently")
        << kDateLastWrite << kWindowLastDays << "7"
        << "" << old << kNow.addDays(-2) << old << false;

    QTest::newRow("unknown file time") << 3LL << kWindowLastDays << "7"
                                       << "" << kNow << kNow << kNow << false;
    QTest::newRow("unknown window") << kDateLastWrite << 3LL << "7"
                                    << "" << kNow << kNow << kNow << false;
    QTest::newRow("days not a number") << kDateLastWrite << kWindowLastDays << "seven"
                                       << "" << kNow << kNow << kNow << false;
    // A cut-off far beyond the calendar still compares exactly.
    QTest::newRow("days beyond the calendar")
        << kDateLastWrite << kWindowLastMonths << "9223372036854775807"
        << "" << old << old << old << true;
}

void TestExcludeRules::date()
{
    QFETCH(qint64, stype);
    QFETCH(qint64, sstype);
    QFETCH(QString, value);
    QFETCH(QString, endDate);
    QFETCH(QDateTime, written);
    QFETCH(QDateTime, created);
    QFETCH(QDateTime, accessed);
    QFETCH(bool, excluded);

    EntryRecord entry = FileEntry("f.txt");
    entry.lastWriteTime = FileTime(written);
    entry.creationTime = FileTime(created);
    entry.lastAccessTime = FileTime(accessed);
    const QList<ExcludeRule> rules{Rule(kRuleDate, value, stype, sstype, endDate)};
    QCOMPARE(IsExcluded(rules, "/src/f.txt", entry, kNow, nullptr), excluded);
}

void TestExcludeRules::attributes_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("excluded");

    QTest::newRow("read only, read-only file") << "100000" << QByteArray("readonly.txt") << true;
    QTest::newRow("read only, writable file") << "100000" << QByteArray("writable.txt") << false;
    QTest::newRow("nothing selected") << "000000" << QByteArray("readonly.txt") << false;
    QTest::newRow("archive, regular file") << "010000" << QByteArray("writable.txt") << true;
    QTest::newRow("hidden, dot name") << "001000" << QByteArray(".hidden") << true;
    QTest::newRow("hidden, plain name") << "001000" << QByteArray("writable.txt") << false;
    QTest::newRow("system, fifo") << "000100" << QByteArray("fifo") << true;
    QTest::newRow("system, regular file") << "000100" << QByteArray("writable.txt") << false;
    QTest::newRow("blanks around value") << "  100000 " << QByteArray("readonly.txt") << true;
    QTest::newRow("short value") << "1" << QByteArray("readonly.txt") << true;
    QTest::newRow("short value, nothing set") << "1" << QByteArray("writable.txt") << false;
    QTest::newRow("link followed") << "100000" << QByteArray("link-to-readonly") << true;
    QTest::newRow("latin-1 name") << "100000" << QByteArray("ro\xe9-latin1.txt") << true;
    QTest::newRow("vanished file has all") << "000001" << QByteArray("missing") << true;
    QTest::newRow("dangling link has all") << "000010" << QByteArray("dangling") << true;
    QTest::newRow("vanished file, nothing selected") << "000000" << QByteArray("missing") << false;
    QTest::newRow("seventh position ignored") << "0000001" << QByteArray("missing") << false;
}

void TestExcludeRules::attributes()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, name);
    QFETCH(bool, excluded);
    // The entry claims nothing: attributes come from the file system.
    EntryRecord entry = FileEntry(name);
    entry.attributes = 0;
    const QList<ExcludeRule> rules{Rule(kRuleAttributes, value)};
    QCOMPARE(IsExcluded(rules, filePath(name), entry, kNow, nullptr), excluded);
}

void TestExcludeRules::attributeBits_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<quint32>("bits");

    QTest::newRow("read-only file")
        << QByteArray("readonly.txt") << true << quint32(kAttrReadOnly | kAttrArchive);
    QTest::newRow("writable file") << QByteArray("writable.txt") << true << quint32(kAttrArchive);
    QTest::newRow("hidden file") << QByteArray(".hidden") << true
                                 << quint32(kAttrHidden | kAttrArchive);
    QTest::newRow("folder") << QByteArray("folder") << true << quint32(kAttrDirectory);
    QTest::newRow("folder, trailing slash")
        << QByteArray("folder/") << true << quint32(kAttrDirectory);
    QTest::newRow("fifo") << QByteArray("fifo") << true << quint32(kAttrSystem);
    QTest::newRow("link to read-only file")
        << QByteArray("link-to-readonly") << true << quint32(kAttrReadOnly | kAttrArchive);
    QTest::newRow("missing") << QByteArray("missing") << false << quint32(0);
    QTest::newRow("dangling link") << QByteArray("dangling") << false << quint32(0);
}

void TestExcludeRules::attributeBits()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, readable);
    QFETCH(quint32, bits);
    const std::optional<quint32> read = ReadFileAttributes(filePath(name));
    QCOMPARE(read.has_value(), readable);
    if (readable) // compressed and encrypted depend on the file system here
        QCOMPARE(*read & ~quint32(kAttrCompressed | kAttrEncrypted), bits);
}

void TestExcludeRules::ruleOrderAndUnknownKinds_data()
{
    QTest::addColumn<QList<qint64>>("types");
    QTest::addColumn<bool>("excluded");

    // Every rule's value would match /src/a.doc if its kind were an
    // extension list or a single file.
    QTest::newRow("no rules") << QList<qint64>{} << false;
    QTest::newRow("kind -1") << QList<qint64>{-1} << false;
    QTest::newRow("kind 5") << QList<qint64>{5} << false;
    QTest::newRow("unknown kinds then a match") << QList<qint64>{-1, 5, kRuleExtensions} << true;
    QTest::newRow("no match then a match") << QList<qint64>{kRuleSize, kRuleSingleFile} << true;
}

void TestExcludeRules::ruleOrderAndUnknownKinds()
{
    QFETCH(QList<qint64>, types);
    QFETCH(bool, excluded);
    QList<ExcludeRule> rules;
    for (qint64 type : types)
        rules.append(Rule(type, type == kRuleSingleFile ? QStringLiteral("/src/a.doc")
                                                        : QStringLiteral("doc,")));
    QCOMPARE(IsExcluded(rules, "/src/a.doc", FileEntry("a.doc"), kNow, nullptr), excluded);
}

void TestExcludeRules::stopDuringTestExcludesSilently()
{
    RunControl control;
    const FixedClock clock(kNow);
    const QList<ExcludeRule> rules{Rule(kRuleExtensions, QStringLiteral("txt,"))};
    const ExcludeTest test = MakeExcludeTest(rules, &control, clock);
    QVERIFY(!test("/src/a.doc", FileEntry("a.doc")));
    control.requestStop();
    QVERIFY(test("/src/a.doc", FileEntry("a.doc")));
    // Without rules nothing is excluded, stopping or not.
    QVERIFY(!IsExcluded({}, "/src/a.doc", FileEntry("a.doc"), kNow, &control));
}

void TestExcludeRules::testTakesNowFromClockAtEachCall()
{
    FixedClock clock(kNow);
    EntryRecord entry = FileEntry("f.txt");
    entry.lastWriteTime = FileTime(kNow.addDays(-6));
    const ExcludeTest test = MakeExcludeTest(
        {Rule(kRuleDate, QStringLiteral("7"), kDateLastWrite, kWindowLastDays)}, nullptr, clock);
    QVERIFY(test("/src/f.txt", entry));
    clock.set(kNow.addDays(2));
    QVERIFY(!test("/src/f.txt", entry));
}

void TestExcludeRules::loadKeepsEveryRowInStoredOrder()
{
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    const QString quoted = QStringLiteral("/src/it's here.txt");
    RunStatement(query, FillStatement(sql::InsertRule, {QStringLiteral("111"), kRuleExtensions,
                                                        QStringLiteral("doc,txt,")}));
    RunStatement(query, FillStatement(sql::InsertSizeRule, {QStringLiteral("111"), kRuleSize, 2,
                                                            kSizeKilobytes, QStringLiteral("10")}));
    RunStatement(query, FillStatement(sql::InsertRule, {QStringLiteral("222"), kRuleExtensions,
                                                        QStringLiteral("bak,")}));
    RunStatement(query,
                 FillStatement(sql::InsertDateRule,
                               {QStringLiteral("111"), kRuleDate, kDateCreation, kWindowBetween,
                                QStringLiteral("2004-01-10"), QStringLiteral("2004-01-20")}));
    RunStatement(query,
                 FillStatement(sql::InsertRule, {QStringLiteral("111"), kRuleSingleFile, quoted}));
    // More rows than a run once had room for.
    for (int i = 0; i < 22; ++i) {
        RunStatement(query, FillStatement(sql::InsertRule, {QStringLiteral("111"), kRuleAttributes,
                                                            QStringLiteral("000000")}));
    }
    RunStatement(query, FillStatement(sql::InsertRule, {QStringLiteral("111"), kRuleExtensions,
                                                        QStringLiteral("last,")}));

    const QList<ExcludeRule> rules = LoadExcludeRules(db, QStringLiteral("111"), nullptr);
    QCOMPARE(rules.size(), 27);
    QCOMPARE(rules[0].type, kRuleExtensions);
    QCOMPARE(rules[0].value, QStringLiteral("doc,txt,"));
    QCOMPARE(rules[0].stype, 0);
    QCOMPARE(rules[0].sstype, 0);
    QVERIFY(rules[0].endDate.isEmpty());
    QCOMPARE(rules[1].type, kRuleSize);
    QCOMPARE(rules[1].stype, 2);
    QCOMPARE(rules[1].sstype, kSizeKilobytes);
    QCOMPARE(rules[1].value, QStringLiteral("10"));
    QCOMPARE(rules[2].type, kRuleDate);
    QCOMPARE(rules[2].stype, kDateCreation);
    QCOMPARE(rules[2].sstype, kWindowBetween);
    QCOMPARE(rules[2].value, QStringLiteral("2004-01-10"));
    QCOMPARE(rules[2].endDate, QStringLiteral("2004-01-20"));
    QCOMPARE(rules[3].type, kRuleSingleFile);
    QCOMPARE(rules[3].value, quoted);
    QCOMPARE(rules[26].value, QStringLiteral("last,"));

    // The loaded rules work as a run's test, the last one included.
    const FixedClock clock(kNow);
    const ExcludeTest test = MakeExcludeTest(rules, nullptr, clock);
    QVERIFY(test(quoted.toUtf8(), FileEntry("it's here.txt")));
    QVERIFY(test("/src/x.last", FileEntry("x.last")));
    QVERIFY(!test("/src/x.bak", FileEntry("x.bak")));

    QVERIFY(LoadExcludeRules(db, QStringLiteral("333"), nullptr).isEmpty());
}

void TestExcludeRules::loadStopsWhenStopRequested()
{
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::InsertRule, {QStringLiteral("111"), kRuleExtensions,
                                                        QStringLiteral("doc,")}));
    RunControl control;
    QCOMPARE(LoadExcludeRules(db, QStringLiteral("111"), &control).size(), 1);
    control.requestStop();
    QVERIFY(LoadExcludeRules(db, QStringLiteral("111"), &control).isEmpty());
}

void TestExcludeRules::loadDisablesRowsWithUnreadableNumbers()
{
    TaskDatabase db;
    db.open(freshDatabase());
    // Only a hand-edited file holds such rows; they must not hide files.
    db.execute(QStringLiteral("insert into Exclude(TaskID, type, stype, sstype, value) "
                              "values('111', 2, 0, 'KB', '10')"));
    db.execute(QStringLiteral("insert into Exclude(TaskID, type, value) "
                              "values('111', 'ext', 'doc,')"));
    const QList<ExcludeRule> rules = LoadExcludeRules(db, QStringLiteral("111"), nullptr);
    QCOMPARE(rules.size(), 2);
    QCOMPARE(rules[0].type, -1);
    QCOMPARE(rules[1].type, -1);
    QVERIFY(!IsExcluded(rules, "/src/a.doc", FileEntry("a.doc", 0), kNow, nullptr));
}

void TestExcludeRules::storedRuleDescriptions_data()
{
    QTest::addColumn<qint64>("type");
    QTest::addColumn<qint64>("stype");
    QTest::addColumn<qint64>("sstype");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("endDate");
    QTest::addColumn<QString>("text");
    const QString none;
    QTest::newRow("extensions") << qint64(0) << qint64(0) << qint64(0) << QStringLiteral("doc,")
                                << none
                                << QStringLiteral("Excluder files watching the wildcard: doc,");
    QTest::newRow("file") << qint64(1) << qint64(0) << qint64(0) << QStringLiteral("/a/b's")
                          << none << QStringLiteral("Excluder file: /a/b's");
    QTest::newRow("size greater, MBytes")
        << qint64(2) << qint64(2) << qint64(0) << QStringLiteral(" 10") << none
        << QStringLiteral("Excluder if file size > 10 MBytes");
    QTest::newRow("size less, KBytes") << qint64(2) << qint64(0) << qint64(1)
                                       << QStringLiteral("5") << none
                                       << QStringLiteral("Excluder if file size < 5 KBytes");
    QTest::newRow("size equal, Bytes") << qint64(2) << qint64(1) << qint64(2)
                                       << QStringLiteral("0") << none
                                       << QStringLiteral("Excluder if file size = 0 Bytes");
    QTest::newRow("modified, months")
        << qint64(3) << qint64(0) << qint64(0) << QStringLiteral("1") << none
        << QStringLiteral("Excluder if file Modified in the last 1 months");
    QTest::newRow("created, days") << qint64(3) << qint64(1) << qint64(1) << QStringLiteral("7")
                                   << none
                                   << QStringLiteral("Excluder if file Created in the last 7 days");
    QTest::newRow("accessed, between")
        << qint64(3) << qint64(2) << qint64(2) << QStringLiteral("2004-01-10")
        << QStringLiteral("2004-01-20")
        << QStringLiteral("Excluder if file Last Accessed between 2004-01-10 and 2004-01-20");
    QTest::newRow("attributes, first and last")
        << qint64(4) << qint64(0) << qint64(0) << QStringLiteral("100001") << none
        << QStringLiteral("Excluder if file attribute(s) set: Read Only or Encrypted.");
    QTest::newRow("attributes, short value") << qint64(4) << qint64(0) << qint64(0)
                                             << QStringLiteral("01") << none
                                             << QStringLiteral("Excluder if file attribute(s) "
                                                               "set: Archive.");
    QTest::newRow("unknown kind") << qint64(-1) << qint64(0) << qint64(0) << QStringLiteral("x")
                                  << none << QString();
}

void TestExcludeRules::storedRuleDescriptions()
{
    QFETCH(qint64, type);
    QFETCH(qint64, stype);
    QFETCH(qint64, sstype);
    QFETCH(QString, value);
    QFETCH(QString, endDate);
    QFETCH(QString, text);
    QCOMPARE(DescribeStoredRule(ExcludeRule{type, stype, sstype, value, endDate}), text);
}

QTEST_GUILESS_MAIN(TestExcludeRules)
#include "TestExcludeRules.moc"
