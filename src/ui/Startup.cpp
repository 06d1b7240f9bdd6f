// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: the single-instance lock first (also against a running
// `tarnwick-cli daemon`; a second start asks the running window to come
// forward and leaves), then the splash, the database, the window's
// creation steps, and the watchers about a second after the event loop
// runs. An installed program's data folder is made at the first start.
// SIGTERM, SIGINT and the end of the desktop session shut down as the close
// command does, without its question; SIGHUP reads the tasks anew.
#include "ui/Startup.h"

#include "platform/Display.h"
#include "platform/InstanceLock.h"
#include "platform/InstanceSignal.h"
#include "platform/SignalNotifier.h"
#include "store/FirstStart.h"
#include "store/Settings.h"
#include "store/StoreError.h"
#include "ui/Desktop.h"
#include "ui/Icons.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmSplash.h"

#include "BuildInfo.h"

#include <QApplication>
#include <QCoreApplication>
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

constexpr char kUsage[] =
    "Usage: tarnwick [--minimized] [Qt options]\n"
    "\n"
    "Shows Tarnwick's window: the mirror tasks, their runs and their log.\n"
    "\n"
    "  --minimized  start minimised, in the tray when the tray icon shows\n"
    "               (as the Minimized option does; used by autostart)\n"
    "  --version    print the version and the build\n"
    "  --help       print this text\n"
    "\n"
    "tarnwick-cli runs tasks and the scheduler without a window.\n";

} // namespace

StartOptions ReadStartOptions(const QStringList& args)
{
    StartOptions options;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--minimized"))
            options.minimized = true;
        else if (arg == QLatin1String("--version"))
            options.version = true;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            options.help = true;
    }
    return options;
}

bool AnswerLaterStarts(InstanceSignal& requests, const InstanceLock& lock, TfrmMain& window)
{
    QObject::connect(&requests, &InstanceSignal::showRequested, &window, &TfrmMain::bringForward);
    if (requests.listen(lock))
        return true;
    std::fprintf(stderr, "tarnwick: %s; a later start cannot bring this window forward\n",
                 qPrintable(requests.error()));
    return false;
}

int RunProgram(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = ReadStartOptions(args);
    // Answered before anything else, also without a display.
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("tarnwick %s\n", kVersionAndBuild);
        return 0;
    }
    if (!HasDisplay()) {
        std::fputs("tarnwick: no display to show the window on (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set); tarnwick-cli runs tasks without one\n",
                   stderr);
        return 1;
    }
    InstanceLock lock;
    const InstanceLock::Outcome locked = lock.tryAcquire();
    if (locked == InstanceLock::Outcome::HeldElsewhere) {
        // The running window comes forward instead, back from minimised or
        // from the tray; the autostart's --minimized start asks for nothing.
        // Nobody answers when the daemon holds the lock: then nothing shows.
        if (!options.minimized) {
            const QCoreApplication requester(argc, argv);
            InstanceSignal::requestShow();
        }
        return 0;
    }

    QApplication app(argc, argv);
    // The application name becomes the class of the window's WM_CLASS and
    // the desktop file name its Wayland app id: both are what the installed
    // .desktop file says, so the desktop puts the window under its entry.
    QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
    QApplication::setWindowIcon(ThemeIcon("tarnwick"));
    // The tray keeps the program alive with the window hidden; it ends
    // through its own shutdown only.
    QApplication::setQuitOnLastWindowClosed(false);
    Desktop& desktop = Desktop::standard();

    if (locked == InstanceLock::Outcome::Failed) {
        desktop.error(nullptr, lock.error());
        return 1;
    }
    try {
        PrepareDataFolder();
    } catch (const StoreError& e) {
        desktop.error(nullptr, e.message());
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

    if (options.minimized || window.startMinimized())
        window.showMinimized();
    else
        window.show();
    // Only a window that shows can be brought forward: a later start before
    // this finds nobody listening and leaves this start's choice alone.
    InstanceSignal laterStarts;
    AnswerLaterStarts(laterStarts, lock, window);
    QTimer::singleShot(kWatcherStartMs, &window, [&window] { window.startWatchers(); });
    return QApplication::exec();
}

} // namespace tarnwick::ui
