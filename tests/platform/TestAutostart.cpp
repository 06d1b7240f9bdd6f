// SPDX-License-Identifier: GPL-3.0-or-later
// The autostart entry: written into $XDG_CONFIG_HOME/autostart (a relative
// XDG_CONFIG_HOME ignored for ~/.config), starting the window minimised
// with its path quoted and escaped as the Desktop Entry rules ask (checked
// with desktop-file-validate), TARNWICK_HOME passed on; "on" means an
// entry is there that does not switch itself off; disable removes our own
// entry only, and a failed write says why.
#include "TestDir.h"

#include "platform/Autostart.h"

#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

#include <memory>

using namespace tarnwick;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The value of the entry's Exec line (or another key's), as written in the
// file.
QByteArray execLine(const QString& path, const QByteArray& key = "Exec=")
{
    for (const QByteArray& line : readFile(path).split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size());
    return "(no " + key + " line)";
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void enableWritesEntry_data();
    void enableWritesEntry();
    void enableReplacesOlderEntry();
    void relativeConfigHomeIsIgnored();
    void enableFailsWithReason();
    void isEnabled_data();
    void isEnabled();
    void disable_data();
    void disable();

private:
    std::unique_ptr<TestDir> m_dir;
    QString entryPath() const
    {
        return m_dir->filePath(QStringLiteral("config/autostart/tarnwick.desktop"));
    }
    void writeEntry(const QByteArray& content) const
    {
        m_dir->makeDir(QStringLiteral("config/autostart"));
        m_dir->writeFile(entryPath(), content);
    }
    struct Saved
    {
        QByteArray value;
        bool set;
    };
    QHash<QByteArray, Saved> m_saved;
};

void TestAutostart::init()
{
    m_dir = std::make_unique<TestDir>();
    for (const QByteArray& name : {QByteArray("XDG_CONFIG_HOME"), QByteArray("HOME"),
                                   QByteArray("TARNWICK_HOME")})
        m_saved.insert(name, {qgetenv(name.constData()), qEnvironmentVariableIsSet(name.constData())});
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("config"))));
    qputenv("HOME", QFile::encodeName(m_dir->makeDir(QStringLiteral("home"))));
    qunsetenv("TARNWICK_HOME");
}

void TestAutostart::cleanup()
{
    for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
        if (it->set)
            qputenv(it.key().constData(), it->value);
        else
            qunsetenv(it.key().constData());
    }
    m_dir.reset();
}

void TestAutostart::enableWritesEntry_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("tarnwickHome");
    QTest::addColumn<QByteArray>("exec");
    // The program itself, as a plain string value: no quotes, no field
    // codes, only the string escapes.
    QTest::addColumn<QByteArray>("tryExec");

    QTest::newRow("plain path") << QStringLiteral("/opt/t/bin/tarnwick") << QString()
                                << QByteArray("/opt/t/bin/tarnwick --minimized")
                                << QByteArray("/opt/t/bin/tarnwick");
    QTest::newRow("blank in the path") << QStringLiteral("/home/a b/bin/tarnwick") << QString()
                                       << QByteArray("\"/home/a b/bin/tarnwick\" --minimized")
                                       << QByteArray("/home/a b/bin/tarnwick");
    // Inside quotes ", $, ` and \ take a backslash; then every backslash of
    // the value is doubled as a string value's escape.
    QTest::newRow("quote, dollar, backquote, backslash")
        << QStringLiteral("/x/a\"b$c`d\\e/tarnwick") << QString()
        << QByteArray("\"/x/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e/tarnwick\" --minimized")
        << QByteArray("/x/a\"b$c`d\\\\e/tarnwick");
    QTest::newRow("percent is not a field code") << QStringLiteral("/x/100%/tarnwick") << QString()
                                                 << QByteArray("/x/100%%/tarnwick --minimized")
                                                 << QByteArray("/x/100%/tarnwick");
    QTest::newRow("TARNWICK_HOME passed on")
        << QStringLiteral("/opt/t/bin/tarnwick") << QStringLiteral("/srv/my tasks")
        << QByteArray("env \"TARNWICK_HOME=/srv/my tasks\" /opt/t/bin/tarnwick --minimized")
        << QByteArray("/opt/t/bin/tarnwick");
}

