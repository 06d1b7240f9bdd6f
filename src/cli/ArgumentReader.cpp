// SPDX-License-Identifier: GPL-3.0-or-later
// Reads one argument at a time; see ArgumentReader.h.
#include "cli/ArgumentReader.h"

#include "cli/CliCommand.h"

#include <utility>

namespace tarnwick::cli {

ArgumentReader::ArgumentReader(QString command, QStringList args)
    : m_command(std::move(command)), m_args(std::move(args))
{
}

bool ArgumentReader::next()
{
    m_isOption = false;
    m_hasInlineValue = false;
    m_option.clear();
    m_word.clear();
    m_inlineValue.clear();
    while (m_next < m_args.size()) {
        const QString arg = m_args.at(m_next++);
        if (!m_plainOnly && arg == u"--") {
            m_plainOnly = true;
            continue;
        }
        if (!m_plainOnly && arg.size() > 1 && arg.startsWith(u'-')) {
            m_isOption = true;
            const qsizetype equals = arg.indexOf(u'=');
            if (arg.startsWith(QLatin1StringView("--")) && equals > 2) {
                m_option = arg.left(equals);
                m_inlineValue = arg.mid(equals + 1);
                m_hasInlineValue = true;
            } else {
                m_option = arg;
            }
            return true;
        }
        m_word = arg;
        return true;
    }
    return false;
}

QString ArgumentReader::value()
{
    if (m_hasInlineValue)
        return m_inlineValue;
    if (m_next >= m_args.size())
        throw UsageError(QStringLiteral("%1: option '%2' needs a value").arg(m_command, m_option));
    return m_args.at(m_next++);
}

void ArgumentReader::noValue() const
{
    if (m_hasInlineValue)
        throw UsageError(QStringLiteral("%1: option '%2' takes no value").arg(m_command, m_option));
}

void ArgumentReader::refuse() const
{
    if (m_isOption)
        throw UsageError(QStringLiteral("%1: unknown option '%2' (see tarnwick-cli %3 --help)")
                             .arg(m_command, m_option, m_command.section(u' ', 0, 0)));
    throw UsageError(QStringLiteral("%1: unexpected argument '%2' (see tarnwick-cli %3 --help)")
                         .arg(m_command, m_word, m_command.section(u' ', 0, 0)));
}

QStringList ArgumentReader::plainWords(const QString& command, const QStringList& args)
{
    ArgumentReader reader(command, args);
    QStringList words;
    while (reader.next()) {
        if (reader.isOption())
            reader.refuse();
        words << reader.word();
    }
    return words;
}

} // namespace tarnwick::cli
