// Measures the log pane alone under a long run: a view that already holds
// 150,000 lines takes 100,000 more in the batches a run hands over (64
// lines), so the later batches also drop the oldest lines. What was gathered
// is shown every 6,400 lines, and the event loop runs there, as the pane's
// clock would let it. Each hand-over and each showing is timed on its own:
// the slowest of them is how long the window's event loop is held at most,
// their sum what the whole run costs the window's thread. A run whose
// batches grow slower as the view fills shows in the sum.
//
//   log_pane_bench [ROUNDS]     a fresh pane each round (default 5); prints
//                               slowest_batch_ms and all_batches_ms for each
//                               round, then their medians and maxima
//
// Each figure is printed as "name value" on a line of its own. Offscreen
// unless QT_QPA_PLATFORM says otherwise.
#include "engine/RunHost.h"
#include "ui/Desktop.h"
#include "ui/TLogPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tarnwick;

namespace {

QList<ShownLine> Numbered(int from, int count, quint32 colour = 0)
{
    QList<ShownLine> lines;
    lines.reserve(count);
    for (int i = from; i < from + count; ++i)
        lines.append({LogKind::Copy, QStringLiteral("line %1").arg(i), colour});
    return lines;
}

struct Round
{
    double slowestMs = 0;
    double totalMs = 0;
    bool whole = false; // the view ends holding the newest lines, in order
};

Round RunRound()
{
    ui::TLogPane pane(ui::Desktop::standard());
    pane.resize(500, 200);
    pane.show();
    QElapsedTimer exposing;
    exposing.start();
    while (!(pane.windowHandle() && pane.windowHandle()->isExposed()) && exposing.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int from = -150000; from < 0; from += 10000)
        pane.appendLines(Numbered(from, 10000));
    pane.flush();

    Round round;
    QElapsedTimer timer;
    const auto took = [&] {
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        round.slowestMs = std::max(round.slowestMs, ms);
        round.totalMs += ms;
    };
    for (int from = 0; from < 100000; from += 64) {
        const QList<ShownLine> batch =
            Numbered(from, qMin(64, 100000 - from), from % 3 == 0 ? 0x0000FF : 0x008000);
        timer.start();
        pane.appendLines(batch);
        if (from % 6400 == 0)
            pane.flush();
        took();
        if (from % 6400 == 0)
            QCoreApplication::processEvents();
    }
    timer.start();
    pane.flush();
    took();

    const QTextDocument* document = pane.view()->document();
    round.whole = document->blockCount() == ui::TLogPane::kMaxLines &&
                  document->firstBlock().text() == QLatin1String("line -100000") &&
                  document->lastBlock().text() == QLatin1String("line 99999");
    return round;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5;
    if (argc > 2 || rounds < 1) {
        std::fprintf(stderr, "usage: log_pane_bench [ROUNDS]\n");
        return 2;
    }
    std::vector<double> slowest, total;
    for (int i = 0; i < rounds; ++i) {
        const Round round = RunRound();
        if (!round.whole) {
            std::fprintf(stderr, "log_pane_bench: the view does not hold the newest lines\n");
            return 1;
        }
        std::printf("slowest_batch_ms %.1f\nall_batches_ms %.1f\n", round.slowestMs,
                    round.totalMs);
        std::fflush(stdout);
        slowest.push_back(round.slowestMs);
        total.push_back(round.totalMs);
    }
    std::printf("median_slowest_batch_ms %.1f\nmax_slowest_batch_ms %.1f\n"
                "median_all_batches_ms %.1f\nmax_all_batches_ms %.1f\n",
                Median(slowest), *std::max_element(slowest.begin(), slowest.end()), Median(total),
                *std::max_element(total.begin(), total.end()));
    return 0;
}
