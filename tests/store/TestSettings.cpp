// SPDX-License-Identifier: GPL-3.0-or-later
// The settings readers and writers: each reader's defaults when the key is
// missing, errors (not defaults) for missing or mistyped numbers under an
// existing key, empty strings for missing texts, the order in which each
// reader reads, and the options writer: one rewrite, all or nothing.
#include "FileSizeLimit.h"
#include "ProgramFolder.h"
#include "RegistryErrorOf.h"
#include "RewriteCounter.h"

#include "platform/Registry.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace tarnwick;

namespace {

const QByteArray kOptionKeyLine =
    "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickOption]";
const QByteArray kLanguageKeyLine =
    "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickLanguage]";

// The nineteen values as the options dialog stores its defaults, with
// DisplaySplash on; one line per value so a test can drop or change one.
QList<QByteArray> FullOptionLines()
{
    return {
        "\"Minimized\"=dword:00000000",     "\"HideTray\"=dword:00000000",
        "\"DisplaySplash\"=dword:00000001", "\"WhenClose\"=dword:00000000",
        "\"LogFileName\"=\"Tarnwick.log\"", "\"MaxLogFileSize\"=dword:00000000",
        "\"StartFilshMsg\"=dword:00000001", "\"CopyMsg\"=dword:00000000",
        "\"SkipMsg\"=dword:00000000",       "\"ErrorMsg\"=dword:00000001",
        "\"StartFilshClr\"=dword:00008000", "\"CopyClr\"=dword:00000000",
        "\"SkipClr\"=dword:00000000",       "\"ErrorClr\"=dword:000000ff",
        "\"ShowDlg\"=dword:00000000",       "\"ShowBullons\"=dword:00000000",
        "\"PlaySound\"=dword:00000000",     "\"SoundFile\"=\"\"",
        "\"ThrdPRI\"=dword:00000001",
    };
}

// The lines with the value `name` left out, or replaced by `replacement`.
QByteArray OptionKeyWith(const QByteArray& name, const QByteArray& replacement = QByteArray())
{
    QByteArray text = "REGEDIT4\n\n" + kOptionKeyLine + "\n";
    for (const QByteArray& line : FullOptionLines()) {
        if (!name.isEmpty() && line.startsWith(QByteArray("\"" + name + "\"="))) {
            if (!replacement.isEmpty())
                text += "\"" + name + "\"=" + replacement + "\n";
            continue;
        }
        text += line + "\n";
    }
    return text + "\n";
}

// The stored line of `line`'s value with the other kind: a number as a text,
// a text as a number. Every reader fails on it with "Invalid data type".
QByteArray MistypedLine(const QByteArray& line)
{
    const QByteArray name = line.left(line.indexOf("\"=") + 2);
    if (line.contains("=dword:"))
        return name + "\"x\"";
    return name + "dword:00000000";
}

// The value name of a stored line.
QByteArray NameOf(const QByteArray& line)
{
    return line.mid(1, line.indexOf("\"=") - 1);
}

// Runs one reader by its name in the test tables.
void RunReader(const QString& reader)
{
    if (reader == QLatin1String("runner"))
        ReadRunnerSettings();
    else if (reader == QLatin1String("splash"))
        ReadDisplaySplash();
    else if (reader == QLatin1String("close"))
        ReadWhenClose();
    else if (reader == QLatin1String("main"))
        ReadMainWindowSettings();
    else
        ReadOptionSettings();
}

QVariantList Fields(const OptionSettings& s)
{
    return {s.minimized,      s.hideTray,      s.displaySplash, s.whenClose, s.logFileName,
            s.maxLogFileSize, s.startFilshMsg, s.copyMsg,       s.skipMsg,   s.errorMsg,
            s.startFilshClr,  s.copyClr,       s.skipClr,       s.errorClr,  s.showDlg,
            s.showBullons,    s.playSound,     s.soundFile,     s.thrdPri};
}

QVariantList Fields(const RunnerSettings& s)
{
    return {s.logFileName,   s.startFilshMsg, s.copyMsg,      s.skipMsg,  s.errorMsg,
            s.startFilshClr, s.copyClr,       s.skipClr,      s.errorClr, s.showDlg,
            s.playSound,     s.soundFile,     int(s.priority)};
}

QVariantList Fields(const MainWindowSettings& s)
{
    return {s.minimized, s.hideTray, s.logFileName, s.maxLogFileSize};
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void missingKeyGivesEachReadersDefaults();
    void missingNumberUnderKeyRaises_data();
    void missingNumberUnderKeyRaises();
    void eachReaderReadsItsValuesInItsOrder_data();
    void eachReaderReadsItsValuesInItsOrder();
    void mistypedNumberRaises();
    void missingStringReadsEmpty();
    void anyNonZeroDwordIsTrue();
    void threadPriorityFromStoredIndex_data();
    void threadPriorityFromStoredIndex();
    void optionsWriteReadsBack();
    void optionsWriteKeepsOtherValuesAndKeys();
    void optionsWriteIsOneRewriteInTableOrder_data();
    void optionsWriteIsOneRewriteInTableOrder();
    void failedOptionsWriteLeavesFileAsItWas_data();
    void failedOptionsWriteLeavesFileAsItWas();
    void optionsWriteWithoutKeyRaises();
    void malformedFileIsNotDefaultsAndNotOverwritten();
    void languageKey();

private:
    void writeRegistry(const QByteArray& text);
    QByteArray registryText() const;

    // Only its settings folder is used; no task database.
    ProgramFolderFixture m_folder{false};
    QString m_file;
};

void TestSettings::initTestCase()
{
    QVERIFY(m_folder.config.isValid());
    m_file = m_folder.registryPath();
    QCOMPARE(RegistryFilePath(), m_file);
}

void TestSettings::init()
{
    QFile::remove(m_file);
}

void TestSettings::writeRegistry(const QByteArray& text)
{
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text), text.size());
}

