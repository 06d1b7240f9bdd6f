// SPDX-License-Identifier: GPL-3.0-or-later
// One command of tarnwick-cli. Each command is a class of its own; main()
// only picks the command by name and reports what it throws.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <stdexcept>

namespace tarnwick {
class TaskDatabase;
} // namespace tarnwick

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

// A request that is understood but cannot be carried out now: a message on
// stderr and exit status 1.
class RefusedError : public std::runtime_error
{
public:
    explicit RefusedError(const QString& message) : std::runtime_error(message.toStdString()) {}
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
    // Whether main() lays out an installed program's data folder before
    // run() (store/FirstStart.h). False for a command that makes it itself
    // and reports what it made.
    virtual bool needsDataFolder() const { return true; }
};

// Writes text as UTF-8 (file names that are not UTF-8 arrive here already
// made displayable).
void Print(std::FILE* stream, const QString& text);

// Refuses any argument: for commands that take none.
void ExpectNoArguments(const QString& command, const QStringList& args);

// The task ID for an ID or, when no ID matches, a unique task name. Raises
// UsageError for no match or a name several tasks carry.
QString ResolveTaskId(TaskDatabase& db, const QString& wanted, const QString& command);
// The group ID for an ID or, when no ID matches, a unique group name;
// "AllTask" (no group) stays itself.
QString ResolveGroupId(TaskDatabase& db, const QString& wanted, const QString& command);

// Raises RefusedError when the running instance (window or daemon) lists
// the task as running: a running task is neither edited nor removed.
void RefuseWhileRunning(const QString& taskId, const QString& taskName, const QString& command);

// After a change to tasks or groups: asks the running instance of this
// program folder, if it has announced itself, to read the tasks anew
// (SIGHUP). A lock held by any other process is left alone.
void NotifyRunningInstance();

} // namespace tarnwick::cli
