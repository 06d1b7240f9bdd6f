// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the task options. Values take the forms a shell user types
// (30m, mon,fri, >10M, 7d, 2004-01-10..2004-01-20) and become exactly the
// columns the editor's dialogs would have produced for the same choices.
#include "cli/TaskOptions.h"

#include "store/TaskOptionValues.h"

#include "cli/ArgumentReader.h"
#include "cli/CliCommand.h"
#include "engine/ExcludeRules.h"
#include "platform/Clock.h"
#include "store/ScheduleRules.h"
#include "store/DateTexts.h"
#include "store/TaskChecks.h"
#include "store/TaskOptionValues.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace tarnwick::cli {

namespace {

// A folder or file as the user typed it, made absolute against the current
// folder: a run started elsewhere (by the daemon) must find the same place.
QString AbsolutePath(const QString& path)
{
    if (path.isEmpty())
        return path;
    return QDir::current().absoluteFilePath(path);
}

[[noreturn]] void fail(const ArgumentReader& reader, const QString& message)
{
    throw UsageError(QStringLiteral("%1: %2").arg(reader.command(), message));
}

// The text as a number; whether it is in range is the store's check.
qint64 Number(const ArgumentReader& reader, const QString& text, const QString& what)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok)
        fail(reader, QStringLiteral("%1 must be a number, not '%2'").arg(what, text));
    return n;
}

// A value the editors' checks refuse is refused here with their message.
void Check(const ArgumentReader& reader, const std::optional<QString>& refusal)
{
    if (refusal)
        fail(reader, *refusal);
}

ScheduleEntry EveryEntry(const ArgumentReader& reader, const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+)([mhd])$"));
    const QRegularExpressionMatch match = form.match(text.trimmed().toLower());
    if (!match.hasMatch())
        fail(reader, QStringLiteral("bad interval '%1' for --every: a number followed by m, h "
                                    "or d (30m, 2h, 3d)")
                         .arg(text));
    ScheduleEntry entry;
    const QString unit = match.captured(2);
    if (unit == u"m") {
        entry.kind = ScheduleKind::EveryMinutes;
        entry.value = Number(reader, match.captured(1), QStringLiteral("--every in minutes"));
    } else {
        entry.kind = unit == u"h" ? ScheduleKind::EveryHours : ScheduleKind::EveryDays;
        entry.value = Number(reader, match.captured(1),
                             unit == u"h" ? QStringLiteral("--every in hours")
                                          : QStringLiteral("--every in days"));
    }
    return entry;
}

ScheduleEntry WeeklyEntry(const ArgumentReader& reader, const QString& text)
{
    static const std::array<QLatin1StringView, 7> kDays{
        QLatin1StringView("mon"), QLatin1StringView("tue"), QLatin1StringView("wed"),
        QLatin1StringView("thu"), QLatin1StringView("fri"), QLatin1StringView("sat"),
        QLatin1StringView("sun")};
    QString mask(7, u'0');
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QString day = part.trimmed().toLower();
        std::size_t i = 0;
        while (i < kDays.size() && !(day.size() >= 3 && day.startsWith(kDays[i])))
            ++i;
        if (i == kDays.size())
            fail(reader, QStringLiteral("unknown week day '%1' for --weekly (mon, tue, wed, thu, "
                                        "fri, sat, sun)")
                             .arg(part));
        mask[static_cast<qsizetype>(i)] = u'1';
    }
    ScheduleEntry entry;
    entry.kind = ScheduleKind::WithinWeek;
    entry.weekMask = mask;
    return entry;
}

QDate DateValue(const ArgumentReader& reader, const QString& text, const QString& option)
{
    const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        fail(reader,
             QStringLiteral("bad date '%1' for %2: write it as YYYY-MM-DD").arg(text, option));
    return date;
}

QString TimeValue(const ArgumentReader& reader, const QString& text)
{
    QTime time = QTime::fromString(text.trimmed(), QStringLiteral("H:mm:ss"));
    if (!time.isValid())
        time = QTime::fromString(text.trimmed(), QStringLiteral("H:mm"));
    if (!time.isValid())
        fail(reader,
             QStringLiteral("bad time '%1' for --at: write it as HH:MM or HH:MM:SS").arg(text));
    return TimeText(time);
}

ExcludeRule ExtensionRule(const ArgumentReader& reader, const QString& text)
{
    QStringList entries;
    for (const QString& entry : text.split(u',', Qt::SkipEmptyParts)) {
        // Blank pieces are no entries; the rule's check tells when none is left.
        if (entry.trimmed().isEmpty())
            continue;
        Check(reader, CheckWildcardEntry(entries, entry));
        entries << entry;
    }
    ExcludeRule rule;
    rule.type = kRuleExtensions;
    rule.value = WildcardValue(entries);
    return rule;
}

