// SPDX-License-Identifier: GPL-3.0-or-later
// The three fixed text forms in which dates and times are stored and shown,
// and the way back. They sort as text in time order, which the min()/max()
// statements over date-time columns rely on.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace tarnwick {

// yyyy-MM-dd
QString DateText(const QDate& date);
// HH:mm:ss, 24 hours
QString TimeText(const QTime& time);
// DateText + ' ' + TimeText; only DateText at exactly midnight.
QString DateTimeText(const QDateTime& at);

// The moment in ISO 8601 with the offset from UTC in force then
// ("2026-12-11T08:36:54+01:00"), for documents read by other programs,
// which cannot know the zone a stored local text was meant in. Empty for an
// invalid moment and for day 0 (an empty column).
QString IsoDateTimeText(const QDateTime& at);
// The same for a stored text (DateTimeText's forms); empty for any other
// text ("Manually", "").
QString IsoDateTimeText(const QString& storedText);

// Day 0 of the date-time scale, 1899-12-30 00:00:00 local: what an empty
// date-time column reads as.
QDateTime ZeroDateTime();
bool IsZeroDateTime(const QDateTime& at);

// Accepts exactly the three forms above; a TimeText alone is that time on
// day 0. Anything else gives nullopt.
std::optional<QDateTime> ParseDateTimeText(const QString& text);

// As ParseDateTimeText, but a text that is not a date-time raises a
// StoreError naming it (the conversion error of the store).
QDateTime DateTimeFromText(const QString& text);

} // namespace tarnwick