QByteArray TestSettings::registryText() const
{
    QFile file(m_file);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void TestSettings::missingKeyGivesEachReadersDefaults()
{
    // A language key alone: the options key is still missing.
    writeRegistry("REGEDIT4\n\n" + kLanguageKeyLine + "\n\n");
    QCOMPARE(ReadDisplaySplash(), true);
    QCOMPARE(ReadWhenClose(), 0);
    QCOMPARE(Fields(ReadMainWindowSettings()), Fields(MainWindowSettings{}));
    QCOMPARE(ReadMainWindowSettings().logFileName, QStringLiteral("Tarnwick.log"));

    const RunnerSettings runner = ReadRunnerSettings();
    QCOMPARE(Fields(runner), Fields(RunnerSettings{}));
    QCOMPARE(runner.startFilshMsg, true);
    QCOMPARE(runner.errorMsg, true);
    QCOMPARE(runner.copyMsg, false);
    QCOMPARE(runner.startFilshClr, quint32(32768));
    QCOMPARE(runner.errorClr, quint32(255));
    QCOMPARE(runner.priority, ThreadPriority::Lowest);

    const OptionSettings options = ReadOptionSettings();
    QCOMPARE(Fields(options), Fields(OptionSettings{}));
    QCOMPARE(options.displaySplash, false); // the dialog's default differs
    QCOMPARE(options.thrdPri, 1);
    // Reading never makes the key.
    QCOMPARE(registryText(), "REGEDIT4\n\n" + kLanguageKeyLine + "\n\n");

    // FullOptionLines holds the start-up defaults as stored: read back, each
    // reader gets its defaults again.
    writeRegistry(OptionKeyWith(QByteArray()));
    QCOMPARE(ReadDisplaySplash(), true);
    QCOMPARE(ReadWhenClose(), 0);
    QCOMPARE(Fields(ReadMainWindowSettings()), Fields(MainWindowSettings{}));
    QCOMPARE(Fields(ReadRunnerSettings()), Fields(RunnerSettings{}));
}

void TestSettings::missingNumberUnderKeyRaises_data()
{
    QTest::addColumn<QByteArray>("missing");
    QTest::addColumn<QString>("reader");

    QTest::newRow("runner ThrdPRI") << QByteArray("ThrdPRI") << "runner";
    QTest::newRow("runner StartFilshClr") << QByteArray("StartFilshClr") << "runner";
    QTest::newRow("splash DisplaySplash") << QByteArray("DisplaySplash") << "splash";
    QTest::newRow("close WhenClose") << QByteArray("WhenClose") << "close";
    QTest::newRow("main MaxLogFileSize") << QByteArray("MaxLogFileSize") << "main";
    QTest::newRow("options ShowBullons") << QByteArray("ShowBullons") << "options";
}

void TestSettings::missingNumberUnderKeyRaises()
{
    QFETCH(QByteArray, missing);
    QFETCH(QString, reader);

    writeRegistry(OptionKeyWith(missing));
    const QString message = ErrorOf([&] { RunReader(reader); });
    QCOMPARE(message, QStringLiteral("Failed to get data for '%1'").arg(QLatin1String(missing)));
}

void TestSettings::eachReaderReadsItsValuesInItsOrder_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QList<QByteArray>>("order");

    QTest::newRow("splash") << "splash" << QList<QByteArray>{"DisplaySplash"};
    QTest::newRow("main") << "main"
                          << QList<QByteArray>{"Minimized", "HideTray", "LogFileName",
                                               "MaxLogFileSize"};
    QTest::newRow("close") << "close" << QList<QByteArray>{"WhenClose"};
    QTest::newRow("runner") << "runner"
                            << QList<QByteArray>{"LogFileName", "StartFilshMsg", "CopyMsg",
                                                 "SkipMsg",     "ErrorMsg",      "StartFilshClr",
                                                 "CopyClr",     "SkipClr",       "ErrorClr",
                                                 "ShowDlg",     "PlaySound",     "SoundFile",
                                                 "ThrdPRI"};
    QList<QByteArray> all;
    for (const QByteArray& line : FullOptionLines())
        all += NameOf(line);
    QTest::newRow("options") << "options" << all;
}

