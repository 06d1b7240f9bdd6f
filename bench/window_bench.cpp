// Measures the window, not the copying: how long the event loop stalls while
// a run hands over every line of a big tree, how long that run takes in the
// window, how much memory the window holds idle and during the run, and how
// long start-up takes to a shown window. It drives the real TfrmMain
// (offscreen or on a display) over a program folder the caller has set up
// (TARNWICK_HOME with its task database and options; bench/window.sh makes
// one).
//
//   window_bench run TASKID [TIMES]
//                               run the task once (or TIMES times, one after
//                               the other in the same window, so that later
//                               runs meet a full log view); prints for each
//                               run the wall ms to the last line shown, the
//                               CPU ms of all threads and of the window's
//                               own thread, the longest stall,
//                               the lines in the log view, and resident KiB
//                               before the run, at its peak and at its end
//   window_bench startup        prints ms from the start of main() to the shown,
//                               filled window, then resident KiB once it has
//                               sat idle for a second
//
// Each figure is printed as "name value" on a line of its own.
#include "ProcessMemory.h"
#include "StallMeter.h"

#include "ui/Desktop.h"
#include "ui/TfrmMain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <optional>

using namespace tarnwick;

namespace {

// CPU time so far, user and system: of every thread of the process, or of
// the calling thread alone (the user-interface thread, for the window's
// share of a run).
long long cpuMs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void printFigure(const char* name, long long value)
{
    std::printf("%s %lld\n", name, value);
    std::fflush(stdout);
}

// The resident size now, and what of it is the process's own and what
// mapped files.
void printMemory(const char* when)
{
    std::printf("%s_rss_kib %lld\n%s_anon_kib %lld\n%s_file_kib %lld\n", when,
                ProcessMemory::residentKib(), when, ProcessMemory::anonymousKib(), when,
                ProcessMemory::fileKib());
    std::fflush(stdout);
}

int runTask(ui::TfrmMain& window, const QString& taskId, int times)
{
    auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("lvwTask"));
    for (int row = 0; list && row < list->model()->rowCount(); ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        if (index.data(Qt::UserRole).toString() == taskId)
            list->setCurrentIndex(index);
    }
    if (window.selectedTaskId() != taskId) {
        std::fprintf(stderr, "window_bench: task %s not in the list\n", qPrintable(taskId));
        return 2;
    }
    const auto* log = window.findChild<QPlainTextEdit*>(QStringLiteral("rtfLog"));
    std::optional<StallMeter> stalls;
    QElapsedTimer wall;
    long long cpuAtStart = 0;
    long long uiCpuAtStart = 0;
    int started = 0;
    const auto startRun = [&] {
        printMemory("before_run");
        ProcessMemory::resetPeak();
        stalls.emplace();
        stalls->start();
        wall.start();
        cpuAtStart = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        uiCpuAtStart = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        ++started;
        window.spbtnRunClick();
    };
    // The window has shown the run's last lines once the events queued by
    // its end (the view's repaint among them) have been handled.
    QObject::connect(
        &window.coordinator(), &RunCoordinator::runFinished, qApp,
        [&](const QString&, const QString&) {
            QTimer::singleShot(0, qApp, [&] {
                printFigure("run_ms", wall.elapsed());
                printFigure("run_cpu_ms", cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpuAtStart);
                printFigure("ui_cpu_ms", cpuMs(CLOCK_THREAD_CPUTIME_ID) - uiCpuAtStart);
                printFigure("longest_stall_ms", stalls->longestMs());
                printFigure("view_lines", log ? log->document()->blockCount() : -1);
                printFigure("run_peak_rss_kib", ProcessMemory::peakResidentKib());
                printMemory("end");
                if (started < times)
                    startRun();
                else
                    QCoreApplication::exit(0);
            });
        });
    QTimer::singleShot(200, &window, startRun);
    const int code = QApplication::exec();
    return started == times ? code : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    const bool run = !args.isEmpty() && args.first() == QLatin1String("run");
    const int times = run && args.size() == 3 ? args.at(2).toInt() : 1;
    if ((run && (args.size() < 2 || args.size() > 3 || times < 1)) ||
        (!run && args != QStringList{QStringLiteral("startup")})) {
        std::fprintf(stderr, "usage: window_bench run TASKID [TIMES] | window_bench startup\n");
        return 2;
    }
    ui::TfrmMain window(ui::Desktop::standard());
    window.openDatabase();
    window.runCreationSteps();
    window.show();
    if (args.first() == QLatin1String("startup")) {
        QTimer::singleShot(0, &window, [&] {
            printFigure("startup_ms", sinceStart.elapsed());
            printFigure("startup_peak_rss_kib", ProcessMemory::peakResidentKib());
        });
        QTimer::singleShot(1000, &window, [&] {
            printMemory("idle");
            QCoreApplication::exit(0);
        });
        return QApplication::exec();
    }
    return runTask(window, args.at(1), times);
}
