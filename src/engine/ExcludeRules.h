// SPDX-License-Identifier: GPL-3.0-or-later
// A task's exclude rules: the rows of its Exclude table and the test that
// keeps matching files out of a run. Folders are never excluded; the walk
// asks only about files.
#pragma once

#include "engine/ExcludeTest.h"
#include "platform/EntryRecord.h"
#include "store/ExcludeRule.h"
#include "store/RunJob.h"
#include "store/TextEntry.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <span>

namespace tarnwick {

class Clock;
class RunControl;
class TaskDatabase;


// Whether the file at `path` (bytes as the walk built it) with `entry` is
// excluded: rules are tried in order and the first match decides. `now` is
// local time. A stop request seen before a rule counts the file as excluded,
// so a stopping walk skips it silently. Attribute rules read the file's
// attributes from disk now; the other kinds use `entry`.
bool IsExcluded(const QList<ExcludeRule>& rules, const QByteArray& path, const EntryRecord& entry,
                const QDateTime& now, const RunControl* control);

// What the rules exclude, as a value a later run compares: equal values
// exclude the same files. A rule of the last days or months excludes by
// the file's age, which moves on without any change: `today` is part of
// the value then.
QByteArray RulesFingerprint(const QList<ExcludeRule>& rules, const QDate& today);

// The exclusion test of one run over rules read once. `control` (may be null)
// and `clock` must outlive the returned function; `now` is taken from
// `clock` at each call.
ExcludeTest MakeExcludeTest(QList<ExcludeRule> rules, const RunControl* control,
                            const Clock& clock);

// The text a front end shows for a stored rule: the task editor's list and
// `tarnwick-cli task show` describe the same row in the same words. Empty
// for a kind the store does not know. In the words `look` gives; English
// when none.
QString DescribeStoredRule(const ExcludeRule& rule, const TextLookup& look = EnglishText);

// The text the rule dialog gives a rule it has just made; its wording
// differs from the stored rules' ("Excluder if file size: Less than (<) 10
// KBytes."). Empty for a kind the store does not know.
QString DescribeEditorRule(const ExcludeRule& rule, const TextLookup& look = EnglishText);

// Every word the two descriptions use, for the language files.
std::span<const TextEntry> RuleDescriptionTexts();

} // namespace tarnwick