void TestSettings::eachReaderReadsItsValuesInItsOrder()
{
    QFETCH(QString, reader);
    QFETCH(QList<QByteArray>, order);

    // Every value stored with the wrong kind; the reader stumbles over the
    // first one it reads. Mending them one at a time in the expected order
    // walks the reader through its order, and the values it never reads stay
    // broken to the end.
    QList<QByteArray> mended;
    for (qsizetype step = 0; step <= order.size(); ++step) {
        QByteArray text = "REGEDIT4\n\n" + kOptionKeyLine + "\n";
        for (const QByteArray& line : FullOptionLines())
            text += (mended.contains(NameOf(line)) ? line : MistypedLine(line)) + "\n";
        writeRegistry(text + "\n");
        const QString expected =
            step < order.size()
                ? QStringLiteral("Invalid data type for '%1'").arg(QLatin1String(order.at(step)))
                : QString();
        QCOMPARE(ErrorOf([&] { RunReader(reader); }), expected);
        if (step < order.size())
            mended += order.at(step);
    }
}

void TestSettings::mistypedNumberRaises()
{
    writeRegistry(OptionKeyWith("ThrdPRI", "\"3\""));
    QCOMPARE(ErrorOf([] { ReadRunnerSettings(); }),
             QStringLiteral("Invalid data type for 'ThrdPRI'"));
    writeRegistry(OptionKeyWith("LogFileName", "dword:00000001"));
    QCOMPARE(ErrorOf([] { ReadMainWindowSettings(); }),
             QStringLiteral("Invalid data type for 'LogFileName'"));
}

void TestSettings::missingStringReadsEmpty()
{
    writeRegistry(OptionKeyWith("LogFileName"));
    QCOMPARE(ReadRunnerSettings().logFileName, QString());
    QCOMPARE(ReadMainWindowSettings().logFileName, QString());
    QCOMPARE(ReadOptionSettings().logFileName, QString());

    writeRegistry(OptionKeyWith("SoundFile"));
    QCOMPARE(ReadRunnerSettings().soundFile, QString());
    // A stored REG_EXPAND_SZ is taken as it stands.
    writeRegistry(OptionKeyWith("SoundFile", "hex(2):25,00,48,00,25,00,00,00"));
    QCOMPARE(ReadRunnerSettings().soundFile, QStringLiteral("%H%"));
}

void TestSettings::anyNonZeroDwordIsTrue()
{
    writeRegistry(OptionKeyWith("DisplaySplash", "dword:00000002"));
    QCOMPARE(ReadDisplaySplash(), true);
    QCOMPARE(ReadOptionSettings().displaySplash, true);
    writeRegistry(OptionKeyWith("CopyMsg", "dword:80000000"));
    QCOMPARE(ReadRunnerSettings().copyMsg, true);
    writeRegistry(OptionKeyWith("DisplaySplash", "dword:00000000"));
    QCOMPARE(ReadDisplaySplash(), false);
}

