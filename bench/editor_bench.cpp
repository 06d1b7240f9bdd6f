// Measures how long the task editor takes to open on a big task: 20 source
// folders, 50 exclude rules of every kind and 20 schedule entries, loaded
// from a real task database and shown. It makes its own database in a
// temporary folder and prints the time of each opening, from the dialog's
// construction to the shown dialog with its events handled.
//
//   editor_bench [OPENINGS]     prints min, median and max ms (default 20)
#include "platform/Clock.h"
#include "store/TaskDatabase.h"
#include "store/TaskWriter.h"
#include "ui/Desktop.h"
#include "ui/TfrmTask.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tarnwick;

namespace {

TaskRecord bigTask()
{
    TaskRecord task;
    task.taskId = QStringLiteral("1000");
    task.name = QStringLiteral("Big task");
    task.targetDir = QStringLiteral("/mnt/backup/big");
    task.runMode = TaskRunMode::Scheduled;
    for (int i = 0; i < 20; ++i)
        task.sources.append({QStringLiteral("/home/user/folder-%1").arg(i), i % 2 == 0});
    task.excludeMode = true;
    for (int i = 0; i < 50; ++i) {
        ExcludeRule rule;
        rule.type = i % 5;
        switch (rule.type) {
        case kRuleExtensions:
            rule.value = QStringLiteral("ext%1,doc,tmp,").arg(i);
            break;
        case kRuleSingleFile:
            rule.value = QStringLiteral("/home/user/file-%1.txt").arg(i);
            break;
        case kRuleSize:
            rule.stype = i % 3;
            rule.sstype = i % 3;
            rule.value = QString::number(i * 10);
            break;
        case kRuleDate:
            rule.stype = i % 3;
            rule.sstype = i % 3;
            rule.value = rule.sstype == kWindowBetween ? QStringLiteral("2024-01-10")
                                                       : QString::number(i);
            if (rule.sstype == kWindowBetween)
                rule.endDate = QStringLiteral("2024-02-10");
            break;
        default:
            rule.value = QStringLiteral("101100");
            break;
        }
        task.rules.append(rule);
    }
    for (int i = 0; i < 20; ++i) {
        TaskScheduleItem item;
        item.entry.kind = static_cast<ScheduleKind>(i % 5);
        item.entry.value = item.entry.kind == ScheduleKind::WithinMonth ? 1 + i % 28 : 2 + i;
        item.entry.weekMask = QStringLiteral("1010100");
        item.entry.startTime = i % 2 ? QStringLiteral("09:%1:00").arg(10 + i) : QStringLiteral("0");
        task.schedules.append(item);
    }
    return task;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int openings = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(path);
    TaskDatabase db;
    db.open(path);
    SaveTask(db, bigTask(), TaskSaveMode::New, Clock::system());

    std::vector<qint64> times;
    for (int i = 0; i < openings; ++i) {
        QElapsedTimer timer;
        timer.start();
        ui::TfrmTask editor(ui::Desktop::standard(), db, [](const QString&) { return false; });
        editor.LoadTask(QStringLiteral("1000"));
        editor.show();
        QApplication::processEvents();
        times.push_back(timer.nsecsElapsed() / 1000);
        editor.close();
        QApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    std::printf("openings %d\nmin_ms %.1f\nmedian_ms %.1f\nmax_ms %.1f\n", openings,
                double(times.front()) / 1000.0, double(times[times.size() / 2]) / 1000.0,
                double(times.back()) / 1000.0);
    return 0;
}
