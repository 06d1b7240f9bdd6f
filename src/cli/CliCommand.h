// One command of tarnwick-cli. Each command is a class of its own; main()
// only picks the command by name and reports what it throws.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <stdexcept>

namespace tarnwick::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Bad input: a one-line message on stderr and exit status 2.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class CliCommand
{
public:
    virtual ~CliCommand() = default;
    virtual QString name() const = 0;
    // One line for the command list.
    virtual QString summary() const = 0;
    // The whole text of `tarnwick-cli NAME --help`.
    virtual QString help() const = 0;
    // Runs with the arguments after the command name (--help already
    // handled). Returns the exit status; throws UsageError for bad input.
    virtual int run(const QStringList& args) = 0;
};

// Writes text as UTF-8 (file names that are not UTF-8 arrive here already
// made displayable).
void Print(std::FILE* stream, const QString& text);

// Refuses any argument: for commands that take none.
void ExpectNoArguments(const QString& command, const QStringList& args);

} // namespace tarnwick::cli
