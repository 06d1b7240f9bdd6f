// SPDX-License-Identifier: GPL-3.0-or-later
// The registry file: reading each value form, writing without disturbing
// what else the file holds, refusing to touch a file it cannot parse, and
// writers in several objects and processes that keep each other's values,
// and several values written in one rewrite, all or nothing.
#include "FileSizeLimit.h"
#include "ProgramFolder.h"
#include "RegistryErrorOf.h"
#include "RewriteCounter.h"

#include "platform/Registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

#include <sys/stat.h>

using namespace tarnwick;

namespace {

const QString kKey = QStringLiteral("SOFTWARE\\Tarnwick Test\\Values");
const QString kKeyLine = QStringLiteral("[HKEY_CURRENT_USER\\SOFTWARE\\Tarnwick Test\\Values]");

// Set in a child process started by twoProcessesKeepEachOthersWrites: the
// value name prefix that child writes.
const char kWriterVariable[] = "TARNWICK_TEST_REGISTRY_WRITER";
constexpr int kWritesPerProcess = 25;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFileInfo(path).dir().mkpath(QStringLiteral("."));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray RegFile(const QByteArray& valueLines)
{
    return "REGEDIT4\n\n" + kKeyLine.toUtf8() + "\n" + valueLines + "\n";
}

mode_t ModeOf(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

int RunWriter(const QString& prefix)
{
    for (int i = 0; i < kWritesPerProcess; ++i) {
        Registry registry;
        if (!registry.openKey(kKey, true))
            return 2;
        registry.writeInteger(prefix + QString::number(i), i);
    }
    return 0;
}

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void filePathFollowsXdgConfigHome();
    void openWithoutCreateNeedsTheKey();
    void createMakesPrivateFileAndFolder();
    void keyAndValueNamesIgnoreCase();
    void readValue_data();
    void readValue();
    void noOpenKeyFails();
    void writtenValuesReadBack();
    void writeKeepsEverythingElse();
    void writeKeepsCrLfLineEnds();
    void eachOpenReadsTheFileAfresh();
    void malformedFileIsReportedAndKept_data();
    void malformedFileIsReportedAndKept();
    void lineBreakInTextIsRefused();
    void onlyARegularFileIsRead();
    void hugeFileIsRefused();
    void writeValuesInOneRewrite();
    void writeValuesAllOrNothing_data();
    void writeValuesAllOrNothing();
    void openKeyForWriteAddsKeyWithFirstWrite();
    void interleavedObjectsKeepEachOthersWrites();
    void twoProcessesKeepEachOthersWrites();

private:
    // Only its settings folder is used; no task database.
    ProgramFolderFixture m_folder{false};
    QString m_file;
};

void TestRegistry::initTestCase()
{
    QVERIFY(m_folder.config.isValid());
    m_file = m_folder.registryPath();
}

void TestRegistry::init()
{
    QFile::remove(m_file);
}

void TestRegistry::filePathFollowsXdgConfigHome()
{
    QCOMPARE(RegistryFilePath(), m_file);
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    const QString fallback = RegistryFilePath();
    qputenv("XDG_CONFIG_HOME", "relative/ignored");
    const QString relative = RegistryFilePath();
    qputenv("XDG_CONFIG_HOME", saved);
    QCOMPARE(fallback, QDir::homePath() + QStringLiteral("/.config/Tarnwick/user.reg"));
    QCOMPARE(relative, fallback);
}

void TestRegistry::openWithoutCreateNeedsTheKey()
{
    Registry registry;
    QVERIFY(!registry.openKey(kKey, false));
    QVERIFY(!QFileInfo::exists(m_file)); // a failed open writes nothing

    WriteAll(m_file, "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnwick Test]\n\n");
    QVERIFY(!registry.openKey(kKey, false)); // the parent alone is not the key
    QVERIFY(registry.openKey(QStringLiteral("SOFTWARE\\Tarnwick Test"), false));
    // Another root with the same path is not under HKEY_CURRENT_USER.
    WriteAll(m_file, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\" + kKey.toUtf8() + "]\n\n");
    QVERIFY(!registry.openKey(kKey, false));
}

void TestRegistry::createMakesPrivateFileAndFolder()
{
    QDir(m_folder.config.path()).rmdir(QStringLiteral("Tarnwick"));
    Registry registry;
    QVERIFY(registry.openKey(kKey, true));
    QCOMPARE(ReadAll(m_file), "REGEDIT4\n\n" + kKeyLine.toUtf8() + "\n\n");
    QCOMPARE(ModeOf(m_file), mode_t(0600));
    QCOMPARE(ModeOf(QFileInfo(m_file).absolutePath()), mode_t(0700));

    // A file someone made readable to others is private again after a write.
    QVERIFY(::chmod(QFile::encodeName(m_file).constData(), 0644) == 0);
    registry.writeBool(QStringLiteral("Flag"), true);
    QCOMPARE(ModeOf(m_file), mode_t(0600));
}

void TestRegistry::keyAndValueNamesIgnoreCase()
{
    WriteAll(m_file, "REGEDIT4\n\n[hkey_current_user\\software\\TARNWICK TEST\\values]\n"
                     "\"ThrdPRI\"=dword:00000003\n\n");
    Registry registry;
    QVERIFY(registry.openKey(kKey, false));
    QCOMPARE(registry.readInteger(QStringLiteral("thrdpri")), 3);
    registry.writeInteger(QStringLiteral("THRDPRI"), 4);
    // The value is replaced where it stands, under the name it had.
    QCOMPARE(ReadAll(m_file), "REGEDIT4\n\n[hkey_current_user\\software\\TARNWICK TEST\\values]\n"
                              "\"ThrdPRI\"=dword:00000004\n\n");
}

void TestRegistry::readValue_data()
{
    QTest::addColumn<QByteArray>("valueLines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // bool, integer, string
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("error");

    const QString v = QStringLiteral("V");
    QTest::newRow("dword 2 is true")
        << QByteArray("\"V\"=dword:00000002") << v << "bool" << QVariant(true) << QString();
    QTest::newRow("dword 0 is false")
        << QByteArray("\"V\"=dword:00000000") << v << "bool" << QVariant(false) << QString();
    QTest::newRow("dword is signed")
        << QByteArray("\"V\"=dword:ffffffff") << v << "integer" << QVariant(-1) << QString();
    QTest::newRow("dword upper hex") << QByteArray("\"V\"=DWORD:7FFFFFFF") << v << "integer"
                                     << QVariant(2147483647) << QString();
    QTest::newRow("dword short") << QByteArray("\"V\"=dword:ff") << v << "integer" << QVariant(255)
                                 << QString();
    QTest::newRow("string escapes") << QByteArray(R"("V"="C:\\dir \"q\" ;[x]")") << v << "string"
                                    << QVariant(QStringLiteral(R"(C:\dir "q" ;[x])")) << QString();
    QTest::newRow("string utf-8") << QByteArray("\"V\"=\"Gr\xC3\xBC\xC3\x9F\x65\"") << v << "string"
                                  << QVariant(QStringLiteral("Grüße")) << QString();
    QTest::newRow("empty string") << QByteArray("\"V\"=\"\"") << v << "string"
                                  << QVariant(QString()) << QString();
    QTest::newRow("escaped name") << QByteArray(R"("a\"b\\c"=dword:00000001)")
                                  << QStringLiteral(R"(a"b\c)") << "integer" << QVariant(1)
                                  << QString();
    QTest::newRow("default value") << QByteArray("@=\"dflt\"") << QString() << "string"
                                   << QVariant(QStringLiteral("dflt")) << QString();
    // %TEMP%\x in UTF-16LE with its NUL, spread over lines as regedit writes.
    QTest::newRow("hex(2) unexpanded")
        << QByteArray("\"V\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,\\\n"
                      "  78,00,00,00")
        << v << "string" << QVariant(QStringLiteral("%TEMP%\\x")) << QString();
    QTest::newRow("hex(2) empty") << QByteArray("\"V\"=hex(2):00,00") << v << "string"
                                  << QVariant(QString()) << QString();
    QTest::newRow("later duplicate wins")
        << QByteArray("\"V\"=dword:00000001\n\"v\"=dword:00000009") << v << "integer" << QVariant(9)
        << QString();

    const QString typeError = QStringLiteral("Invalid data type for 'V'");
    QTest::newRow("string as integer")
        << QByteArray("\"V\"=\"1\"") << v << "integer" << QVariant() << typeError;
    QTest::newRow("string as bool")
        << QByteArray("\"V\"=\"1\"") << v << "bool" << QVariant() << typeError;
    QTest::newRow("dword as string")
        << QByteArray("\"V\"=dword:00000001") << v << "string" << QVariant() << typeError;
    QTest::newRow("hex(2) as integer")
        << QByteArray("\"V\"=hex(2):00,00") << v << "integer" << QVariant() << typeError;
    QTest::newRow("binary as integer")
        << QByteArray("\"V\"=hex:01,00,00,00") << v << "integer" << QVariant() << typeError;
    QTest::newRow("binary as string")
        << QByteArray("\"V\"=hex:41,00") << v << "string" << QVariant() << typeError;
    QTest::newRow("qword as integer") << QByteArray("\"V\"=hex(b):01,00,00,00,00,00,00,00") << v
                                      << "integer" << QVariant() << typeError;

    const QString missing = QStringLiteral("Failed to get data for 'V'");
    QTest::newRow("missing integer")
        << QByteArray("\"W\"=dword:00000001") << v << "integer" << QVariant() << missing;
    QTest::newRow("missing bool") << QByteArray() << v << "bool" << QVariant() << missing;
    QTest::newRow("missing string is empty")
        << QByteArray("\"W\"=\"x\"") << v << "string" << QVariant(QString()) << QString();
}

void TestRegistry::readValue()
{
    QFETCH(QByteArray, valueLines);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QVariant, expected);
    QFETCH(QString, error);

    WriteAll(m_file, RegFile(valueLines));
    Registry registry;
    QVERIFY(registry.openKey(kKey, false));
    QVariant got;
    const QString message = ErrorOf([&] {
        if (kind == QLatin1String("bool"))
            got = registry.readBool(name);
        else if (kind == QLatin1String("integer"))
            got = registry.readInteger(name);
        else
            got = registry.readString(name);
    });
    QCOMPARE(message, error);
    if (error.isEmpty()) {
        QCOMPARE(got.typeId(), expected.typeId());
        QCOMPARE(got, expected);
    }
}

void TestRegistry::noOpenKeyFails()
{
    WriteAll(m_file, RegFile("\"V\"=dword:00000001"));
    Registry registry;
    QCOMPARE(ErrorOf([&] { registry.readInteger(QStringLiteral("V")); }),
             QStringLiteral("Failed to get data for 'V'"));
    QCOMPARE(ErrorOf([&] { registry.writeInteger(QStringLiteral("V"), 2); }),
             QStringLiteral("Failed to set data for 'V'"));
    QVERIFY(registry.openKey(kKey, false));
    registry.closeKey();
    QCOMPARE(ErrorOf([&] { registry.readInteger(QStringLiteral("V")); }),
             QStringLiteral("Failed to get data for 'V'"));
    QCOMPARE(ReadAll(m_file), RegFile("\"V\"=dword:00000001"));
}

void TestRegistry::writtenValuesReadBack()
{
    const QString text = QStringLiteral("C:\\dir \"quoted\" ü\ttab");
    {
        Registry registry;
        QVERIFY(registry.openKey(kKey, true));
        registry.writeInteger(QStringLiteral("Neg"), -5);
        registry.writeInteger(QStringLiteral("Max"), 2147483647);
        registry.writeBool(QStringLiteral("On"), true);
        registry.writeBool(QStringLiteral("Off"), false);
        registry.writeString(QStringLiteral("Text"), text);
        registry.writeString(QStringLiteral("Empty"), QString());
        registry.writeString(QString(), QStringLiteral("dflt"));
        // Visible through the same open key at once.
        QCOMPARE(registry.readInteger(QStringLiteral("Neg")), -5);
    }
    QCOMPARE(ReadAll(m_file), RegFile("\"Neg\"=dword:fffffffb\n"
                                      "\"Max\"=dword:7fffffff\n"
                                      "\"On\"=dword:00000001\n"
                                      "\"Off\"=dword:00000000\n"
                                      "\"Text\"=\"C:\\\\dir \\\"quoted\\\" \xC3\xBC\ttab\"\n"
                                      "\"Empty\"=\"\"\n"
                                      "@=\"dflt\"\n"));
    Registry registry;
    QVERIFY(registry.openKey(kKey, false));
    QCOMPARE(registry.readInteger(QStringLiteral("Neg")), -5);
    QCOMPARE(registry.readInteger(QStringLiteral("Max")), 2147483647);
    QCOMPARE(registry.readBool(QStringLiteral("On")), true);
    QCOMPARE(registry.readBool(QStringLiteral("Off")), false);
    QCOMPARE(registry.readString(QStringLiteral("Text")), text);
    QCOMPARE(registry.readString(QStringLiteral("Empty")), QString());
    QVERIFY(registry.valueExists(QStringLiteral("Empty")));
    QCOMPARE(registry.readString(QString()), QStringLiteral("dflt"));
}

void TestRegistry::writeKeepsEverythingElse()
{
    const QByteArray before =
        "REGEDIT4\n"
        "; exported by hand\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
        "\"Machine\"=\"kept\"\n"
        "\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Tarnwick Test\\Values]\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
        "  16,17\n"
        "\"Old\"=dword:00000001\n"
        "\"Multi\"=hex(7):41,00,00,00,00,00\n"
        "\"Gone\"=-\n"
        "; a note inside the key\n"
        "\"Path\"=hex(2):41,00,00,00\n"
        "\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Neighbour]\n"
        "\"Colour\"=dword:000000ff\n"
        "\"Name\"=\"Tarnwick.log\"\n"
        "\n";
    WriteAll(m_file, before);

    Registry registry;
    QVERIFY(registry.openKey(kKey, false));
    registry.writeInteger(QStringLiteral("Old"), 7);                      // replaced in place
    registry.writeString(QStringLiteral("Path"), QStringLiteral("B"));    // hex(2) becomes REG_SZ
    registry.writeString(QStringLiteral("Added"), QStringLiteral("new")); // after the last value
    QVERIFY(registry.openKey(QStringLiteral("SOFTWARE\\Third"), true));   // at the end

    const QByteArray after =
        "REGEDIT4\n"
        "; exported by hand\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
        "\"Machine\"=\"kept\"\n"
        "\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Tarnwick Test\\Values]\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
        "  16,17\n"
        "\"Old\"=dword:00000007\n"
        "\"Multi\"=hex(7):41,00,00,00,00,00\n"
        "\"Gone\"=-\n"
        "; a note inside the key\n"
        "\"Path\"=\"B\"\n"
        "\"Added\"=\"new\"\n"
        "\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Neighbour]\n"
        "\"Colour\"=dword:000000ff\n"
        "\"Name\"=\"Tarnwick.log\"\n"
        "\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Third]\n"
        "\n";
    QCOMPARE(ReadAll(m_file), after);
}

void TestRegistry::writeKeepsCrLfLineEnds()
{
    WriteAll(m_file, "\xEF\xBB\xBFREGEDIT4\r\n\r\n" + kKeyLine.toUtf8() +
                         "\r\n\"A\"=dword:00000001\r\n\r\n");
    Registry registry;
    QVERIFY(registry.openKey(kKey, false));
    registry.writeInteger(QStringLiteral("B"), 2);
    QCOMPARE(ReadAll(m_file), "\xEF\xBB\xBFREGEDIT4\r\n\r\n" + kKeyLine.toUtf8() +
                                  "\r\n\"A\"=dword:00000001\r\n\"B\"=dword:00000002\r\n\r\n");
}

void TestRegistry::eachOpenReadsTheFileAfresh()
{
    WriteAll(m_file, RegFile("\"V\"=dword:00000001"));
    Registry reader;
    QVERIFY(reader.openKey(kKey, false));
    WriteAll(m_file, RegFile("\"V\"=dword:00000002"));
    QCOMPARE(reader.readInteger(QStringLiteral("V")), 1); // what this open read
    QVERIFY(reader.openKey(kKey, false));
    QCOMPARE(reader.readInteger(QStringLiteral("V")), 2);
    QFile::remove(m_file);
    QVERIFY(!reader.openKey(kKey, false));
}

void TestRegistry::onlyARegularFileIsRead()
{
    // A fifo in the file's place, which nobody writes: reading it would wait
    // forever. Refused at once, and left where it is.
    QVERIFY(QDir().mkpath(QFileInfo(m_file).absolutePath()));
    QCOMPARE(::mkfifo(QFile::encodeName(m_file).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    Registry registry;
    QCOMPARE(ErrorOf([&] { registry.openKey(kKey, true); }),
             QStringLiteral("Cannot read the registry file '%1': it is not a regular file")
                 .arg(m_file));
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(QFileInfo(m_file).isFile() == false && QFileInfo::exists(m_file));
    QVERIFY(QFile::remove(m_file));
}

// A settings file of gigabytes (a sparse file put in its place) is refused
// by its size, before any of it is read, and left as it is.
void TestRegistry::hugeFileIsRefused()
{
    QVERIFY(QDir().mkpath(QFileInfo(m_file).absolutePath()));
    QFile huge(m_file);
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(qint64(3) << 30));
    huge.close();
    Registry registry;
    QCOMPARE(ErrorOf([&] { registry.openKey(kKey, false); }),
             QStringLiteral("Cannot read the registry file '%1': it is larger than 16 MiB")
                 .arg(m_file));
    QCOMPARE(QFileInfo(m_file).size(), qint64(3) << 30);
    QVERIFY(QFile::remove(m_file));
}

void TestRegistry::malformedFileIsReportedAndKept_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("line");

    QTest::newRow("no header") << QByteArray("[HKEY_CURRENT_USER\\SOFTWARE]\n") << 1;
    QTest::newRow("other header") << QByteArray("\nWindows Registry Editor Version 5.00\n") << 2;
    QTest::newRow("value before any key") << QByteArray("REGEDIT4\n\n\"V\"=dword:00000001\n") << 3;
    QTest::newRow("unclosed key line") << RegFile("\"A\"=\"x\"\n[HKEY_CURRENT_USER\\Broken\n") << 5;
    QTest::newRow("unterminated string") << RegFile("\"A\"=\"x\n\"B\"=\"y\"") << 4;
    QTest::newRow("unknown escape") << RegFile("\"A\"=\"a\\nb\"") << 4;
    QTest::newRow("text after string") << RegFile("\"A\"=\"x\" y") << 4;
    QTest::newRow("bad dword") << RegFile("\"A\"=dword:1234567890") << 4;
    QTest::newRow("dword not hex") << RegFile("\"A\"=dword:0000000g") << 4;
    QTest::newRow("dword with sign") << RegFile("\"A\"=dword:+0000001") << 4;
    QTest::newRow("bad hex(2)") << RegFile("\"A\"=hex(2):41,zz") << 4;
    QTest::newRow("no equals") << RegFile("\"A\" dword:00000001") << 4;
    QTest::newRow("bare word") << RegFile("\"A\"=dword:00000001\nA=1") << 5;
    QTest::newRow("continued past end")
        << QByteArray("REGEDIT4\n\n" + kKeyLine.toUtf8() + "\n\"A\"=hex:01,\\\n") << 4;
    QTest::newRow("not utf-8") << RegFile("\"A\"=\"\xFF\xFE\"") << 4;
}

void TestRegistry::malformedFileIsReportedAndKept()
{
    QFETCH(QByteArray, content);
    QFETCH(int, line);

    // Opened while the file was sound, written after it broke.
    WriteAll(m_file, RegFile("\"V\"=dword:00000001"));
    Registry early;
    QVERIFY(early.openKey(kKey, false));

    WriteAll(m_file, content);
    const QString where = QStringLiteral("'%1' cannot be read at line %2:").arg(m_file).arg(line);
    Registry registry;
    for (const auto& open : std::initializer_list<std::function<void()>>{
             [&] { registry.openKey(kKey, false); }, [&] { registry.openKey(kKey, true); },
             [&] { registry.openKeyForWrite(kKey); }}) {
        const QString message = ErrorOf(open);
        QVERIFY2(message.contains(where), qPrintable(message));
        QVERIFY(!registry.hasOpenKey());
    }
    for (const auto& write : std::initializer_list<std::function<void()>>{
             [&] { early.writeInteger(QStringLiteral("V"), 2); },
             [&] {
                 early.writeValues({{QStringLiteral("V"), 2}, {QStringLiteral("W"), QString()}});
             }}) {
        const QString message = ErrorOf(write);
        QVERIFY2(message.contains(where), qPrintable(message));
    }
    QCOMPARE(ReadAll(m_file), content);
}

void TestRegistry::lineBreakInTextIsRefused()
{
    Registry registry;
    QVERIFY(registry.openKey(kKey, true));
    registry.writeString(QStringLiteral("Keep"), QStringLiteral("x"));
    const QByteArray before = ReadAll(m_file);
    for (const QString& text : {QStringLiteral("a\nb"), QStringLiteral("a\rb"),
                                QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"))}) {
        QCOMPARE(ErrorOf([&] { registry.writeString(QStringLiteral("Sound"), text); }),
                 QStringLiteral("Failed to set data for 'Sound'"));
    }
    QCOMPARE(ErrorOf([&] { registry.writeInteger(QStringLiteral("a\nb"), 1); }),
             QStringLiteral("Failed to set data for 'a\nb'"));
    QCOMPARE(ReadAll(m_file), before);
    QVERIFY(registry.openKey(kKey, false));
    QCOMPARE(registry.readString(QStringLiteral("Keep")), QStringLiteral("x"));
}

void TestRegistry::writeValuesInOneRewrite()
{
    WriteAll(m_file, RegFile("\"Old\"=dword:00000001\n; a note\n\"Keep\"=\"k\""));
    Registry registry;
    QVERIFY(registry.openKey(kKey, false));
    RewriteCounter rewrites(m_file);
    QVERIFY(rewrites.isWatching());
    registry.writeValues({{QStringLiteral("New"), 1},
                          {QStringLiteral("old"), -2}, // replaced where it stands
                          {QStringLiteral("Text"), QStringLiteral("a \"q\" \\")},
                          {QStringLiteral("Empty"), QString()}});
    QCOMPARE(rewrites.take(), 1);
    QCOMPARE(ReadAll(m_file), RegFile("\"Old\"=dword:fffffffe\n; a note\n\"Keep\"=\"k\"\n"
                                      "\"New\"=dword:00000001\n"
                                      "\"Text\"=\"a \\\"q\\\" \\\\\"\n"
                                      "\"Empty\"=\"\""));
    // Visible through the same open key at once.
    QCOMPARE(registry.readInteger(QStringLiteral("Old")), -2);
    QCOMPARE(registry.readString(QStringLiteral("Text")), QStringLiteral("a \"q\" \\"));
    registry.writeValues({});
    QCOMPARE(rewrites.take(), 0);
}

void TestRegistry::writeValuesAllOrNothing_data()
{
    QTest::addColumn<QString>("badName");
    QTest::addColumn<QString>("badText");
    QTest::addColumn<bool>("openKey");
    QTest::addColumn<bool>("fileSizeLimit");
    QTest::addColumn<QString>("error");

    const QString nul = QStringLiteral("x") + QChar(0) + QStringLiteral("y");
    QTest::newRow("line break in a text after good values")
        << QString() << QStringLiteral("a\nb") << true << false
        << QStringLiteral("Failed to set data for 'Bad'");
    QTest::newRow("NUL in a text")
        << QString() << nul << true << false << QStringLiteral("Failed to set data for 'Bad'");
    QTest::newRow("line break in a name") << QStringLiteral("B\rad") << QString() << true << false
                                          << QStringLiteral("Failed to set data for 'B\rad'");
    QTest::newRow("no open key") << QString() << QString() << false << false
                                 << QStringLiteral("Failed to set data for 'First'");
    // The new text is longer than the file: the rewrite stops short.
    QTest::newRow("file cannot be replaced") << QString() << QString(400, u'z') << true << true
                                             << QStringLiteral("Failed to set data for 'First'");
}

void TestRegistry::writeValuesAllOrNothing()
{
    QFETCH(QString, badName);
    QFETCH(QString, badText);
    QFETCH(bool, openKey);
    QFETCH(bool, fileSizeLimit);
    QFETCH(QString, error);

    const QByteArray before = RegFile("\"First\"=dword:00000001\n; " + QByteArray(200, 'c'));
    WriteAll(m_file, before);
    Registry registry;
    if (openKey)
        QVERIFY(registry.openKey(kKey, false));
    RewriteCounter rewrites(m_file);
    QVERIFY(rewrites.isWatching());
    const std::vector<RegistryValue> values{
        {QStringLiteral("First"), 2},
        {QStringLiteral("Second"), QStringLiteral("fine")},
        {badName.isEmpty() ? QStringLiteral("Bad") : badName, badText},
        {QStringLiteral("Last"), 4},
    };
    QString message;
    {
        FileSizeLimit limit(fileSizeLimit ? rlim_t(before.size()) : RLIM_INFINITY);
        QVERIFY(limit.isActive());
        message = ErrorOf([&] { registry.writeValues(values); });
    }
    QCOMPARE(message, error);
    QCOMPARE(rewrites.take(), 0);
    QCOMPARE(ReadAll(m_file), before);
    QVERIFY(!QFileInfo::exists(m_file + QStringLiteral(".lock")));
    if (openKey) // what the object holds is still the file as it is
        QCOMPARE(registry.readInteger(QStringLiteral("First")), 1);
}

void TestRegistry::openKeyForWriteAddsKeyWithFirstWrite()
{
    QDir(m_folder.config.path()).rmdir(QStringLiteral("Tarnwick"));
    Registry registry;
    QVERIFY(registry.openKeyForWrite(kKey));
    QVERIFY(registry.hasOpenKey());
    QVERIFY(!QFileInfo::exists(m_file)); // nothing written yet
    QCOMPARE(ModeOf(QFileInfo(m_file).absolutePath()), mode_t(0700));
    QVERIFY(!registry.valueExists(QStringLiteral("A")));
    QCOMPARE(ErrorOf([&] { registry.readInteger(QStringLiteral("A")); }),
             QStringLiteral("Failed to get data for 'A'"));

    // A refused write leaves no empty key behind.
    QCOMPARE(ErrorOf([&] {
                 registry.writeValues(
                     {{QStringLiteral("A"), 1}, {QStringLiteral("B"), QStringLiteral("\n")}});
             }),
             QStringLiteral("Failed to set data for 'B'"));
    QVERIFY(!QFileInfo::exists(m_file));

    RewriteCounter rewrites(m_file);
    QVERIFY(rewrites.isWatching());
    registry.writeValues({{QStringLiteral("A"), 1}, {QStringLiteral("B"), QStringLiteral("b")}});
    QCOMPARE(rewrites.take(), 1);
    QCOMPARE(ReadAll(m_file), RegFile("\"A\"=dword:00000001\n\"B\"=\"b\"\n"));
    QCOMPARE(ModeOf(m_file), mode_t(0600));

    // An existing key opens as it stands, without a rewrite.
    QVERIFY(registry.openKeyForWrite(kKey));
    QCOMPARE(registry.readString(QStringLiteral("B")), QStringLiteral("b"));
    QCOMPARE(rewrites.take(), 0);

    // A key path that cannot be stored, and a plain file where the folder
    // must be: the key can be neither opened nor added.
    QVERIFY(!registry.openKeyForWrite(QStringLiteral("SOFTWARE\\a\nb")));
    QVERIFY(!registry.hasOpenKey());
    QTemporaryDir blocked;
    QVERIFY(blocked.isValid());
    QFile obstacle(blocked.path() + QStringLiteral("/Tarnwick"));
    QVERIFY(obstacle.open(QIODevice::WriteOnly));
    obstacle.close();
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocked.path()));
    const bool opened = registry.openKeyForWrite(kKey);
    qputenv("XDG_CONFIG_HOME", saved);
    QVERIFY(!opened);
    QCOMPARE(QFileInfo(obstacle.fileName()).size(), qint64(0));
}

