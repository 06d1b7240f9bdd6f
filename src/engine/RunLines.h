// SPDX-License-Identifier: GPL-3.0-or-later
// Every text a run writes, in one place: the started and finished lines,
// the decision and error lines of each file, the lines of kept and removed
// versions, the summary, and the reasons an error line gives. The walk and
// the run's frame only choose among them, so a text is changed here and
// nowhere else.
#pragma once

#include "engine/MirrorTypes.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>

#include <optional>

namespace tarnwick {

// The line texts, complete.
QString StartedLine(const QString& startTimeText, const QString& taskName);
QString FinishedLine(const QString& timeText, const QString& taskName);
QString DecisionLine(const QString& taskName, CopyDecision decision, const QString& path);
QString CopyErrorLine(const QString& taskName, const QString& path, const QString& reason);
LogKind DecisionKind(CopyDecision decision);
// The reason an error line gives for a failed copy: FileCopier's own
// failures in words, else the system's text.
QString CopyFailureText(int error);
// The line of a run that ends because its target went away.
QString TargetGoneLine(const QString& taskName);
// The line of a replaced file kept in the versions folder, at `path`.
QString KeepVersionLine(const QString& taskName, const QString& path);
// The line of a version removed as older than the count kept, at `path`.
QString RemoveVersionLine(const QString& taskName, const QString& path);
// The four summary lines and the status line; with `versionsKept` (the
// task keeps versions) a line of the kept versions before the status. A
// run that was `stopped` is incomplete, never a success: its status says
// so, in the error colour, with its errors if it had any.
// With `lookedAt`, the run looked at changed folders only: a line after
// the totals says how many of the watched folders that was.
struct LookedAt
{
    quint64 changedFolders = 0;
    quint64 watchedFolders = 0;
};
void EmitSummary(const QString& taskName, const MirrorCounters& counters, const LogSink& sink,
                 bool versionsKept = false, bool stopped = false,
                 const std::optional<LookedAt>& lookedAt = std::nullopt);
// The line of a run started by a change that walks every folder, and why.
QString FullWalkLine(const QString& taskName, const QString& reason);
// The decision's text between the task prefix and the path.
QLatin1StringView DecisionText(CopyDecision decision);
// The reason of a replaced file that could not be kept in `versionsFolder`.
QString KeepErrorText(const QByteArray& versionsFolder, int error);
// The reason of a name that lands on `other`, given before, in a target
// blind to case.
QString CaseClashText(const QByteArray& other);
// Why a target folder could not be made: a name the file system cannot
// hold (where nothing had it) and a full drive in words.
QString FolderFailureText(int makeError, bool nothingThere);
// The line saying that the run waits for the database another program holds.
QString WaitingForStoreLine(const QString& taskName);
// The line saying that the run waits for the run of the task in `process`.
QString WaitingForRunLine(const QString& taskName, const QString& process);

} // namespace tarnwick
