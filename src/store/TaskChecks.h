// SPDX-License-Identifier: GPL-3.0-or-later
// What a task, an exclude rule, a schedule entry or a group name must be
// before the store takes it. The window's dialogs and the command-line
// companion both ask here, so a value one front end refuses the other
// refuses too, with the same message. Each check returns the message of the
// first thing wrong, or nothing.
#pragma once

#include "store/ExcludeRule.h"
#include "store/ScheduleEntry.h"
#include "store/TaskWriter.h"
#include "store/TextEntry.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace tarnwick {

class Clock;

// The bounds of the values the editors take.
namespace limits {
inline constexpr qsizetype kTaskName = 100;
inline constexpr qsizetype kGroupName = 30;
inline constexpr qint64 kMinMinutes = 2;   // every N minutes
inline constexpr qint64 kMinInterval = 1;  // every N hours or days
inline constexpr qint64 kMaxInterval = 1000;
inline constexpr qint64 kMinMonthDay = 1;
inline constexpr qint64 kMaxMonthDay = 28;
inline constexpr qint64 kMaxDateWindow = 10000; // last N days or months
inline constexpr qint64 kMaxSize = 2147483647;  // size threshold, in its unit
inline constexpr qsizetype kPath = 4096;        // a folder, as the system takes it
inline constexpr qsizetype kRuleValue = 32767;  // a rule's text
inline constexpr qsizetype kIdentifier = 64;    // a task's or a group's ID
} // namespace limits

// The first check a task fails before it may be saved: its message and the
// editor page to show (0 source, 1 target, 2 filter, 3 schedule), if any.
struct TaskCheckFailure
{
    QString message;
    std::optional<int> page;

    friend bool operator==(const TaskCheckFailure&, const TaskCheckFailure&) = default;
};

// The checks made before a task is saved, in the editor's order: name,
// sources, target, rules, schedule entries. Texts are judged without their
// surrounding blanks, so a name or a target of blanks is refused. Names and
// paths holding control characters are refused: they would reach the log
// and the terminal as line breaks and escape sequences. Folders are full
// paths (a run may start anywhere); a target that is an existing file is
// refused.
std::optional<TaskCheckFailure> ValidateTask(const TaskRecord& task,
                                             const TextLookup& look = EnglishText);

// What is allowed but probably not meant: a target equal to a source, or
// inside a source that is walked with its subfolders. The runs cope (they
// never copy a file onto itself); the user is told before saving.
std::optional<QString> TargetOverlapWarning(const TaskRecord& task,
                                            const TextLookup& look = EnglishText);

// Whether `text` holds a control character (line breaks, escape, NUL...).
bool HasControlCharacter(const QString& text);

// A text the store keeps, `what` naming it in the message: no control
// character, at most `maxLength` characters.
std::optional<QString> CheckStoredText(const QString& text, const QString& what,
                                       qsizetype maxLength, const TextLookup& look = EnglishText);

// The extension list of a wildcard rule from its entries, each followed by
// ",". An entry holding commas gives each of its pieces; pieces empty
// after trimming are left out: an empty piece would match every file
// without an extension.
QString WildcardValue(const QStringList& entries);

// Whether `entry` may join a wildcard list that already holds `entries`
// (compared exactly, case and all): the refusal's message, or nothing.
std::optional<QString> CheckWildcardEntry(const QStringList& entries, const QString& entry,
                                          const TextLookup& look = EnglishText);

// One exclude rule of kinds 0 to 4 with its columns in range.
std::optional<QString> CheckExcludeRule(const ExcludeRule& rule,
                                        const TextLookup& look = EnglishText);

// One schedule entry of kinds 0 to 5: its number in range, a week mask with
// a chosen day, a start time that reads as a time of day, and a Once entry
// that is still ahead of `clock`'s now.
std::optional<QString> CheckScheduleEntry(const ScheduleEntry& entry, const Clock& clock,
                                          const TextLookup& look = EnglishText);

// A group name: not empty, at most limits::kGroupName characters, no
// control character.
std::optional<QString> CheckGroupName(const QString& name, const TextLookup& look = EnglishText);

// Every text the checks say, for the language files. Each check speaks in
// the words `look` gives; English when none.
std::span<const TextEntry> CheckTexts();

} // namespace tarnwick