void TestAutostart::enableWritesEntry()
{
    QFETCH(QString, program);
    QFETCH(QString, tarnwickHome);
    QFETCH(QByteArray, exec);
    QFETCH(QByteArray, tryExec);
    if (!tarnwickHome.isEmpty())
        qputenv("TARNWICK_HOME", QFile::encodeName(tarnwickHome));

    const Autostart autostart(program);
    QCOMPARE(Autostart::filePath(), entryPath());
    QVERIFY(!autostart.isEnabled());
    QString error;
    QVERIFY2(autostart.enable(&error), qPrintable(error));
    QVERIFY(autostart.isEnabled());
    QCOMPARE(execLine(entryPath()), exec);
    QCOMPARE(execLine(entryPath(), "TryExec="), tryExec);

    // The folders made for it are the user's alone.
    struct stat status = {};
    QCOMPARE(::stat(QFile::encodeName(m_dir->filePath(QStringLiteral("config/autostart")))
                        .constData(),
                    &status),
             0);
    QCOMPARE(status.st_mode & 0777, 0700u);

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (scripts/install-deps.sh installs it)");
    QProcess validate;
    validate.start(validator, {entryPath()});
    QVERIFY(validate.waitForFinished());
    const QByteArray said = validate.readAllStandardOutput() + validate.readAllStandardError();
    QVERIFY2(validate.exitCode() == 0 && !said.contains("error"), said.constData());
}

void TestAutostart::enableReplacesOlderEntry()
{
    QString error;
    QVERIFY(Autostart(QStringLiteral("/old/bin/tarnwick")).enable(&error));
    QVERIFY2(Autostart(QStringLiteral("/new/bin/tarnwick")).enable(&error), qPrintable(error));
    QCOMPARE(execLine(entryPath()), QByteArray("/new/bin/tarnwick --minimized"));
    // Written whole under a temporary name: nothing else is left beside it.
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("config/autostart")))
                 .entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("tarnwick.desktop")});
}

void TestAutostart::relativeConfigHomeIsIgnored()
{
    qputenv("XDG_CONFIG_HOME", "config");
    const QString expected = m_dir->filePath(QStringLiteral("home/.config/autostart/tarnwick.desktop"));
    QCOMPARE(Autostart::filePath(), expected);
    QString error;
    QVERIFY2(Autostart(QStringLiteral("/opt/t/bin/tarnwick")).enable(&error), qPrintable(error));
    QVERIFY(QFileInfo(expected).isFile());
}

void TestAutostart::enableFailsWithReason()
{
    const QString blocker = m_dir->writeFile(QStringLiteral("config"));
    const Autostart autostart(QStringLiteral("/opt/t/bin/tarnwick"));
    QString error;
    QVERIFY(!autostart.enable(&error));
    QVERIFY2(error.contains(blocker), qPrintable(error));
    QVERIFY(!autostart.isEnabled());
}

void TestAutostart::isEnabled_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("someone else's entry")
        << QByteArray("[Desktop Entry]\nType=Application\nName=T\nExec=tarnwick\n") << true;
    QTest::newRow("Hidden=true") << QByteArray("[Desktop Entry]\nExec=tarnwick\nHidden=true\n")
                                 << false;
    QTest::newRow("switched off for GNOME")
        << QByteArray("[Desktop Entry]\nExec=tarnwick\nX-GNOME-Autostart-enabled=false\n") << false;
    QTest::newRow("Hidden in another group")
        << QByteArray("[Desktop Entry]\nExec=tarnwick\n[Desktop Action x]\nHidden=true\n") << true;
}

void TestAutostart::isEnabled()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, enabled);
    writeEntry(entry);
    QCOMPARE(Autostart(QStringLiteral("/opt/t/bin/tarnwick")).isEnabled(), enabled);
}

void TestAutostart::disable_data()
{
    QTest::addColumn<QByteArray>("entry"); // empty: our own, written by enable()
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("removed");
    QTest::newRow("our entry") << QByteArray() << true << true;
    QTest::newRow("someone else's entry")
        << QByteArray("[Desktop Entry]\nType=Application\nName=Mine\nExec=tarnwick --x\n") << false
        << false;
    QTest::newRow("someone else's entry that is switched off")
        << QByteArray("[Desktop Entry]\nType=Application\nName=Mine\nExec=tarnwick\nHidden=true\n")
        << true << false;
}

void TestAutostart::disable()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, ok);
    QFETCH(bool, removed);
    const Autostart autostart(QStringLiteral("/opt/t/bin/tarnwick"));
    QString error;
    // Nothing there: already off.
    QVERIFY2(autostart.disable(&error), qPrintable(error));

    if (entry.isEmpty())
        QVERIFY2(autostart.enable(&error), qPrintable(error));
    else
        writeEntry(entry);
    const QByteArray before = readFile(entryPath());

    error.clear();
    QCOMPARE(autostart.disable(&error), ok);
    QCOMPARE(!QFileInfo::exists(entryPath()), removed);
    if (!removed)
        QCOMPARE(readFile(entryPath()), before);
    if (!ok)
        QVERIFY2(error.contains(entryPath()), qPrintable(error));
    QCOMPARE(autostart.isEnabled(), !ok);
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "TestAutostart.moc"
