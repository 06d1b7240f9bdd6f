// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program reads and writes its files: a build folder and a
// TARNWICK_HOME folder are one folder for everything; an installed tree
// (the marker below <prefix>/share/tarnwick) reads from share/tarnwick and
// writes in $XDG_DATA_HOME/Tarnwick, with a relative or empty XDG_DATA_HOME
// ignored for ~/.local/share, and no data folder at all when there is no
// home to put it in. A share/tarnwick folder without the marker does not
// make a build folder an installed one.
#include "TestDir.h"

#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace tarnwick;

class TestProgramFolder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void runningProgramUsesLayout();

private:
    TestDir m_tree;
    // "@" at the start of a path in the table stands for the tree's root.
    QString expand(const QString& path) const
    {
        return path.startsWith(u'@') ? m_tree.path() + path.mid(1) : path;
    }
};

void TestProgramFolder::initTestCase()
{
    QVERIFY(m_tree.isValid());
    m_tree.makeDir(QStringLiteral("build/bin"));
    m_tree.makeDir(QStringLiteral("prefix/bin"));
    m_tree.makeDir(QStringLiteral("prefix/share/tarnwick/Language"));
    m_tree.writeFile(QStringLiteral("prefix/share/tarnwick/installed"));
    // A build folder that sits in a tree with a share/tarnwick beside it.
    m_tree.makeDir(QStringLiteral("near/bin"));
    m_tree.makeDir(QStringLiteral("near/share/tarnwick/Language"));
    m_tree.makeDir(QStringLiteral("home"));
}

void TestProgramFolder::layout_data()
{
    QTest::addColumn<QString>("executableFolder");
    // NAME=value pairs; HOME is "@/home" unless a row names it.
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("resources");
    QTest::addColumn<QString>("data");

    QTest::newRow("build folder")
        << "@/build/bin" << QStringList{} << false << "@/build/bin/" << "@/build/bin/";
    QTest::newRow("build folder, TARNWICK_HOME")
        << "@/build/bin" << QStringList{QStringLiteral("TARNWICK_HOME=@/elsewhere")} << false
        << "@/elsewhere/" << "@/elsewhere/";
    QTest::newRow("build folder ignores XDG_DATA_HOME")
        << "@/build/bin" << QStringList{QStringLiteral("XDG_DATA_HOME=@/xdg")} << false
        << "@/build/bin/" << "@/build/bin/";
    QTest::newRow("share/tarnwick without the marker")
        << "@/near/bin" << QStringList{} << false << "@/near/bin/" << "@/near/bin/";
    QTest::newRow("installed, TARNWICK_HOME names one folder")
        << "@/prefix/bin"
        << QStringList{QStringLiteral("TARNWICK_HOME=@/elsewhere"),
                       QStringLiteral("XDG_DATA_HOME=@/xdg")}
        << false << "@/elsewhere/" << "@/elsewhere/";
    QTest::newRow("installed, XDG_DATA_HOME absolute")
        << "@/prefix/bin" << QStringList{QStringLiteral("XDG_DATA_HOME=@/xdg")} << true
        << "@/prefix/share/tarnwick/" << "@/xdg/Tarnwick/";
    QTest::newRow("installed, XDG_DATA_HOME unset")
        << "@/prefix/bin" << QStringList{} << true << "@/prefix/share/tarnwick/"
        << "@/home/.local/share/Tarnwick/";
    QTest::newRow("installed, XDG_DATA_HOME relative")
        << "@/prefix/bin" << QStringList{QStringLiteral("XDG_DATA_HOME=data/here")} << true
        << "@/prefix/share/tarnwick/" << "@/home/.local/share/Tarnwick/";
    QTest::newRow("installed, XDG_DATA_HOME empty")
        << "@/prefix/bin" << QStringList{QStringLiteral("XDG_DATA_HOME=")} << true
        << "@/prefix/share/tarnwick/" << "@/home/.local/share/Tarnwick/";
    QTest::newRow("installed, executable folder given unclean")
        << "@/prefix/bin/../bin/" << QStringList{QStringLiteral("XDG_DATA_HOME=@/xdg/")} << true
        << "@/prefix/share/tarnwick/" << "@/xdg/Tarnwick/";
    QTest::newRow("installed, HOME that does not exist")
        << "@/prefix/bin" << QStringList{QStringLiteral("HOME=@/gone")} << true
        << "@/prefix/share/tarnwick/" << "";
    QTest::newRow("installed, HOME that does not exist, XDG_DATA_HOME absolute")
        << "@/prefix/bin"
        << QStringList{QStringLiteral("HOME=@/gone"), QStringLiteral("XDG_DATA_HOME=@/xdg")}
        << true << "@/prefix/share/tarnwick/" << "@/xdg/Tarnwick/";
    QTest::newRow("installed, HOME relative")
        << "@/prefix/bin" << QStringList{QStringLiteral("HOME=home")} << true
        << "@/prefix/share/tarnwick/" << "<password database>/.local/share/Tarnwick/";
}

