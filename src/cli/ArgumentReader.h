// SPDX-License-Identifier: GPL-3.0-or-later
// GNU-style reading of a command's arguments, in order: `--name value`,
// `--name=value`, plain words, and `--` after which every word is plain.
// Order matters to some commands (an `--at` belongs to the schedule option
// before it), so the arguments are read one at a time rather than parsed
// into a table.
#pragma once

#include <QString>
#include <QStringList>

namespace tarnwick::cli {

class ArgumentReader
{
public:
    // `command` names the command in messages ("task add").
    ArgumentReader(QString command, QStringList args);

    // Moves to the next argument; false when none is left.
    bool next();
    // The current argument is an option; option() is then its name with
    // the dashes ("--target"), else word() is the plain word.
    bool isOption() const { return m_isOption; }
    const QString& option() const { return m_option; }
    const QString& word() const { return m_word; }

    // The value of the current option: the text after '=' or the next
    // argument. Raises UsageError when there is none.
    QString value();
    // For an option that takes no value: refuses `--flag=x`.
    void noValue() const;
    // Raises UsageError naming the current argument as unknown.
    [[noreturn]] void refuse() const;

    const QString& command() const { return m_command; }

    // The plain words of a command that takes no options; any option is
    // refused.
    static QStringList plainWords(const QString& command, const QStringList& args);

private:
    QString m_command;
    QStringList m_args;
    qsizetype m_next = 0;
    bool m_plainOnly = false;
    bool m_isOption = false;
    QString m_option;
    QString m_word;
    QString m_inlineValue;
    bool m_hasInlineValue = false;
};

} // namespace tarnwick::cli