void TestSettings::threadPriorityFromStoredIndex_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("index");
    QTest::addColumn<ThreadPriority>("priority");

    QTest::newRow("0 idle") << QByteArray("00000000") << 0 << ThreadPriority::Idle;
    QTest::newRow("1 lowest") << QByteArray("00000001") << 1 << ThreadPriority::Lowest;
    QTest::newRow("3 normal") << QByteArray("00000003") << 3 << ThreadPriority::Normal;
    QTest::newRow("5 highest") << QByteArray("00000005") << 5 << ThreadPriority::Highest;
    QTest::newRow("6 real time") << QByteArray("00000006") << 6 << ThreadPriority::RealTime;
    QTest::newRow("7") << QByteArray("00000007") << 7 << ThreadPriority::RealTime;
    QTest::newRow("-1") << QByteArray("ffffffff") << -1 << ThreadPriority::RealTime;
    QTest::newRow("most negative")
        << QByteArray("80000000") << int(0x80000000) << ThreadPriority::RealTime;
}

void TestSettings::threadPriorityFromStoredIndex()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, index);
    QFETCH(ThreadPriority, priority);

    writeRegistry(OptionKeyWith("ThrdPRI", "dword:" + stored));
    QCOMPARE(ReadRunnerSettings().priority, priority);
    QCOMPARE(ReadOptionSettings().thrdPri, index); // the dialog keeps the raw index
    QCOMPARE(ThreadPriorityFromIndex(index), priority);
}

void TestSettings::optionsWriteReadsBack()
{
    OptionSettings written;
    written.minimized = true;
    written.hideTray = true;
    written.displaySplash = true;
    written.whenClose = 5;
    written.logFileName = QStringLiteral("runs \"all\" \\ ü.log");
    written.maxLogFileSize = 2048;
    written.startFilshMsg = false;
    written.copyMsg = true;
    written.skipMsg = true;
    written.errorMsg = false;
    written.startFilshClr = 0x00123456;
    written.copyClr = 0x00FFFFFF;
    written.skipClr = 0x00808080;
    written.errorClr = 0x000000FE;
    written.showDlg = true;
    written.showBullons = true;
    written.playSound = true;
    written.soundFile = QStringLiteral("/usr/share/sounds/done.wav");
    written.thrdPri = 4;
    WriteOptionSettings(written);

    QCOMPARE(Fields(ReadOptionSettings()), Fields(written));
    QCOMPARE(ReadDisplaySplash(), true);
    QCOMPARE(ReadWhenClose(), 5);
    const MainWindowSettings main = ReadMainWindowSettings();
    QCOMPARE(main.minimized, true);
    QCOMPARE(main.logFileName, written.logFileName);
    QCOMPARE(main.maxLogFileSize, 2048);
    const RunnerSettings runner = ReadRunnerSettings();
    QCOMPARE(runner.startFilshClr, quint32(0x00123456));
    QCOMPARE(runner.copyClr, quint32(0x00FFFFFF));
    QCOMPARE(runner.soundFile, written.soundFile);
    QCOMPARE(runner.priority, ThreadPriority::Higher);

    // All nineteen, in the dialog's order, and nothing else.
    QList<QByteArray> names;
    for (const QByteArray& line : registryText().split('\n')) {
        if (line.startsWith('"'))
            names += line.mid(1, line.indexOf("\"=") - 1);
    }
    QList<QByteArray> expected;
    for (const QByteArray& line : FullOptionLines())
        expected += line.mid(1, line.indexOf("\"=") - 1);
    QCOMPARE(names, expected);

    // Writing the dialog's defaults over them stores DisplaySplash = 0.
    WriteOptionSettings(OptionSettings{});
    QCOMPARE(ReadDisplaySplash(), false);
    QCOMPARE(Fields(ReadOptionSettings()), Fields(OptionSettings{}));
}

