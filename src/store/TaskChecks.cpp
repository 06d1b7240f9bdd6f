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

// What the checks say, in the words a front end looks up.
constexpr TextEntry kCheckOutOfRange{"CheckOutOfRange", "%1 must be a number from %2 to %3."};
constexpr TextEntry kCheckWhatMonths{"CheckWhatMonths", "The number of months"};
constexpr TextEntry kCheckWhatDays{"CheckWhatDays", "The number of days"};
constexpr TextEntry kCheckWhatMinutes{"CheckWhatMinutes", "The number of minutes"};
constexpr TextEntry kCheckWhatHours{"CheckWhatHours", "The number of hours"};
constexpr TextEntry kCheckWhatMonthDay{"CheckWhatMonthDay", "The day of the month"};
constexpr TextEntry kCheckWhatSize{"CheckWhatSize", "The size"};
constexpr TextEntry kCheckUnknownFileTime{"CheckUnknownFileTime", "Unknown file time for a date rule."};
constexpr TextEntry kCheckBothDates{"CheckBothDates", "A date rule between two dates needs both dates."};
constexpr TextEntry kCheckDateOrder{"CheckDateOrder", "Begin date must be earlier than To date!"};
constexpr TextEntry kCheckUnknownPeriod{"CheckUnknownPeriod", "Unknown period for a date rule."};
constexpr TextEntry kCheckNotUtf8{"CheckNotUtf8", "%1 must be valid UTF-8 text; '%2' is not."};
constexpr TextEntry kCheckNotFullPath{"CheckNotFullPath", "%1 must be a full path, not '%2'."};
constexpr TextEntry kCheckKeepRange{"CheckKeepRange", "The number of versions to keep is from 0 to %1."};
constexpr TextEntry kCheckParallelRange{"CheckParallelRange", "The number of operations at once is from 0 (chosen by the target) to %1."};
constexpr TextEntry kCheckWhatVersionsFolder{"CheckWhatVersionsFolder", "The versions folder"};
constexpr TextEntry kCheckVersionsAboveTarget{"CheckVersionsAboveTarget", "The versions folder cannot be the target folder or a folder above it."};
constexpr TextEntry kCheckVersionsInSource{"CheckVersionsInSource", "The versions folder cannot be a source folder, lie inside one or hold one."};
constexpr TextEntry kCheckControlChars{"CheckControlChars", "%1 must not hold control characters (line breaks, tabs, escapes)."};
constexpr TextEntry kCheckTooLong{"CheckTooLong", "%1 has at most %2 characters."};
constexpr TextEntry kCheckTaskNameEmpty{"CheckTaskNameEmpty", "Task name is empty!"};
constexpr TextEntry kCheckTaskNameTooLong{"CheckTaskNameTooLong", "A task name has at most %1 characters."};
constexpr TextEntry kCheckWhatTaskName{"CheckWhatTaskName", "A task name"};
constexpr TextEntry kCheckSourceEmpty{"CheckSourceEmpty", "Source is empty!"};
constexpr TextEntry kCheckWhatSource{"CheckWhatSource", "A source folder"};
constexpr TextEntry kCheckTargetEmpty{"CheckTargetEmpty", "Target is empty!"};
constexpr TextEntry kCheckWhatTarget{"CheckWhatTarget", "The target folder"};
constexpr TextEntry kCheckTargetIsFile{"CheckTargetIsFile", "The target '%1' is a file, not a folder."};
constexpr TextEntry kCheckAddFilter{"CheckAddFilter", "Please add a filer!"};
constexpr TextEntry kCheckAddSchedule{"CheckAddSchedule", "Please add a schedule!"};
constexpr TextEntry kCheckTargetIsSource{"CheckTargetIsSource", "The target is the source folder %1 itself: a run will find nothing to copy."};
constexpr TextEntry kCheckTargetInSource{"CheckTargetInSource", "The target %1 lies inside the source folder %2: every run will also walk what earlier runs copied there."};
constexpr TextEntry kCheckWildcardIncluded{"CheckWildcardIncluded", "The Wildcard has included"};
constexpr TextEntry kCheckWhatRuleValue{"CheckWhatRuleValue", "A rule's value"};
constexpr TextEntry kCheckWhatRuleEnd{"CheckWhatRuleEnd", "A rule's end date"};
constexpr TextEntry kCheckWildcardEmpty{"CheckWildcardEmpty", "Wildcard is empty!"};
constexpr TextEntry kCheckFileEmpty{"CheckFileEmpty", "File is empty!"};
constexpr TextEntry kCheckFileNotFull{"CheckFileNotFull", "The file to leave out must be a full path, not '%1'."};
constexpr TextEntry kCheckUnknownComparison{"CheckUnknownComparison", "Unknown comparison for a size rule."};
constexpr TextEntry kCheckUnknownUnit{"CheckUnknownUnit", "Unknown unit for a size rule."};
constexpr TextEntry kCheckNoAttribute{"CheckNoAttribute", "A Attributes must been checked! at least!"};
constexpr TextEntry kCheckUnknownRule{"CheckUnknownRule", "Unknown kind of exclude rule."};
constexpr TextEntry kCheckStartTime{"CheckStartTime", "The start time must be a time of day."};
constexpr TextEntry kCheckNoDay{"CheckNoDay", "None selected day!"};
constexpr TextEntry kCheckOnceEarlier{"CheckOnceEarlier", "The run date is earlier than current date!"};
constexpr TextEntry kCheckOnceEarlierTime{"CheckOnceEarlierTime", "The run date is earlier current date!"};
constexpr TextEntry kCheckUnknownSchedule{"CheckUnknownSchedule", "Unknown kind of schedule entry."};
constexpr TextEntry kCheckGroupEmpty{"CheckGroupEmpty", "Group name is empty"};
constexpr TextEntry kCheckGroupTooLong{"CheckGroupTooLong", "A group name has at most %1 characters."};
constexpr TextEntry kCheckWhatGroup{"CheckWhatGroup", "A group name"};

