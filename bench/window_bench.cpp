// Measures the window, not the copying: how long the event loop stalls while
// a run hands over every line of a big tree, how long that run takes in the
// window, and how long start-up takes to a shown window. It drives the real
// TfrmMain (offscreen or on a display) over a program folder the caller has
// set up (TARNWICK_HOME with its task database and options).
//
//   window_bench run TASKID     run the task once; prints wall ms, longest stall ms
//   window_bench startup        prints ms from the start of main() to the shown,
//                               filled window
#include "StallMeter.h"

#include "ui/Desktop.h"
#include "ui/TfrmMain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTimer>

#include <cstdio>

using namespace tarnwick;

namespace {

int runTask(ui::TfrmMain& window, const QString& taskId)
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
    StallMeter stalls;
    QElapsedTimer wall;
    bool started = false;
    QObject::connect(&window.coordinator(), &RunCoordinator::runFinished, qApp,
                     [&](const QString&, const QString&) {
                         std::printf("run_ms %lld\nlongest_stall_ms %lld\n",
                                     static_cast<long long>(wall.elapsed()),
                                     static_cast<long long>(stalls.longestMs()));
                         std::fflush(stdout);
                         QCoreApplication::exit(0);
                     });
    QTimer::singleShot(200, &window, [&] {
        stalls.start();
        wall.start();
        started = true;
        window.spbtnRunClick();
    });
    const int code = QApplication::exec();
    return started ? code : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty() || (args.first() == QLatin1String("run") && args.size() != 2)) {
        std::fprintf(stderr, "usage: window_bench run TASKID | window_bench startup\n");
        return 2;
    }
    ui::TfrmMain window(ui::Desktop::standard());
    window.openDatabase();
    window.runCreationSteps();
    window.show();
    if (args.first() == QLatin1String("startup")) {
        QTimer::singleShot(0, &window, [&] {
            std::printf("startup_ms %lld\n", static_cast<long long>(sinceStart.elapsed()));
            QCoreApplication::exit(0);
        });
        return QApplication::exec();
    }
    return runTask(window, args.at(1));
}
