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
    explicit StoreError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

} // namespace tarnwick
