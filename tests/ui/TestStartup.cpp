// SPDX-License-Identifier: GPL-3.0-or-later
// The window's own command-line options (--minimized from the autostart
// entry, --version, --help) are found among Qt's, which are left to Qt;
// an option that only looks like one of ours is not taken for it.
//
// A second start of the built tarnwick, beside a running window, leaves
// with status 0 and brings that window forward from wherever the user left
// it; as the autostart's --minimized start it leaves the window alone.
// Beside the daemon, which does not listen, it leaves at once without a
// word. The running window is this test's own (it holds the lock and
// listens as the program does), so that its state can be looked at; two
// real starts of tarnwick meet through the socket all the same.
#include "FakeDesktop.h"
#include "ProgramFolder.h"
#include "RawListener.h"
#include "TestDir.h"

#include "platform/InstanceLock.h"
#include "platform/InstanceSignal.h"
#include "ui/Startup.h"
#include "ui/TfrmMain.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;

namespace {

// A start of the built tarnwick that has ended, and what it printed.
struct Ended
{
    int exitCode = -1; // -1: it crashed or was still running after the limit
    QByteArray output; // standard output and standard error
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private:
    // Each test's own program, settings and cache folders, for the test's
    // window and every tarnwick it starts.
    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<TestDir> m_dir;
    QByteArray m_oldCache;
    QByteArray m_oldRuntime;

    static QString tarnwick() { return qEnvironmentVariable("TARNWICK_WINDOW"); }
    // Starts tarnwick with `args`; the events of this process are served
    // meanwhile, as the running window's would be.
    static void start(QProcess& process, const QStringList& args)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(tarnwick(), args);
    }
    // Waits, serving events, until the process ended.
    static Ended waitForEnd(QProcess& process, int timeoutMs = 20000)
    {
        Ended ended;
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
            process.kill();
            process.waitForFinished();
        } else if (process.exitStatus() == QProcess::NormalExit) {
            ended.exitCode = process.exitCode();
        }
        ended.output = process.readAll();
        return ended;
    }
    static Ended run(const QStringList& args = {})
    {
        QProcess process;
        start(process, args);
        return waitForEnd(process);
    }
    // This test's window, made and shown as the program makes and shows it.
    static std::unique_ptr<TfrmMain> openWindow(FakeDesktop& desktop)
    {
        auto window = std::make_unique<TfrmMain>(desktop);
        window->openDatabase();
        window->runCreationSteps();
        window->show();
        return window;
    }
    static void shutDown(TfrmMain& window)
    {
        bool ended = false;
        connect(&window, &TfrmMain::shutdownFinished, &window, [&] { ended = true; });
        window.shutdown();
        QVERIFY(QTest::qWaitFor([&] { return ended; }, 15000));
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void readStartOptions_data();
    void readStartOptions();
    void secondStartBringsTheWindowForward_data();
    void secondStartBringsTheWindowForward();
    void secondStartBesideTheDaemon_data();
    void secondStartBesideTheDaemon();
    void twoStartsOfTheProgram();
};

void TestStartup::initTestCase()
{
    QVERIFY2(QFileInfo(tarnwick()).isExecutable(),
             "TARNWICK_WINDOW names no built tarnwick: run the test through ctest");
    m_oldCache = qgetenv("XDG_CACHE_HOME");
    m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
}

void TestStartup::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    m_dir = std::make_unique<TestDir>();
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir->makeDir(QStringLiteral("cache"))));
    const QString runtime = m_dir->makeDir(QStringLiteral("runtime"));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
}

void TestStartup::cleanup()
{
    m_dir.reset();
    m_folder.reset();
    for (const auto& [name, value] :
         {std::pair{"XDG_CACHE_HOME", m_oldCache}, std::pair{"XDG_RUNTIME_DIR", m_oldRuntime}}) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

void TestStartup::readStartOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("minimized");
    QTest::addColumn<bool>("version");
    QTest::addColumn<bool>("help");
    QTest::newRow("none") << QStringList{} << false << false << false;
    QTest::newRow("--minimized among Qt's options")
        << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"),
                       QStringLiteral("--minimized"), QStringLiteral("--style=Fusion")}
        << true << false << false;
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << false << true
                               << false;
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << false << false << true;
    QTest::newRow("--help with --minimized")
        << QStringList{QStringLiteral("--minimized"), QStringLiteral("--help")} << true << false
        << true;
    QTest::newRow("look-alikes") << QStringList{QStringLiteral("--minimized=no"),
                                                QStringLiteral("-minimized"),
                                                QStringLiteral("--versions")}
                                 << false << false << false;
}

void TestStartup::readStartOptions()
{
    QFETCH(QStringList, args);
    QFETCH(bool, minimized);
    QFETCH(bool, version);
    QFETCH(bool, help);
    const StartOptions options = ReadStartOptions(args);
    QCOMPARE(options.minimized, minimized);
    QCOMPARE(options.version, version);
    QCOMPARE(options.help, help);
}