void TestSettings::optionsWriteKeepsOtherValuesAndKeys()
{
    const QByteArray language = "REGEDIT4\n\n" + kLanguageKeyLine +
                                "\n\"Language\"=\"Deutsch\"\n\n" + kOptionKeyLine +
                                "\n\"Extra\"=hex:01,02\n\"WhenClose\"=dword:00000001\n\n";
    writeRegistry(language);
    OptionSettings settings;
    settings.whenClose = 2;
    WriteOptionSettings(settings);
    QCOMPARE(ReadLanguage(false), QStringLiteral("Deutsch"));
    QCOMPARE(ReadWhenClose(), 2);
    const QByteArray text = registryText();
    QVERIFY(text.startsWith(QByteArray("REGEDIT4\n\n" + kLanguageKeyLine +
                                       "\n\"Language\"=\"Deutsch\"\n\n" + kOptionKeyLine +
                                       "\n\"Extra\"=hex:01,02\n\"WhenClose\"=dword:00000002\n"
                                       "\"Minimized\"=dword:00000000\n")));

    WriteLanguage(QStringLiteral("English"));
    QCOMPARE(ReadLanguage(false), QStringLiteral("English"));
    QCOMPARE(ReadWhenClose(), 2);
    QVERIFY(registryText().contains("\"Extra\"=hex:01,02\n"));
}

void TestSettings::optionsWriteIsOneRewriteInTableOrder_data()
{
    QTest::addColumn<QByteArray>("before");

    QTest::newRow("no options key yet") << "REGEDIT4\n\n" + kLanguageKeyLine + "\n\n";
    QTest::newRow("every value stored") << "REGEDIT4\n\n" + kLanguageKeyLine + "\n\n" +
                                               OptionKeyWith("MaxLogFileSize", "dword:00000400")
                                                   .mid(QByteArray("REGEDIT4\n\n").size());
}

void TestSettings::optionsWriteIsOneRewriteInTableOrder()
{
    QFETCH(QByteArray, before);

    writeRegistry(before);
    RewriteCounter rewrites(m_file);
    QVERIFY(rewrites.isWatching());
    WriteOptionSettings(OptionSettings{});
    QCOMPARE(rewrites.take(), 1);
    // The dialog's defaults: the stored start-up defaults but DisplaySplash 0.
    QCOMPARE(registryText(), "REGEDIT4\n\n" + kLanguageKeyLine + "\n\n" +
                                 OptionKeyWith("DisplaySplash", "dword:00000000")
                                     .mid(QByteArray("REGEDIT4\n\n").size()));
}

void TestSettings::failedOptionsWriteLeavesFileAsItWas_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("soundFile");
    QTest::addColumn<QString>("logFileName");
    QTest::addColumn<bool>("fileSizeLimit");
    QTest::addColumn<QString>("error");

    // Long enough that the rewrite is larger than the file and the lock file.
    const QString longPath =
        QStringLiteral("/sounds/") + QString(300, u'x') + QStringLiteral(".wav");
    const QByteArray noKey = "REGEDIT4\n; " + QByteArray(300, 'n') + "\n\n" + kLanguageKeyLine +
                             "\n\"Language\"=\"Deutsch\"\n\n";
    const QByteArray fullKey = OptionKeyWith("WhenClose", "dword:00000002");
    const QString soundFailed = QStringLiteral("Failed to set data for 'SoundFile'");

    QTest::newRow("line break in the 18th value, key stored")
        << fullKey << QStringLiteral("a\nb.wav") << QStringLiteral("Tarnwick.log") << false
        << soundFailed;
    // The key must not be added on its own either: an empty key would make
    // every reader fail.
    QTest::newRow("line break in the 18th value, no key yet")
        << noKey << QStringLiteral("a\rb.wav") << QStringLiteral("Tarnwick.log") << false
        << soundFailed;
    QTest::newRow("NUL in the log file name")
        << fullKey << QString() << QString(QStringLiteral("x") + QChar(0) + QStringLiteral(".log"))
        << false << QStringLiteral("Failed to set data for 'LogFileName'");
    QTest::newRow("file cannot be replaced, key stored")
        << fullKey << longPath << QStringLiteral("Tarnwick.log") << true
        << QStringLiteral("Failed to set data for 'Minimized'");
    QTest::newRow("file cannot be replaced, no key yet")
        << noKey << longPath << QStringLiteral("Tarnwick.log") << true
        << QStringLiteral("Failed to set data for 'Minimized'");
}