constexpr TextEntry kAllTexts[] = {
    kCheckOutOfRange,
    kCheckWhatMonths,
    kCheckWhatDays,
    kCheckWhatMinutes,
    kCheckWhatHours,
    kCheckWhatMonthDay,
    kCheckWhatSize,
    kCheckUnknownFileTime,
    kCheckBothDates,
    kCheckDateOrder,
    kCheckUnknownPeriod,
    kCheckNotUtf8,
    kCheckNotFullPath,
    kCheckKeepRange,
    kCheckParallelRange,
    kCheckWhatVersionsFolder,
    kCheckVersionsAboveTarget,
    kCheckVersionsInSource,
    kCheckControlChars,
    kCheckTooLong,
    kCheckTaskNameEmpty,
    kCheckTaskNameTooLong,
    kCheckWhatTaskName,
    kCheckSourceEmpty,
    kCheckWhatSource,
    kCheckTargetEmpty,
    kCheckWhatTarget,
    kCheckTargetIsFile,
    kCheckAddFilter,
    kCheckAddSchedule,
    kCheckTargetIsSource,
    kCheckTargetInSource,
    kCheckWildcardIncluded,
    kCheckWhatRuleValue,
    kCheckWhatRuleEnd,
    kCheckWildcardEmpty,
    kCheckFileEmpty,
    kCheckFileNotFull,
    kCheckUnknownComparison,
    kCheckUnknownUnit,
    kCheckNoAttribute,
    kCheckUnknownRule,
    kCheckStartTime,
    kCheckNoDay,
    kCheckOnceEarlier,
    kCheckOnceEarlierTime,
    kCheckUnknownSchedule,
    kCheckGroupEmpty,
    kCheckGroupTooLong,
    kCheckWhatGroup,
};