// How the user left the window: minimised; hidden from the tray's menu
// (after which a click on the icon no longer brings it back, until Show);
// minimised while a dialog of it waits for an answer; shown, but another
// window in front. A --minimized start asks for nothing.
void TestStartup::secondStartBringsTheWindowForward_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("broughtForward");
    QTest::newRow("minimised") << "minimised" << QStringList() << true;
    QTest::newRow("hidden to the tray") << "hidden" << QStringList() << true;
    QTest::newRow("minimised, a dialog open") << "dialog" << QStringList() << true;
    QTest::newRow("shown, another window in front") << "behind" << QStringList() << true;
    QTest::newRow("minimised, a --minimized start")
        << "minimised" << QStringList{QStringLiteral("--minimized")} << false;
}

void TestStartup::secondStartBringsTheWindowForward()
{
    QFETCH(QString, left);
    QFETCH(QStringList, args);
    QFETCH(bool, broughtForward);
    FakeDesktop desktop;
    const std::unique_ptr<TfrmMain> window = openWindow(desktop);
    InstanceLock lock;
    QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Acquired);
    InstanceSignal laterStarts;
    QSignalSpy requests(&laterStarts, &InstanceSignal::showRequested);
    QVERIFY(AnswerLaterStarts(laterStarts, lock, *window));

    QDialog dialog(window.get());
    QWidget other;
    if (left == QLatin1String("minimised")) {
        window->showMinimized();
    } else if (left == QLatin1String("hidden")) {
        window->pmuHideFormClick();
    } else if (left == QLatin1String("dialog")) {
        dialog.setModal(true);
        dialog.show();
        window->showMinimized();
        dialog.showMinimized();
    } else {
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
    }
    QTest::qWait(50);

    const Ended second = run(args);
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(second.output, QByteArray());
    if (!broughtForward) {
        QTest::qWait(300);
        QCOMPARE(requests.size(), 0);
        QVERIFY(window->isMinimized());
        // The window was listening all along: a plain start reaches it.
        QCOMPARE(run().exitCode, 0);
        QTRY_COMPARE(requests.size(), 1);
        QTRY_VERIFY(!window->isMinimized());
        QCOMPARE(requests.size(), 1);
    } else {
        QTRY_COMPARE(requests.size(), 1);
    }
    QVERIFY(window->isVisible());
    QVERIFY(!window->isMinimized());
    if (left == QLatin1String("dialog")) {
        // The dialog the window waits on comes in front of it.
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.isMinimized());
        QTRY_COMPARE(QApplication::activeWindow(), &dialog);
        dialog.reject();
    } else {
        QTRY_COMPARE(QApplication::activeWindow(), window.get());
    }
    if (left == QLatin1String("hidden")) {
        // Brought back as the tray's Show brings it: a click on the icon
        // brings it back again.
        window->showMinimized();
        emit window->findChild<QSystemTrayIcon*>()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!window->isMinimized());
    }
    shutDown(*window);
}

// Nobody listens beside the daemon, also when a window that crashed left
// its socket: the second start leaves at once, shows nothing and says
// nothing.
void TestStartup::secondStartBesideTheDaemon_data()
{
    QTest::addColumn<bool>("leftSocket");
    QTest::newRow("no socket") << false;
    QTest::newRow("the socket of a window that crashed") << true;
}

void TestStartup::secondStartBesideTheDaemon()
{
    QFETCH(bool, leftSocket);
    QProcess daemon;
    daemon.start(qEnvironmentVariable("TARNWICK_CLI"), {QStringLiteral("daemon")});
    QVERIFY(daemon.waitForStarted());
    // It holds the lock once it names itself in the lock file.
    QVERIFY(QTest::qWaitFor(
        [&] {
            const auto holder = InstanceLock::holder();
            return holder && holder->pid == daemon.processId() && holder->announced;
        },
        10000));
    if (leftSocket)
        QVERIFY(RawListener::leaveStaleSocket(InstanceLock::socketFilePath()));

    const Ended second = run();
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(second.output, QByteArray());
    QCOMPARE(daemon.state(), QProcess::Running);
    daemon.terminate();
    QVERIFY(daemon.waitForFinished(15000));
    QCOMPARE(daemon.exitCode(), 0);
}

// Two real starts: the first listens once its window shows, the second
// reaches it and leaves with status 0, the first runs on and takes its
// socket away when it ends.
void TestStartup::twoStartsOfTheProgram()
{
    const QString socket = InstanceLock::socketFilePath();
    QProcess first;
    start(first, {});
    QVERIFY(first.waitForStarted());
    QVERIFY2(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000),
             first.readAll().constData());

    const Ended second = run();
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(second.output, QByteArray());
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();
    const Ended ended = waitForEnd(first);
    QCOMPARE(ended.exitCode, 0);
    QVERIFY(!QFileInfo::exists(socket));
}

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"