ExcludeRule SizeRule(const ArgumentReader& reader, const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*([<=>])\\s*(\\d+)\\s*(m|mb|k|kb|b|)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        fail(reader, QStringLiteral("bad size '%1' for --exclude-size: a comparison, a number "
                                    "and a unit (<5K, =0, >10M)")
                         .arg(text));
    ExcludeRule rule;
    rule.type = kRuleSize;
    const QString comparison = match.captured(1);
    rule.stype = comparison == u"<" ? 0 : comparison == u"=" ? 1 : 2;
    const QString unit = match.captured(3).toLower();
    rule.sstype = unit.startsWith(u'm')   ? kSizeMegabytes
                  : unit.startsWith(u'k') ? kSizeKilobytes
                                          : kSizeBytes;
    rule.value = QString::number(Number(reader, match.captured(2), QStringLiteral("the size")));
    return rule;
}

ExcludeRule DateRule(const ArgumentReader& reader, const QString& text)
{
    ExcludeRule rule;
    rule.type = kRuleDate;
    QString window = text.trimmed();
    const qsizetype colon = window.indexOf(u':');
    if (colon >= 0) {
        const QString which = window.left(colon).trimmed().toLower();
        if (which == u"modified")
            rule.stype = kDateLastWrite;
        else if (which == u"created")
            rule.stype = kDateCreation;
        else if (which == u"accessed")
            rule.stype = kDateLastAccess;
        else
            fail(reader, QStringLiteral("unknown file time '%1' for --exclude-date (modified, "
                                        "created, accessed)")
                             .arg(which));
        window = window.mid(colon + 1).trimmed();
    }
    static const QRegularExpression last(QStringLiteral("^(\\d+)([dm])$"));
    const QRegularExpressionMatch match = last.match(window.toLower());
    if (match.hasMatch()) {
        rule.sstype = match.captured(2) == u"d" ? kWindowLastDays : kWindowLastMonths;
        rule.value = QString::number(
            Number(reader, match.captured(1), QStringLiteral("the window of --exclude-date")));
        return rule;
    }
    const qsizetype dots = window.indexOf(QLatin1StringView(".."));
    if (dots < 0)
        fail(reader, QStringLiteral("bad window '%1' for --exclude-date: Nd (last N days), Nm "
                                    "(last N months) or FROM..TO (dates as YYYY-MM-DD)")
                         .arg(window));
    const QDate from = DateValue(reader, window.left(dots), QStringLiteral("--exclude-date"));
    const QDate to = DateValue(reader, window.mid(dots + 2), QStringLiteral("--exclude-date"));
    rule.sstype = kWindowBetween;
    rule.value = DateText(from);
    rule.endDate = DateText(to);
    return rule;
}

ExcludeRule AttributeRule(const ArgumentReader& reader, const QString& text)
{
    // In the order of the stored flags.
    static const std::array<QLatin1StringView, 6> kNames{
        QLatin1StringView("readonly"),   QLatin1StringView("archive"),
        QLatin1StringView("hidden"),     QLatin1StringView("system"),
        QLatin1StringView("compressed"), QLatin1StringView("encrypted")};
    QString flags(6, u'0');
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        QString name = part.trimmed().toLower();
        name.remove(u'-');
        std::size_t i = 0;
        while (i < kNames.size() && name != kNames[i])
            ++i;
        if (i == kNames.size())
            fail(reader, QStringLiteral("unknown attribute '%1' for --exclude-attr (readonly, "
                                        "archive, hidden, system, compressed, encrypted)")
                             .arg(part));
        flags[static_cast<qsizetype>(i)] = u'1';
    }
    ExcludeRule rule;
    rule.type = kRuleAttributes;
    rule.value = flags;
    return rule;
}

} // namespace

void TaskChanges::applyTo(TaskRecord& task) const
{
    if (name)
        task.name = *name;
    if (target)
        task.targetDir = *target;
    if (group)
        task.groupId = *group;
    if (sources)
        task.sources = *sources;
    if (runMode) {
        task.runMode = *runMode;
        task.schedules = schedules;
    }
    if (rules) {
        task.rules = *rules;
        task.excludeMode = !rules->isEmpty();
    }
    if (keepVersions)
        task.extras.keepVersions = *keepVersions;
    if (versionsFolder)
        task.extras.versionsFolder = *versionsFolder;
    if (whenTargetAppears)
        task.extras.whenTargetAppears = *whenTargetAppears;
    if (parallel)
        task.extras.parallel = *parallel;
    if (fullWalkAlways)
        task.extras.fullWalkAlways = *fullWalkAlways;
}