void TestSettings::failedOptionsWriteLeavesFileAsItWas()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, soundFile);
    QFETCH(QString, logFileName);
    QFETCH(bool, fileSizeLimit);
    QFETCH(QString, error);

    writeRegistry(before);
    OptionSettings settings;
    settings.whenClose = 1;
    settings.playSound = true;
    settings.soundFile = soundFile;
    settings.logFileName = logFileName;
    RewriteCounter rewrites(m_file);
    QVERIFY(rewrites.isWatching());
    QString message;
    {
        FileSizeLimit limit(fileSizeLimit ? rlim_t(before.size()) : RLIM_INFINITY);
        QVERIFY(limit.isActive());
        message = ErrorOf([&] { WriteOptionSettings(settings); });
    }
    QCOMPARE(message, error);
    QCOMPARE(rewrites.take(), 0);
    QCOMPARE(registryText(), before);
    QVERIFY(!QFileInfo::exists(m_file + QStringLiteral(".lock")));
}

void TestSettings::optionsWriteWithoutKeyRaises()
{
    // A plain file where the settings folder should be: the key can be
    // neither opened nor created.
    QTemporaryDir blocked;
    QVERIFY(blocked.isValid());
    QFile obstacle(blocked.path() + QStringLiteral("/Tarnwick"));
    QVERIFY(obstacle.open(QIODevice::WriteOnly));
    obstacle.close();
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocked.path()));
    const QString optionsMessage = ErrorOf([] { WriteOptionSettings(OptionSettings{}); });
    const QString languageMessage = ErrorOf([] { WriteLanguage(QStringLiteral("Deutsch")); });
    const QString language = ReadLanguage(true);
    const bool splash = ReadDisplaySplash();
    qputenv("XDG_CONFIG_HOME", saved);

    // The options dialog is told its values were not stored.
    QCOMPARE(optionsMessage,
             QStringLiteral("Cannot open or create the key "
                            "'SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickOption' "
                            "in the registry file '%1/Tarnwick/user.reg'")
                 .arg(blocked.path()));
    // So is the Language menu: a choice that is not stored is not silent.
    QCOMPARE(languageMessage,
             QStringLiteral("Cannot open or create the key "
                            "'SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickLanguage' "
                            "in the registry file '%1/Tarnwick/user.reg'")
                 .arg(blocked.path()));
    QCOMPARE(language, QStringLiteral("English"));
    QCOMPARE(splash, true);
    QCOMPARE(QFileInfo(obstacle.fileName()).size(), qint64(0));
}

void TestSettings::malformedFileIsNotDefaultsAndNotOverwritten()
{
    const QByteArray broken = OptionKeyWith("ThrdPRI", "dword:xyz");
    writeRegistry(broken);
    const QString where = QStringLiteral("'%1' cannot be read at line 22:").arg(m_file);
    for (const auto& operation : std::initializer_list<std::function<void()>>{
             [] { ReadDisplaySplash(); }, [] { ReadRunnerSettings(); },
             [] { WriteOptionSettings(OptionSettings{}); },
             [] { WriteLanguage(QStringLiteral("Deutsch")); }, [] { ReadLanguage(true); }}) {
        const QString message = ErrorOf(operation);
        QVERIFY2(message.contains(where), qPrintable(message));
    }
    QCOMPARE(registryText(), broken);
}

void TestSettings::languageKey()
{
    QCOMPARE(ReadLanguage(false), QStringLiteral("English"));
    QVERIFY(!QFileInfo::exists(m_file));
    // Opened with create the key is made; its missing value reads empty.
    QCOMPARE(ReadLanguage(true), QString());
    QCOMPARE(registryText(), "REGEDIT4\n\n" + kLanguageKeyLine + "\n\n");
    QCOMPARE(ReadLanguage(false), QString());

    WriteLanguage(QStringLiteral("Français"));
    QCOMPARE(ReadLanguage(false), QStringLiteral("Français"));
    QCOMPARE(ReadLanguage(true), QStringLiteral("Français"));
    QCOMPARE(registryText(),
             "REGEDIT4\n\n" + kLanguageKeyLine + "\n\"Language\"=\"Fran\xC3\xA7\x61is\"\n\n");
    // The options key is still missing.
    QCOMPARE(ReadDisplaySplash(), true);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
