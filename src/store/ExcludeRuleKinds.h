// What the numbers in a stored exclude rule's columns mean. They belong to
// the stored rows, so the store's write path and the run's exclusion test
// read them from this one place.
#pragma once

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

} // namespace tarnwick