std::optional<qint64> WholeNumber(const QString& text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

std::optional<QString> OutOfRange(const QString& what, qint64 low, qint64 high,
                                  const TextLookup& look)
{
    return look(kCheckOutOfRange).arg(what).arg(low).arg(high);
}

std::optional<QString> CheckNumber(const QString& text, const QString& what, qint64 low,
                                   qint64 high, const TextLookup& look)
{
    const std::optional<qint64> n = WholeNumber(text);
    if (!n || *n < low || *n > high)
        return OutOfRange(what, low, high, look);
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

std::optional<QString> CheckDateRule(const ExcludeRule& rule, const TextLookup& look)
{
    switch (rule.stype) {
    case kDateLastWrite:
    case kDateCreation:
    case kDateLastAccess:
        break;
    default:
        return look(kCheckUnknownFileTime);
    }
    switch (rule.sstype) {
    case kWindowLastMonths:
        return CheckNumber(rule.value, look(kCheckWhatMonths), 0, limits::kMaxDateWindow, look);
    case kWindowLastDays:
        return CheckNumber(rule.value, look(kCheckWhatDays), 0, limits::kMaxDateWindow, look);
    case kWindowBetween: {
        const std::optional<QDate> from = ReadDate(rule.value);
        const std::optional<QDate> to = ReadDate(rule.endDate);
        if (!from || !to)
            return look(kCheckBothDates);
        // The editor's two pickers carry times of day that let one day pass.
        if (*from > *to)
            return look(kCheckDateOrder);
        return std::nullopt;
    }
    default:
        return look(kCheckUnknownPeriod);
    }
}

// A folder of the task: a full path of a sensible length, printable.
std::optional<QString> CheckFolder(const QString& path, const QString& what,
                                   const TextLookup& look)
{
    if (const std::optional<QString> refusal = CheckStoredText(path, what, limits::kPath, look))
        return refusal;
    // A name whose bytes are no UTF-8 reaches us with the replacement mark
    // in their place: stored so, it would name another folder.
    if (path.contains(QChar::ReplacementCharacter))
        return look(kCheckNotUtf8).arg(what, path.trimmed());
    if (!QDir::isAbsolutePath(path.trimmed()))
        return look(kCheckNotFullPath).arg(what, path.trimmed());
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
std::optional<QString> CheckExtras(const TaskRecord& task, const TextLookup& look)
{
    const TaskExtras& extras = task.extras;
    if (extras.keepVersions < 0 || extras.keepVersions > kMaxKeepVersions)
        return look(kCheckKeepRange)
            .arg(kMaxKeepVersions);
    if (extras.parallel < 0 || extras.parallel > kMaxParallel)
        return look(kCheckParallelRange)
            .arg(kMaxParallel);
    if (const std::optional<QString> refusal = CheckStoredText(
            extras.versionsFolder, look(kCheckWhatVersionsFolder), limits::kPath, look))
        return refusal;
    if (extras.keepVersions == 0)
        return std::nullopt;
    const QString target = ResolvedFolder(task.targetDir);
    const QString versions =
        ResolvedFolder(VersionsFolderPath(task.targetDir.trimmed(), extras.versionsFolder));
    if (versions == target || IsInside(target, versions))
        return look(kCheckVersionsAboveTarget);
    // In a source, the user's files there would be left out of the mirror
    // and replaced files written into the source.
    for (const TaskSource& source : task.sources) {
        const QString folder = ResolvedFolder(source.path);
        if (versions == folder || IsInside(versions, folder) || IsInside(folder, versions))
            return look(kCheckVersionsInSource);
    }
    return std::nullopt;
}

} // namespace

std::span<const TextEntry> CheckTexts()
{
    return kAllTexts;
}

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
                                       qsizetype maxLength, const TextLookup& look)
{
    if (HasControlCharacter(text))
        return look(kCheckControlChars)
            .arg(what);
    if (text.size() > maxLength)
        return look(kCheckTooLong).arg(what).arg(maxLength);
    return std::nullopt;
}

std::optional<TaskCheckFailure> ValidateTask(const TaskRecord& task, const TextLookup& look)
{
    const QString name = task.name.trimmed();
    if (name.isEmpty())
        return TaskCheckFailure{look(kCheckTaskNameEmpty), std::nullopt};
    if (name.size() > limits::kTaskName)
        return TaskCheckFailure{
            look(kCheckTaskNameTooLong).arg(limits::kTaskName),
            std::nullopt};
    if (HasControlCharacter(task.name))
        return TaskCheckFailure{
            *CheckStoredText(task.name, look(kCheckWhatTaskName), limits::kTaskName, look),
            std::nullopt};
    bool blankSource = task.sources.isEmpty();
    for (const TaskSource& source : task.sources)
        blankSource = blankSource || source.path.trimmed().isEmpty();
    if (blankSource)
        return TaskCheckFailure{look(kCheckSourceEmpty), 0};
    for (const TaskSource& source : task.sources) {
        if (const std::optional<QString> refusal =
                CheckFolder(source.path, look(kCheckWhatSource), look))
            return TaskCheckFailure{*refusal, 0};
    }
    if (task.targetDir.trimmed().isEmpty())
        return TaskCheckFailure{look(kCheckTargetEmpty), 1};
    if (const std::optional<QString> refusal =
            CheckFolder(task.targetDir, look(kCheckWhatTarget), look))
        return TaskCheckFailure{*refusal, 1};
    const QFileInfo target(task.targetDir.trimmed());
    if (target.exists() && !target.isDir())
        return TaskCheckFailure{look(kCheckTargetIsFile)
                                    .arg(task.targetDir.trimmed()),
                                1};
    if (const std::optional<QString> refusal = CheckExtras(task, look))
        return TaskCheckFailure{*refusal, 1};
    if (task.excludeMode && task.rules.isEmpty())
        return TaskCheckFailure{look(kCheckAddFilter), 2};
    if (task.runMode == TaskRunMode::Scheduled && task.schedules.isEmpty())
        return TaskCheckFailure{look(kCheckAddSchedule), 3};
    return std::nullopt;
}

std::optional<QString> TargetOverlapWarning(const TaskRecord& task, const TextLookup& look)
{
    const QString target = ResolvedFolder(task.targetDir);
    for (const TaskSource& source : task.sources) {
        const QString folder = ResolvedFolder(source.path);
        if (target == folder)
            return look(kCheckTargetIsSource)
                .arg(source.path.trimmed());
        if (source.includeSubfolders && IsInside(target, folder))
            return look(kCheckTargetInSource)
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

std::optional<QString> CheckWildcardEntry(const QStringList& entries, const QString& entry,
                                          const TextLookup& look)
{
    if (entries.contains(entry))
        return look(kCheckWildcardIncluded);
    return std::nullopt;
}

std::optional<QString> CheckExcludeRule(const ExcludeRule& rule, const TextLookup& look)
{
    if (const std::optional<QString> refusal =
            CheckStoredText(rule.value, look(kCheckWhatRuleValue), limits::kRuleValue, look))
        return refusal;
    if (const std::optional<QString> refusal =
            CheckStoredText(rule.endDate, look(kCheckWhatRuleEnd), limits::kRuleValue, look))
        return refusal;
    switch (rule.type) {
    case kRuleExtensions:
        if (WildcardValue(rule.value.split(u',')).isEmpty())
            return look(kCheckWildcardEmpty);
        return std::nullopt;
    case kRuleSingleFile:
        if (rule.value.trimmed().isEmpty())
            return look(kCheckFileEmpty);
        // Runs compare it with the full path of each file: a relative one
        // would never leave anything out.
        if (!QDir::isAbsolutePath(rule.value.trimmed()))
            return look(kCheckFileNotFull)
                .arg(rule.value.trimmed());
        return std::nullopt;
    case kRuleSize:
        if (rule.stype < kSizeLess || rule.stype > kSizeGreater)
            return look(kCheckUnknownComparison);
        if (rule.sstype < kSizeMegabytes || rule.sstype > kSizeBytes)
            return look(kCheckUnknownUnit);
        return CheckNumber(rule.value, look(kCheckWhatSize), 0, limits::kMaxSize, look);
    case kRuleDate:
        return CheckDateRule(rule, look);
    case kRuleAttributes:
        if (!IsFlags(rule.value, 6) || !rule.value.contains(u'1'))
            return look(kCheckNoAttribute);
        return std::nullopt;
    default:
        return look(kCheckUnknownRule);
    }
}

std::optional<QString> CheckScheduleEntry(const ScheduleEntry& entry, const Clock& clock,
                                          const TextLookup& look)
{
    if (HasStartTime(entry.startTime)) {
        const std::optional<QDateTime> at = ParseDateTimeText(entry.startTime.trimmed());
        if (!at || at->date() != ZeroDateTime().date())
            return look(kCheckStartTime);
    }
    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
        if (entry.value < limits::kMinMinutes || entry.value > limits::kMaxInterval)
            return OutOfRange(look(kCheckWhatMinutes), limits::kMinMinutes, limits::kMaxInterval,
                              look);
        return std::nullopt;
    case ScheduleKind::EveryHours:
    case ScheduleKind::EveryDays:
        if (entry.value < limits::kMinInterval || entry.value > limits::kMaxInterval)
            return OutOfRange(entry.kind == ScheduleKind::EveryHours
                                  ? look(kCheckWhatHours)
                                  : look(kCheckWhatDays),
                              limits::kMinInterval, limits::kMaxInterval, look);
        return std::nullopt;
    case ScheduleKind::WithinWeek:
        if (!IsFlags(entry.weekMask.trimmed(), 7) || !entry.weekMask.contains(u'1'))
            return look(kCheckNoDay);
        return std::nullopt;
    case ScheduleKind::WithinMonth:
        if (entry.value < limits::kMinMonthDay || entry.value > limits::kMaxMonthDay)
            return OutOfRange(look(kCheckWhatMonthDay), limits::kMinMonthDay, limits::kMaxMonthDay,
                              look);
        return std::nullopt;
    case ScheduleKind::Once: {
        if (!entry.onceDate.isValid())
            return look(kCheckOnceEarlier);
        const QDateTime now = clock.now();
        if (HasStartTime(entry.startTime)) {
            const QDateTime at =
                DateTimeFromText(DateText(entry.onceDate) + u' ' + entry.startTime.trimmed());
            // Later than now by more than a millisecond.
            if (now.msecsTo(at) <= 1)
                return look(kCheckOnceEarlierTime);
        } else if (entry.onceDate < now.date()) {
            return look(kCheckOnceEarlier);
        }
        return std::nullopt;
    }
    default:
        return look(kCheckUnknownSchedule);
    }
}

std::optional<QString> CheckGroupName(const QString& name, const TextLookup& look)
{
    if (name.isEmpty())
        return look(kCheckGroupEmpty);
    if (name.size() > limits::kGroupName)
        return look(kCheckGroupTooLong).arg(limits::kGroupName);
    return CheckStoredText(name, look(kCheckWhatGroup), limits::kGroupName, look);
}

} // namespace tarnwick
