// SPDX-License-Identifier: GPL-3.0-or-later
// One exclude rule, and what the numbers in its columns mean. The rule is
// the same value everywhere: a stored Exclude row, a row of the task
// editor's rule list, the run's exclusion test and the filter test all hold
// it in this one type, so unsaved rules can be tried exactly as a run would
// use them.
#pragma once

#include <QString>
#include <QtGlobal>

namespace tarnwick {

// Rule kinds (column `type`).
inline constexpr qint64 kRuleExtensions = 0; // value: "doc,txt," (each entry ends in a comma)
inline constexpr qint64 kRuleSingleFile = 1; // value: one full file path
inline constexpr qint64 kRuleSize = 2;       // stype: 0 less, 1 equal, 2 greater; sstype: unit
inline constexpr qint64 kRuleDate = 3;       // stype: which time; sstype: kind of window
inline constexpr qint64 kRuleAttributes = 4; // value: six '0'/'1' flags

// Size units (sstype of a size rule); any other value counts as bytes.
inline constexpr qint64 kSizeMegabytes = 0;
inline constexpr qint64 kSizeKilobytes = 1;
inline constexpr qint64 kSizeBytes = 2;

// File times (stype of a date rule).
inline constexpr qint64 kDateLastWrite = 0;
inline constexpr qint64 kDateCreation = 1;
inline constexpr qint64 kDateLastAccess = 2;

// Windows (sstype of a date rule).
inline constexpr qint64 kWindowLastMonths = 0; // value: N; a month is 30 days
inline constexpr qint64 kWindowLastDays = 1;   // value: N
inline constexpr qint64 kWindowBetween = 2;    // value: start date, endDate: end date (DateText)

// Comparisons (stype of a size rule).
inline constexpr qint64 kSizeLess = 0;
inline constexpr qint64 kSizeEqual = 1;
inline constexpr qint64 kSizeGreater = 2;

// One rule. Columns a kind does not use read as 0 or empty text.
struct ExcludeRule
{
    qint64 type = 0;
    qint64 stype = 0;
    qint64 sstype = 0;
    QString value;
    QString endDate;       // kind 3 with sstype 2: the end date as DateText
    qint64 excludeId = -1; // the stored row's ExcludeID; -1 for a rule not yet stored

    friend bool operator==(const ExcludeRule&, const ExcludeRule&) = default;
};

} // namespace tarnwick