void TestRegistry::interleavedObjectsKeepEachOthersWrites()
{
    Registry first;
    Registry second;
    QVERIFY(first.openKey(kKey, true));
    QVERIFY(second.openKey(kKey, false));
    first.writeInteger(QStringLiteral("A"), 1);
    second.writeInteger(QStringLiteral("B"), 2); // opened before A was written
    first.writeInteger(QStringLiteral("C"), 3);  // wrote before B was written

    Registry other;
    QVERIFY(other.openKey(QStringLiteral("SOFTWARE\\Elsewhere"), true));
    second.writeString(QStringLiteral("D"), QStringLiteral("4"));

    Registry check;
    QVERIFY(check.openKey(kKey, false));
    QCOMPARE(check.readInteger(QStringLiteral("A")), 1);
    QCOMPARE(check.readInteger(QStringLiteral("B")), 2);
    QCOMPARE(check.readInteger(QStringLiteral("C")), 3);
    QCOMPARE(check.readString(QStringLiteral("D")), QStringLiteral("4"));
    QVERIFY(check.openKey(QStringLiteral("SOFTWARE\\Elsewhere"), false));

    // A key removed by someone else since the open comes back on write.
    QFile::remove(m_file);
    first.writeInteger(QStringLiteral("E"), 5);
    QVERIFY(check.openKey(kKey, false));
    QCOMPARE(check.readInteger(QStringLiteral("E")), 5);
}

void TestRegistry::twoProcessesKeepEachOthersWrites()
{
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const char* prefix : {"P", "Q"}) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kWriterVariable), QString::fromLatin1(prefix));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QCoreApplication::applicationFilePath(), {});
        writers.push_back(std::move(process));
    }
    for (const auto& process : writers) {
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
    }
    Registry registry;
    QVERIFY(registry.openKey(kKey, false));
    QStringList lost;
    for (int i = 0; i < kWritesPerProcess; ++i) {
        for (const QString& prefix : {QStringLiteral("P"), QStringLiteral("Q")}) {
            const QString name = prefix + QString::number(i);
            if (!registry.valueExists(name) || registry.readInteger(name) != i)
                lost += name;
        }
    }
    QVERIFY2(lost.isEmpty(), qPrintable(lost.join(u' ')));
    QCOMPARE(ModeOf(m_file), mode_t(0600));
    QVERIFY(!QFileInfo::exists(m_file + QStringLiteral(".lock")));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(kWriterVariable)) {
        QCoreApplication app(argc, argv);
        try {
            return RunWriter(qEnvironmentVariable(kWriterVariable));
        } catch (const RegistryError& error) {
            qWarning("%s", qPrintable(error.message()));
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    TestRegistry test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestRegistry.moc"
