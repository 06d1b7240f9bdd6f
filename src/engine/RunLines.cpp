// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RunLines.h"

#include "platform/DisplayPath.h"
#include "platform/FileCopier.h"
#include "platform/FileStatus.h"

#include <QLocale>

#include <cerrno>

namespace tarnwick {

QLatin1StringView DecisionText(CopyDecision decision)
{
    switch (decision) {
    case CopyDecision::Missing:
        return QLatin1StringView("Mirroring: Copy the new file: ");
    case CopyDecision::Older:
        return QLatin1StringView("Mirroring: Overwrite the existing older file: ");
    case CopyDecision::Unchanged:
        return QLatin1StringView("Skipping: Keep the existing unchanged file: ");
    case CopyDecision::Newer:
        return QLatin1StringView("Skipping: Keep the existing newer file: ");
    }
    return QLatin1StringView();
}

QString KeepErrorText(const QByteArray& versionsFolder, int error)
{
    return QStringLiteral("Could not keep the replaced file in the versions folder ") +
           DisplayPath(versionsFolder) + QStringLiteral(": ") + SystemErrorText(error);
}

QString CaseClashText(const QByteArray& other)
{
    return QStringLiteral("cannot be stored beside ") + DisplayPath(other) +
           QStringLiteral(": the target does not tell names apart by case");
}

QString FolderFailureText(int makeError, bool nothingThere)
{
    if (makeError == ENOSPC || makeError == EDQUOT)
        return CopyFailureText(kCopyTargetFull);
    return CopyFailureText(FileCopier::nameFailure(makeError, nothingThere));
}

QString StartedLine(const QString& startTimeText, const QString& taskName)
{
    return startTimeText + QStringLiteral(" synchronize started  [") + taskName + u']';
}

QString FinishedLine(const QString& timeText, const QString& taskName)
{
    return timeText + QStringLiteral(" synchronize finished  [") + taskName + u']';
}

LogKind DecisionKind(CopyDecision decision)
{
    return decision == CopyDecision::Missing || decision == CopyDecision::Older ? LogKind::Copy
                                                                                : LogKind::Skip;
}

QString DecisionLine(const QString& taskName, CopyDecision decision, const QString& path)
{
    return u'[' + taskName + QLatin1StringView("] ") + DecisionText(decision) + path;
}

QString CopyErrorLine(const QString& taskName, const QString& path, const QString& reason)
{
    return u'[' + taskName + QLatin1StringView("] Error: Copy file fail: ") + path +
           QLatin1StringView(", ") + reason + QLatin1StringView(". ");
}

QString CopyFailureText(int error)
{
    switch (error) {
    case kCopyNameRefused:
        return QStringLiteral("the target's file system cannot hold this name");
    case kCopyTargetFull:
        return QStringLiteral("the target is full");
    case kCopyCameOutShort:
        return QStringLiteral("the target kept less of the file than was written");
    case kCopyTooLargeForFat:
        return QStringLiteral("too large for a FAT32 drive (4 GiB at most)");
    case kCopyLinkNotOwned:
        return QStringLiteral("not followed: the link's owner does not own its target");
    default:
        return SystemErrorText(error);
    }
}

QString TargetGoneLine(const QString& taskName)
{
    return u'[' + taskName + QLatin1StringView("] The target drive went away during the run");
}

QString KeepVersionLine(const QString& taskName, const QString& path)
{
    return u'[' + taskName + QLatin1StringView("] Keep version: ") + path;
}

QString RemoveVersionLine(const QString& taskName, const QString& path)
{
    return u'[' + taskName + QLatin1StringView("] Remove old version: ") + path;
}

QString FullWalkLine(const QString& taskName, const QString& reason)
{
    return u'[' + taskName + QStringLiteral("] Full walk: ") + reason + u'.';
}

void EmitSummary(const QString& taskName, const MirrorCounters& c, const LogSink& sink,
                 bool versionsKept, bool stopped, const std::optional<LookedAt>& lookedAt)
{
    const QString prefix = u'[' + taskName + u']';
    const QString pad = QStringLiteral("          ");
    sink(LogKind::StartFinish, prefix + QStringLiteral(" Summary:"));
    sink(LogKind::StartFinish, prefix + pad +
                                   QStringLiteral("Total    : %1 folders, %2 files, %3 bytes.")
                                       .arg(c.totalFolders)
                                       .arg(c.totalFiles)
                                       .arg(c.totalBytes));
    if (lookedAt) {
        const QLocale english(QLocale::English);
        sink(LogKind::StartFinish,
             prefix + pad +
                 QStringLiteral("Looked at: %1 changed folder%2 of %3 (a full walk runs at start, "
                                "after a lost event and every 24 hours).")
                     .arg(english.toString(lookedAt->changedFolders),
                          lookedAt->changedFolders == 1 ? QString() : QStringLiteral("s"),
                          english.toString(lookedAt->watchedFolders)));
    }
    sink(LogKind::StartFinish, prefix + pad +
                                   QStringLiteral("Mirrored : %1 folders, %2 files, %3 bytes.")
                                       .arg(c.mirroredFolders)
                                       .arg(c.mirroredFiles)
                                       .arg(c.mirroredBytes));
    sink(LogKind::StartFinish, prefix + pad +
                                   QStringLiteral("Skipped  : %1 newer files, %2 unchanged files.")
                                       .arg(c.skippedNewer)
                                       .arg(c.skippedUnchanged));
    // A run whose rules left out every file it met says so: the counts
    // above alone would read as "all up to date".
    if (c.excludedFiles > 0 && c.excludedFiles == c.totalFiles)
        sink(LogKind::StartFinish,
             prefix + pad +
                 QStringLiteral("Excluded : %1 files left out by the task's rules.")
                     .arg(c.excludedFiles));
    if (versionsKept)
        sink(LogKind::StartFinish,
             prefix + pad +
                 QStringLiteral("Versions : %1 replaced files kept.").arg(c.keptVersions));
    if (stopped)
        sink(LogKind::ErrorStatus,
             prefix + pad + QStringLiteral("Status   : Mirror Stopped!!") +
                 (c.errors == 0 ? QString() : QStringLiteral(" Find %1 Errors.").arg(c.errors)));
    else if (c.errors == 0)
        sink(LogKind::StartFinish, prefix + pad + QStringLiteral("Status   : Mirror Successed!!"));
    else
        sink(LogKind::ErrorStatus,
             prefix + pad +
                 QStringLiteral("Status   : Mirror Finished!! Find %1 Errors.").arg(c.errors));
}

QString WaitingForStoreLine(const QString& taskName)
{
    return u'[' + taskName +
           QStringLiteral("] Waiting for the task database: another program is writing to it.");
}

QString WaitingForRunLine(const QString& taskName, const QString& process)
{
    return u'[' + taskName +
           QStringLiteral("] Waiting for the run of %1 in %2").arg(taskName, process);
}

} // namespace tarnwick