TaskChanges ReadTaskOptions(ArgumentReader& reader, bool allowName, const Clock& clock,
                            QStringList& words)
{
    TaskChanges changes;
    enum class StartFamily
    {
        None,
        Manual,
        OnChange,
        Schedule
    };
    StartFamily family = StartFamily::None;
    const auto chooseFamily = [&](StartFamily chosen) {
        if (family != StartFamily::None && family != chosen)
            fail(reader, QStringLiteral("choose one start mode: --manual, --on-change, or "
                                        "schedule options (--every, --weekly, --monthly, --once)"));
        family = chosen;
    };
    bool lastHasTime = true; // no schedule option yet: an --at has nothing to belong to
    const auto addSchedule = [&](const ScheduleEntry& entry) {
        chooseFamily(StartFamily::Schedule);
        TaskScheduleItem item;
        item.entry = entry;
        changes.schedules.append(item);
        lastHasTime = false;
    };
    const auto sources = [&]() -> QList<TaskSource>& {
        if (!changes.sources)
            changes.sources.emplace();
        return *changes.sources;
    };
    const auto addRule = [&](const ExcludeRule& rule) {
        Check(reader, CheckExcludeRule(rule));
        if (!changes.rules)
            changes.rules.emplace();
        changes.rules->append(rule);
    };
    bool includeAll = false;
    // A count from 0 (which means `zero`) to `most`.
    const auto count = [&reader](const QString& option, int most, const QString& zero) {
        const qint64 n = Number(reader, reader.value().trimmed(), option);
        if (n < 0 || n > most)
            fail(reader, QStringLiteral("%1 is from 0 (%2) to %3").arg(option, zero).arg(most));
        return static_cast<int>(n);
    };

    while (reader.next()) {
        if (!reader.isOption()) {
            words << reader.word();
            continue;
        }
        const QString option = reader.option();
        if (option == u"--name" && allowName) {
            changes.name = reader.value();
        } else if (option == u"--target") {
            changes.target = AbsolutePath(reader.value());
        } else if (option == u"--group") {
            changes.group = reader.value();
        } else if (option == u"--source" || option == u"--no-subfolders") {
            const QString path = AbsolutePath(reader.value());
            if (path.isEmpty())
                fail(reader, QStringLiteral("Source is empty!"));
            const bool subfolders = option == u"--source";
            QList<TaskSource>& list = sources();
            auto given = std::find_if(list.begin(), list.end(),
                                      [&path](const TaskSource& s) { return s.path == path; });
            if (!subfolders && given != list.end())
                given->includeSubfolders = false;
            else
                list.append({path, subfolders});
        } else if (option == u"--manual") {
            reader.noValue();
            chooseFamily(StartFamily::Manual);
        } else if (option == u"--on-change") {
            reader.noValue();
            chooseFamily(StartFamily::OnChange);
        } else if (option == u"--every") {
            addSchedule(EveryEntry(reader, reader.value()));
        } else if (option == u"--weekly") {
            addSchedule(WeeklyEntry(reader, reader.value()));
        } else if (option == u"--monthly") {
            ScheduleEntry entry;
            entry.kind = ScheduleKind::WithinMonth;
            entry.value =
                Number(reader, reader.value().trimmed(), QStringLiteral("the day of --monthly"));
            addSchedule(entry);
        } else if (option == u"--once") {
            ScheduleEntry entry;
            entry.kind = ScheduleKind::Once;
            entry.onceDate = DateValue(reader, reader.value(), option);
            addSchedule(entry);
        } else if (option == u"--at") {
            const QString time = TimeValue(reader, reader.value());
            if (lastHasTime)
                fail(reader, QStringLiteral("--at gives the time of the schedule option before "
                                            "it (--every, --weekly, --monthly or --once), once"));
            changes.schedules.last().entry.startTime = time;
            lastHasTime = true;
        } else if (option == u"--exclude-ext") {
            addRule(ExtensionRule(reader, reader.value()));
        } else if (option == u"--exclude-file") {
            ExcludeRule rule;
            rule.type = kRuleSingleFile;
            rule.value = AbsolutePath(reader.value());
            addRule(rule);
        } else if (option == u"--exclude-size") {
            addRule(SizeRule(reader, reader.value()));
        } else if (option == u"--exclude-date") {
            addRule(DateRule(reader, reader.value()));
        } else if (option == u"--exclude-attr") {
            addRule(AttributeRule(reader, reader.value()));
        } else if (option == u"--include-all") {
            reader.noValue();
            includeAll = true;
        } else if (option == u"--keep-versions") {
            changes.keepVersions = count(option, kMaxKeepVersions, QStringLiteral("off"));
        } else if (option == u"--versions-folder") {
            // Relative stays relative: it names a folder inside the target,
            // wherever the target is moved to.
            changes.versionsFolder = reader.value();
        } else if (option == u"--when-target-appears" ||
                   option == u"--not-when-target-appears") {
            reader.noValue();
            changes.whenTargetAppears = option == u"--when-target-appears";
        } else if (option == u"--full-walk-always" || option == u"--not-full-walk-always") {
            reader.noValue();
            changes.fullWalkAlways = option == u"--full-walk-always";
        } else if (option == u"--parallel") {
            changes.parallel = count(option, kMaxParallel, QStringLiteral("chosen by the target"));
        } else {
            reader.refuse();
        }
    }
    if (includeAll && changes.rules && !changes.rules->isEmpty())
        fail(reader, QStringLiteral("--include-all cannot go with exclude options"));
    if (includeAll)
        changes.rules.emplace();

    switch (family) {
    case StartFamily::None:
        break;
    case StartFamily::Manual:
        changes.runMode = TaskRunMode::Manual;
        break;
    case StartFamily::OnChange:
        changes.runMode = TaskRunMode::OnSourceChange;
        break;
    case StartFamily::Schedule:
        changes.runMode = TaskRunMode::Scheduled;
        for (const TaskScheduleItem& item : std::as_const(changes.schedules))
            Check(reader, CheckScheduleEntry(item.entry, clock));
        // The editor's schedule list keeps itself sorted by its captions,
        // and saves in that order.
        std::stable_sort(changes.schedules.begin(), changes.schedules.end(),
                         [](const TaskScheduleItem& a, const TaskScheduleItem& b) {
                             return DescribeEditorEntry(a.entry).localeAwareCompare(
                                        DescribeEditorEntry(b.entry)) < 0;
                         });
        break;
    }
    return changes;
}

