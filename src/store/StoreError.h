// SPDX-License-Identifier: GPL-3.0-or-later
// The error every store operation raises: the database engine's message, a
// date text that is not one, a column a result does not have. It ends the
// operation in progress; callers decide where to report it.
#pragma once

#include <QString>

#include <stdexcept>

namespace tarnwick {

class StoreError : public std::runtime_error
{
public:
    // Why a task database could not be opened, for callers that add advice
    // of their own (the command line tells how to make a missing one).
    enum class Kind
    {
        Other,
        NoDatabaseFile,   // nothing at the path
        NotATaskDatabase, // a file, but not a task database (or a wrong key)
        ReadOnly,         // a task database that cannot be changed
        Busy,             // another connection kept the database locked too long
    };

    explicit StoreError(const QString& message, Kind kind = Kind::Other)
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind)
    {
    }
    const QString& message() const { return m_message; }
    Kind kind() const { return m_kind; }

private:
    QString m_message;
    Kind m_kind;
};

} // namespace tarnwick