void TestProgramFolder::layout()
{
    QFETCH(QString, executableFolder);
    QFETCH(QStringList, environment);
    QFETCH(bool, installed);
    QFETCH(QString, resources);
    QFETCH(QString, data);

    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), expand(QStringLiteral("@/home")));
    for (const QString& pair : std::as_const(environment)) {
        const qsizetype equals = pair.indexOf(u'=');
        env.insert(pair.left(equals), expand(pair.mid(equals + 1)));
    }
    if (data.startsWith(QLatin1String("<password database>"))) {
        const struct passwd* entry = ::getpwuid(::geteuid());
        if (!entry || !QDir(QFile::decodeName(entry->pw_dir)).exists())
            QSKIP("the user has no home folder in the password database");
        data.replace(QLatin1String("<password database>"),
                     QDir::cleanPath(QFile::decodeName(entry->pw_dir)));
    }

    const FolderLayout layout = ResolveFolderLayout(expand(executableFolder), env);
    QCOMPARE(layout.installed, installed);
    QCOMPARE(layout.resources, expand(resources));
    QCOMPARE(layout.data, expand(data));
}

// The functions every caller uses follow the running program's layout:
// the test executable lies in a build folder, so everything is beside it,
// or in TARNWICK_HOME when that is set; a relative TARNWICK_HOME is taken
// from the current folder.
void TestProgramFolder::runningProgramUsesLayout()
{
    const QByteArray oldHome = qgetenv("TARNWICK_HOME");
    const bool hadHome = qEnvironmentVariableIsSet("TARNWICK_HOME");
    const auto restore = qScopeGuard([&] {
        if (hadHome)
            qputenv("TARNWICK_HOME", oldHome);
        else
            qunsetenv("TARNWICK_HOME");
    });

    qunsetenv("TARNWICK_HOME");
    const QString executable = ExecutableFolder();
    QVERIFY2(QFileInfo::exists(executable + QStringLiteral("TestProgramFolder")),
             qPrintable(executable));
    QCOMPARE(DataFolder(), executable);
    QCOMPARE(ResourceFolder(), executable);
    QCOMPARE(ProgramFolder(), executable);

    qputenv("TARNWICK_HOME", QFile::encodeName(m_tree.filePath(QStringLiteral("elsewhere"))));
    const QString home = m_tree.filePath(QStringLiteral("elsewhere/"));
    QCOMPARE(TaskDatabasePath(), home + QStringLiteral("Tarnwick.dat"));
    QCOMPARE(LogFolder(), home + QStringLiteral("Log/"));
    QCOMPARE(LanguageFolder(), home + QStringLiteral("Language/"));
    QCOMPARE(HelpFolder(), home + QStringLiteral("Help/"));
    QCOMPARE(ProgramFolder(), home);

    qputenv("TARNWICK_HOME", "relative/home");
    QCOMPARE(DataFolder(), QDir::currentPath() + QStringLiteral("/relative/home/"));
}

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "TestProgramFolder.moc"
