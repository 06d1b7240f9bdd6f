// SPDX-License-Identifier: GPL-3.0-or-later
// The checks of the editors' values, in one place for every front end.
#include "store/TaskChecks.h"

#include "platform/Clock.h"
#include "store/DateTexts.h"
#include "store/ScheduleRules.h"
#include "store/TaskOptionValues.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace tarnwick {

namespace {

std::optional<qint64> WholeNumber(const QString& text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

std::optional<QString> OutOfRange(const QString& what, qint64 low, qint64 high)
{
    return QStringLiteral("%1 must be a number from %2 to %3.").arg(what).arg(low).arg(high);
}

std::optional<QString> CheckNumber(const QString& text, const QString& what, qint64 low,
                                   qint64 high)
{
    const std::optional<qint64> n = WholeNumber(text);
    if (!n || *n < low || *n > high)
        return OutOfRange(what, low, high);
    return std::nullopt;
}

bool IsFlags(const QString& text, qsizetype count)
{
    if (text.size() != count)
        return false;
    for (const QChar c : text) {
        if (c != u'0' && c != u'1')
            return false;
    }
    return true;
}

std::optional<QDate> ReadDate(const QString& text)
{
    const std::optional<QDateTime> at = ParseDateTimeText(text.trimmed());
    if (!at || at->time() != QTime(0, 0))
        return std::nullopt;
    return at->date();
}

std::optional<QString> CheckDateRule(const ExcludeRule& rule)
{
    switch (rule.stype) {
    case kDateLastWrite:
    case kDateCreation:
    case kDateLastAccess:
        break;
    default:
        return QStringLiteral("Unknown file time for a date rule.");
    }
    switch (rule.sstype) {
    case kWindowLastMonths:
        return CheckNumber(rule.value, QStringLiteral("The number of months"), 0,
                           limits::kMaxDateWindow);
    case kWindowLastDays:
        return CheckNumber(rule.value, QStringLiteral("The number of days"), 0,
                           limits::kMaxDateWindow);
    case kWindowBetween: {
        const std::optional<QDate> from = ReadDate(rule.value);
        const std::optional<QDate> to = ReadDate(rule.endDate);
        if (!from || !to)
            return QStringLiteral("A date rule between two dates needs both dates.");
        // The editor's two pickers carry times of day that let one day pass.
        if (*from > *to)
            return QStringLiteral("Begin date is earlier than To date!");
        return std::nullopt;
    }
    default:
        return QStringLiteral("Unknown period for a date rule.");
    }
}

// A folder of the task: a full path of a sensible length, printable.
std::optional<QString> CheckFolder(const QString& path, const QString& what)
{
    if (const std::optional<QString> refusal = CheckStoredText(path, what, limits::kPath))
        return refusal;
    // A name whose bytes are no UTF-8 reaches us with the replacement mark
    // in their place: stored so, it would name another folder.
    if (path.contains(QChar::ReplacementCharacter))
        return QStringLiteral("%1 must be valid UTF-8 text; '%2' is not.").arg(what, path.trimmed());
    if (!QDir::isAbsolutePath(path.trimmed()))
        return QStringLiteral("%1 must be a full path, not '%2'.").arg(what, path.trimmed());
    return std::nullopt;
}

// The folder as the runs will meet it, links resolved where it exists.
QString ResolvedFolder(const QString& path)
{
    const QString clean = QDir::cleanPath(path.trimmed());
    const QString canonical = QFileInfo(clean).canonicalFilePath();
    return canonical.isEmpty() ? clean : canonical;
}

bool IsInside(const QString& folder, const QString& parent)
{
    return parent == u"/" ? folder != u"/" : folder.startsWith(parent + u'/');
}

// The versions folder takes the replaced files out of the target's way; the
// target itself or a folder above it would put them back into the mirror.
std::optional<QString> CheckExtras(const TaskRecord& task)
{
    const TaskExtras& extras = task.extras;
    if (extras.keepVersions < 0 || extras.keepVersions > kMaxKeepVersions)
        return QStringLiteral("The number of versions to keep is from 0 to %1.")
            .arg(kMaxKeepVersions);
    if (extras.parallel < 0 || extras.parallel > kMaxParallel)
        return QStringLiteral("The number of operations at once is from 0 (chosen by the "
                              "target) to %1.")
            .arg(kMaxParallel);
    if (const std::optional<QString> refusal = CheckStoredText(
            extras.versionsFolder, QStringLiteral("The versions folder"), limits::kPath))
        return refusal;
    if (extras.keepVersions == 0)
        return std::nullopt;
    const QString target = ResolvedFolder(task.targetDir);
    const QString versions =
        ResolvedFolder(VersionsFolderPath(task.targetDir.trimmed(), extras.versionsFolder));
    if (versions == target || IsInside(target, versions))
        return QStringLiteral("The versions folder cannot be the target folder or a folder "
                              "above it.");
    // In a source, the user's files there would be left out of the mirror
    // and replaced files written into the source.
    for (const TaskSource& source : task.sources) {
        const QString folder = ResolvedFolder(source.path);
        if (versions == folder || IsInside(versions, folder) || IsInside(folder, versions))
            return QStringLiteral("The versions folder cannot be a source folder, lie inside "
                                  "one or hold one.");
    }
    return std::nullopt;
}

} // namespace

bool HasControlCharacter(const QString& text)
{
    // Also the marks that turn text around on screen (a name could show a
    // file's extension backwards) and the line and paragraph separators.
    const auto control = [](QChar c) {
        const char16_t u = c.unicode();
        return c.category() == QChar::Other_Control || (u >= 0x202A && u <= 0x202E) ||
               (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F || u == 0x061C ||
               u == 0x2028 || u == 0x2029;
    };
    return std::any_of(text.cbegin(), text.cend(), control);
}

std::optional<QString> CheckStoredText(const QString& text, const QString& what,
                                       qsizetype maxLength)
{
    if (HasControlCharacter(text))
        return QStringLiteral("%1 must not hold control characters (line breaks, tabs, "
                              "escapes).")
            .arg(what);
    if (text.size() > maxLength)
        return QStringLiteral("%1 has at most %2 characters.").arg(what).arg(maxLength);
    return std::nullopt;
}

std::optional<TaskCheckFailure> ValidateTask(const TaskRecord& task)
{
    const QString name = task.name.trimmed();
    if (name.isEmpty())
        return TaskCheckFailure{QStringLiteral("Task name is empty!"), std::nullopt};
    if (name.size() > limits::kTaskName)
        return TaskCheckFailure{
            QStringLiteral("A task name has at most %1 characters.").arg(limits::kTaskName),
            std::nullopt};
    if (HasControlCharacter(task.name))
        return TaskCheckFailure{
            *CheckStoredText(task.name, QStringLiteral("A task name"), limits::kTaskName),
            std::nullopt};
    bool blankSource = task.sources.isEmpty();
    for (const TaskSource& source : task.sources)
        blankSource = blankSource || source.path.trimmed().isEmpty();
    if (blankSource)
        return TaskCheckFailure{QStringLiteral("Source is empty!"), 0};
    for (const TaskSource& source : task.sources) {
        if (const std::optional<QString> refusal =
                CheckFolder(source.path, QStringLiteral("A source folder")))
            return TaskCheckFailure{*refusal, 0};
    }
    if (task.targetDir.trimmed().isEmpty())
        return TaskCheckFailure{QStringLiteral("Target is empty!"), 1};
    if (const std::optional<QString> refusal =
            CheckFolder(task.targetDir, QStringLiteral("The target folder")))
        return TaskCheckFailure{*refusal, 1};
    const QFileInfo target(task.targetDir.trimmed());
    if (target.exists() && !target.isDir())
        return TaskCheckFailure{QStringLiteral("The target '%1' is a file, not a folder.")
                                    .arg(task.targetDir.trimmed()),
                                1};
    if (const std::optional<QString> refusal = CheckExtras(task))
        return TaskCheckFailure{*refusal, 1};
    if (task.excludeMode && task.rules.isEmpty())
        return TaskCheckFailure{QStringLiteral("Please add a filer!"), 2};
    if (task.runMode == TaskRunMode::Scheduled && task.schedules.isEmpty())
        return TaskCheckFailure{QStringLiteral("Please add a schedule!"), 3};
    return std::nullopt;
}

std::optional<QString> TargetOverlapWarning(const TaskRecord& task)
{
    const QString target = ResolvedFolder(task.targetDir);
    for (const TaskSource& source : task.sources) {
        const QString folder = ResolvedFolder(source.path);
        if (target == folder)
            return QStringLiteral("The target is the source folder %1 itself: a run will "
                                  "find nothing to copy.")
                .arg(source.path.trimmed());
        if (source.includeSubfolders && IsInside(target, folder))
            return QStringLiteral("The target %1 lies inside the source folder %2: every run "
                                  "will also walk what earlier runs copied there.")
                .arg(task.targetDir.trimmed(), source.path.trimmed());
    }
    return std::nullopt;
}

QString WildcardValue(const QStringList& entries)
{
    QString value;
    for (const QString& entry : entries) {
        // An entry typed as "doc," or "doc,txt" holds its own pieces.
        for (const QString& part : entry.split(u',')) {
            const QString piece = part.trimmed();
            if (!piece.isEmpty())
                value += piece + u',';
        }
    }
    return value;
}

std::optional<QString> CheckWildcardEntry(const QStringList& entries, const QString& entry)
{
    if (entries.contains(entry))
        return QStringLiteral("The Wildcard has included");
    return std::nullopt;
}

std::optional<QString> CheckExcludeRule(const ExcludeRule& rule)
{
    if (const std::optional<QString> refusal =
            CheckStoredText(rule.value, QStringLiteral("A rule's value"), limits::kRuleValue))
        return refusal;
    if (const std::optional<QString> refusal =
            CheckStoredText(rule.endDate, QStringLiteral("A rule's end date"), limits::kRuleValue))
        return refusal;
    switch (rule.type) {
    case kRuleExtensions:
        if (WildcardValue(rule.value.split(u',')).isEmpty())
            return QStringLiteral("Wildcard is empty!");
        return std::nullopt;
    case kRuleSingleFile:
        if (rule.value.trimmed().isEmpty())
            return QStringLiteral("File is empty!");
        // Runs compare it with the full path of each file: a relative one
        // would never leave anything out.
        if (!QDir::isAbsolutePath(rule.value.trimmed()))
            return QStringLiteral("The file to leave out must be a full path, not '%1'.")
                .arg(rule.value.trimmed());
        return std::nullopt;
    case kRuleSize:
        if (rule.stype < kSizeLess || rule.stype > kSizeGreater)
            return QStringLiteral("Unknown comparison for a size rule.");
        if (rule.sstype < kSizeMegabytes || rule.sstype > kSizeBytes)
            return QStringLiteral("Unknown unit for a size rule.");
        return CheckNumber(rule.value, QStringLiteral("The size"), 0, limits::kMaxSize);
    case kRuleDate:
        return CheckDateRule(rule);
    case kRuleAttributes:
        if (!IsFlags(rule.value, 6) || !rule.value.contains(u'1'))
            return QStringLiteral("A Attributes must been checked! at least!");
        return std::nullopt;
    default:
        return QStringLiteral("Unknown kind of exclude rule.");
    }
}

std::optional<QString> CheckScheduleEntry(const ScheduleEntry& entry, const Clock& clock)
{
    if (HasStartTime(entry.startTime)) {
        const std::optional<QDateTime> at = ParseDateTimeText(entry.startTime.trimmed());
        if (!at || at->date() != ZeroDateTime().date())
            return QStringLiteral("The start time must be a time of day.");
    }
    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
        if (entry.value < limits::kMinMinutes || entry.value > limits::kMaxInterval)
            return OutOfRange(QStringLiteral("The number of minutes"), limits::kMinMinutes,
                              limits::kMaxInterval);
        return std::nullopt;
    case ScheduleKind::EveryHours:
    case ScheduleKind::EveryDays:
        if (entry.value < limits::kMinInterval || entry.value > limits::kMaxInterval)
            return OutOfRange(entry.kind == ScheduleKind::EveryHours
                                  ? QStringLiteral("The number of hours")
                                  : QStringLiteral("The number of days"),
                              limits::kMinInterval, limits::kMaxInterval);
        return std::nullopt;
    case ScheduleKind::WithinWeek:
        if (!IsFlags(entry.weekMask.trimmed(), 7) || !entry.weekMask.contains(u'1'))
            return QStringLiteral("None selected day!");
        return std::nullopt;
    case ScheduleKind::WithinMonth:
        if (entry.value < limits::kMinMonthDay || entry.value > limits::kMaxMonthDay)
            return OutOfRange(QStringLiteral("The day of the month"), limits::kMinMonthDay,
                              limits::kMaxMonthDay);
        return std::nullopt;
    case ScheduleKind::Once: {
        if (!entry.onceDate.isValid())
            return QStringLiteral("The run date is earlier than current date!");
        const QDateTime now = clock.now();
        if (HasStartTime(entry.startTime)) {
            const QDateTime at =
                DateTimeFromText(DateText(entry.onceDate) + u' ' + entry.startTime.trimmed());
            // Later than now by more than a millisecond.
            if (now.msecsTo(at) <= 1)
                return QStringLiteral("The run date is earlier current date!");
        } else if (entry.onceDate < now.date()) {
            return QStringLiteral("The run date is earlier than current date!");
        }
        return std::nullopt;
    }
    default:
        return QStringLiteral("Unknown kind of schedule entry.");
    }
}

std::optional<QString> CheckGroupName(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("Group name is empty");
    if (name.size() > limits::kGroupName)
        return QStringLiteral("A group name has at most %1 characters.").arg(limits::kGroupName);
    return CheckStoredText(name, QStringLiteral("A group name"), limits::kGroupName);
}

} // namespace tarnwick
