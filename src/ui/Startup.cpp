// Program start: the single-instance lock first (also against a running
// `tarnwick-cli daemon`), then the splash, the database, the window's
// creation steps, and the watchers about a second after the event loop
// runs. SIGTERM, SIGINT and the end of the desktop session shut down as
// the close command does, without its question; SIGHUP reads the tasks anew.
#include "ui/Startup.h"

#include "platform/Display.h"
#include "platform/InstanceLock.h"
#include "platform/SignalNotifier.h"
#include "store/Settings.h"
#include "ui/Desktop.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmSplash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace tarnwick::ui {

namespace {

constexpr int kWatcherStartMs = 0; // the coordinator itself waits its second

} // namespace

int runProgram(int argc, char* argv[])
{
    if (!HasDisplay()) {
        std::fputs("tarnwick: no display to show the window on (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set); tarnwick-cli runs tasks without one\n",
                   stderr);
        return 1;
    }
    InstanceLock lock;
    const InstanceLock::Outcome locked = lock.tryAcquire();
    if (locked == InstanceLock::Outcome::HeldElsewhere)
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    // The tray keeps the program alive with the window hidden; it ends
    // through its own shutdown only.
    QApplication::setQuitOnLastWindowClosed(false);
    Desktop& desktop = Desktop::standard();

    if (locked == InstanceLock::Outcome::Failed) {
        desktop.error(nullptr, lock.error());
        return 1;
    }

    bool splash = true;
    try {
        splash = ReadDisplaySplash();
    } catch (const std::exception& e) {
        desktop.error(nullptr, QString::fromUtf8(e.what()));
    }
    if (splash) {
        auto* frmSplash = new TfrmSplash(desktop);
        frmSplash->show();
        QApplication::processEvents();
    }

    TfrmMain window(desktop);
    try {
        window.openDatabase();
    } catch (const std::exception& e) {
        desktop.error(nullptr, QString::fromUtf8(e.what()));
        return 1;
    }
    window.runCreationSteps();

    QObject::connect(&window, &TfrmMain::shutdownFinished, &app, [](bool allEnded) {
        if (allEnded) {
            QApplication::quit();
            return;
        }
        // Runs still busy past the bound would touch what leaving destroys.
        std::fflush(nullptr);
        std::_Exit(0);
    });
    SignalNotifier signalNotifier({SIGHUP, SIGINT, SIGTERM});
    QObject::connect(&signalNotifier, &SignalNotifier::received, &window, [&window](int number) {
        if (number == SIGHUP)
            window.reloadTasks();
        else
            window.shutdown();
    });
    AnnounceRunningTasks(lock, window.coordinator());
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.shutdown(); });

    if (window.startMinimized())
        window.showMinimized();
    else
        window.show();
    QTimer::singleShot(kWatcherStartMs, &window, [&window] { window.startWatchers(); });
    return QApplication::exec();
}

} // namespace tarnwick::ui
