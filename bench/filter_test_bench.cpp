// Measures the filter test window on a big tree: how long the whole test
// takes from the Filter click to its end, and the longest stall of the
// event loop meanwhile (a timer due every 10 ms: its lateness is how long
// the loop was busy). The rules are a typical set: two extension lists, a
// size, a date window and an attribute rule.
//
//   filter_test_bench FOLDER     prints test_ms, files, longest_stall_ms
#include "store/ExcludeRule.h"
#include "StallMeter.h"

#include "ui/Desktop.h"
#include "ui/TfrmFilterTest.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QTimer>

#include <cstdio>

using namespace tarnwick;

namespace {

QList<ExcludeRule> typicalRules()
{
    QList<ExcludeRule> rules;
    const auto add = [&rules](qint64 type, qint64 stype, qint64 sstype, const char* value) {
        ExcludeRule rule;
        rule.type = type;
        rule.stype = stype;
        rule.sstype = sstype;
        rule.value = QString::fromLatin1(value);
        rules << rule;
    };
    add(kRuleExtensions, 0, 0, "tmp,bak,part,");
    add(kRuleExtensions, 0, 0, "iso,img,");
    add(kRuleSize, kSizeGreater, kSizeMegabytes, "4096");
    add(kRuleDate, kDateLastWrite, kWindowLastDays, "1");
    add(kRuleAttributes, 0, 0, "001000");
    return rules;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: filter_test_bench FOLDER\n");
        return 2;
    }
    ui::TfrmFilterTest window(ui::Desktop::standard(), typicalRules());
    window.findChild<QLineEdit*>(QStringLiteral("edtSourceDir"))
        ->setText(QString::fromLocal8Bit(argv[1]));
    window.show();

    StallMeter stalls;
    QElapsedTimer wall;
    QObject::connect(&window, &ui::TfrmFilterTest::testFinished, &app, [&] {
        const qint64 elapsed = wall.elapsed();
        const int files =
            window.findChild<QListView*>(QStringLiteral("lstBefore"))->model()->rowCount();
        std::printf("test_ms %lld\nfiles %d\nlongest_stall_ms %lld\n",
                    static_cast<long long>(elapsed), files, static_cast<long long>(stalls.longestMs()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(200, &window, [&] {
        stalls.start();
        wall.start();
        window.spbtnFilterClick();
    });
    return QApplication::exec();
}