QString TaskOptionsHelp()
{
    return QStringLiteral(
        "Sources and target:\n"
        "  --source DIR          a source folder, walked with its subfolders (repeatable)\n"
        "  --no-subfolders DIR   a source folder walked without its subfolders; for a\n"
        "                        folder also given with --source, clears its flag\n"
        "  --target DIR          the target folder\n"
        "  --group GROUP         the group (ID or name; AllTask for none)\n"
        "\n"
        "Start mode (one kind; --manual when none is given):\n"
        "  --manual              started by hand only\n"
        "  --on-change           started when a source folder changes\n"
        "  --every N{m|h|d}      every N minutes (2-1000), hours or days (1-1000)\n"
        "  --weekly DAYS         on week days: mon,tue,wed,thu,fri,sat,sun\n"
        "  --monthly DAY         on a day of the month, 1-28\n"
        "  --once YYYY-MM-DD     once, on that date\n"
        "  --at HH:MM[:SS]       the time of day of the schedule option before it\n"
        "  Schedule options can be given several times: each is one entry.\n"
        "\n"
        "Exclude rules (each option is one rule; files matching any are left out):\n"
        "  --exclude-ext LIST    extensions, like doc,tmp\n"
        "  --exclude-file PATH   one file, by its full path\n"
        "  --exclude-size SIZE   a comparison, a number, a unit: '<5K', '=0', '>10M'\n"
        "  --exclude-date WHEN   [modified|created|accessed:] then Nd (last N days),\n"
        "                        Nm (last N months) or FROM..TO (YYYY-MM-DD dates)\n"
        "  --exclude-attr LIST   readonly,archive,hidden,system,compressed,encrypted\n"
        "  --include-all         no exclude rules\n"
        "\n"
        "Kept versions and drives:\n"
        "  --keep-versions N     before a run replaces a file, move the old one into the\n"
        "                        versions folder and keep its N newest there (1-99;\n"
        "                        0 keeps none)\n"
        "  --versions-folder DIR the versions folder: a full path, or a folder inside\n"
        "                        the target (default .tarnwick-versions)\n"
        "  --when-target-appears also run when the target's drive is mounted\n"
        "  --not-when-target-appears\n"
        "                        not when the target's drive is mounted\n"
        "  --full-walk-always    runs on change walk every folder, not only the\n"
        "                        folders that changed\n"
        "  --not-full-walk-always\n"
        "                        runs on change look at changed folders only\n"
        "  --parallel N          target operations under way at once (1-64); 0 lets the\n"
        "                        target's file system decide: more on a network or FUSE\n"
        "                        file system, one or two on a local disk\n");
}

} // namespace tarnwick::cli
