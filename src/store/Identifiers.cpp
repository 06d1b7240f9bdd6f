// SPDX-License-Identifier: GPL-3.0-or-later
// The generator keeps a 64-bit state. Seeding sets the low word to the time
// and then to time * 22695477 + 1; a draw multiplies the state by
// 0x0000015A00004E35, adds 1 and returns the high word without its top bit.
// Existing identifiers were made this way, so the arithmetic must not change.
#include "store/Identifiers.h"

#include "platform/Clock.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

namespace tarnwick {

namespace {

constexpr quint64 kMultiplier = (quint64{0x15A} << 32) | quint64{0x4E35};

QString NextFree(TaskDatabase& db, quint32 drawn, quint32 modulus, const char* countStatement)
{
    TaskQuery query(db);
    quint32 candidate = drawn % modulus;
    for (quint32 tried = 0; tried < modulus; ++tried) {
        const QString id = QString::number(candidate);
        RunQuery(query, FillStatement(countStatement, {id}));
        if (query.integer("Taken") == 0)
            return id;
        candidate = (candidate + 1) % modulus;
    }
    throw StoreError(QStringLiteral("No free identifier is left"));
}

} // namespace

quint32 SeededDraw(qint64 seconds)
{
    const quint32 seed = static_cast<quint32>(seconds) * 22695477u + 1u;
    const quint64 state = quint64{seed} * kMultiplier + 1u;
    return static_cast<quint32>(state >> 32) & 0x7FFFFFFFu;
}

QString DrawnTaskID(const Clock& clock)
{
    return QString::number(SeededDraw(clock.secondsSinceEpoch()) % kTaskIDModulus);
}

QString DrawnGroupID(const Clock& clock)
{
    return QString::number(SeededDraw(clock.secondsSinceEpoch()) % kGroupIDModulus);
}

QString NewTaskID(TaskDatabase& db, const Clock& clock)
{
    return NextFree(db, SeededDraw(clock.secondsSinceEpoch()), kTaskIDModulus, sql::CountTaskID);
}

QString NewGroupID(TaskDatabase& db, const Clock& clock)
{
    return NextFree(db, SeededDraw(clock.secondsSinceEpoch()), kGroupIDModulus, sql::CountGroupID);
}

} // namespace tarnwick
