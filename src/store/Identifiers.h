// SPDX-License-Identifier: GPL-3.0-or-later
// Task and group identifiers: decimal texts from one draw of the seeded
// generator. The generator is reseeded from the clock before each draw, so
// the same second always gives the same number; the New* functions step on
// to the next free value when that number is already stored.
#pragma once

#include <QString>

namespace tarnwick {

class Clock;
class TaskDatabase;

inline constexpr quint32 kTaskIDModulus = 65535;
inline constexpr quint32 kGroupIDModulus = 999999999;

// The number drawn (0..2147483647) right after seeding with `seconds`.
quint32 SeededDraw(qint64 seconds);

// The identifier the clock's current second gives, unchecked.
QString DrawnTaskID(const Clock& clock);
QString DrawnGroupID(const Clock& clock);

// The drawn identifier, or the next value (plus 1, modulo the modulus)
// that no stored task or group carries. Raises StoreError when every value
// is taken or the database fails.
QString NewTaskID(TaskDatabase& db, const Clock& clock);
QString NewGroupID(TaskDatabase& db, const Clock& clock);

} // namespace tarnwick
