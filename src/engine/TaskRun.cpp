// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TaskRun.h"

#include "engine/ExcludeRules.h"
#include "engine/RunMirror.h"
#include "platform/Clock.h"
#include "platform/RunControl.h"
#include "store/RunJob.h"
#include "store/ScheduleRules.h"
#include "store/StoreError.h"

namespace tarnwick {

TaskRunOutcome RunTask(const QString& taskId, const TaskRunHooks& hooks, RunControl& control,
                       const Clock& clock, const MirrorOptions& options)
{
    const bool dryRun = options.mode == MirrorMode::DryRun;
    // The rows are read where the database is; a suspended run waits at
    // the pause gate afterwards, on its own thread, never while the
    // database's thread runs the step.
    const MirrorJobLoader loader = [&](const QString& id, RunControl& c) {
        MirrorJob job;
        RetryWhileStoreBusy(
            [&] { hooks.withStore([&](TaskDatabase& db) { job = LoadRunJob(db, id, c); }); }, c,
            {});
        c.checkpoint();
        return job;
    };
    QList<ExcludeRule> rules;
    RetryWhileStoreBusy(
        [&] {
            hooks.withStore(
                [&](TaskDatabase& db) { rules = LoadExcludeRules(db, taskId, &control); });
        },
        control, {});
    const ExcludeTest exclude = MakeExcludeTest(rules, &control, clock);

    // A run started by a change learns whether the rules changed too.
    MirrorOptions mirrorOptions = options;
    if (options.scope) {
        auto scope = std::make_shared<ChangeScope>(*options.scope);
        scope->rulesFingerprint = RulesFingerprint(rules, clock.now().date());
        mirrorOptions.scope = std::move(scope);
    }

    // A schedule that cannot be moved on would run the task again at once:
    // the run fails there, without a summary.
    AfterWalkStep afterWalk;
    if (!dryRun) {
        afterWalk = [&](const MirrorJob&, const QString& startText) {
            if (hooks.walkEnded)
                hooks.walkEnded();
            QString next;
            hooks.withStore(
                [&](TaskDatabase& db) { next = UpdateAfterRun(db, taskId, startText, clock); });
            if (hooks.timesChanged)
                hooks.timesChanged(startText, next);
        };
    }

    TaskRunOutcome outcome;
    outcome.result = RunMirror(taskId, loader, exclude, control, hooks.sink, afterWalk, clock,
                               mirrorOptions);
    // Lines missing from the log are an error of the run, whatever it
    // copied: its log no longer tells what it did.
    if (hooks.logLost && hooks.logLost())
        ++outcome.result.counters.errors;
    outcome.record =
        RunRecordOf(taskId, outcome.result, control.stopRequested(), clock.now());
    if (dryRun)
        return outcome;
    // The copy is done whatever happens here: a history that cannot be
    // written is told, and the run's result stays its own.
    try {
        RetryWhileStoreBusy(
            [&] { hooks.withStore([&](TaskDatabase& db) {
                KeepRunEnding(db, outcome.record, outcome.result);
            }); },
            control, {});
    } catch (const StoreError& e) {
        outcome.notKept = e.message();
    }
    return outcome;
}

} // namespace tarnwick
