// SPDX-License-Identifier: GPL-3.0-or-later
// The group subcommands, with the group dialog's check of the name.
// Removing a group leaves its tasks where they are; the window then shows
// them under All Tasks only, as after a removal in the window.
#include "cli/GroupCommand.h"

#include "cli/ArgumentReader.h"
#include "store/Identifiers.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"
#include "store/TaskChecks.h"
#include "store/TaskWriter.h"

namespace tarnwick::cli {

namespace {

void CheckName(const QString& command, const QString& name)
{
    if (const std::optional<QString> refusal = CheckGroupName(name))
        throw UsageError(QStringLiteral("%1: %2").arg(command, *refusal));
}

void ExpectWords(const QString& command, const QStringList& words, qsizetype count,
                 const QString& what)
{
    if (words.size() != count)
        throw UsageError(
            QStringLiteral("%1: expected %2 (see tarnwick-cli group --help)").arg(command, what));
}

} // namespace

QString GroupCommand::summary() const
{
    return QStringLiteral("add, rename or remove a task group");
}

QString GroupCommand::help() const
{
    return QStringLiteral(
        "Usage: tarnwick-cli group add NAME\n"
        "       tarnwick-cli group rename GROUP NAME\n"
        "       tarnwick-cli group remove GROUP\n"
        "\n"
        "GROUP is a group ID, or a group name when no ID matches. 'add' prints the new\n"
        "group's ID. A name has 1 to 30 characters. Removing a group keeps its tasks;\n"
        "they are then shown under All Tasks only. After a change the running window\n"
        "or daemon reads the tasks anew.\n"
        "\n"
        "Exit status: 0 done, 1 the database failed, 2 bad input.\n");
}

int GroupCommand::run(const QStringList& args)
{
    if (args.isEmpty())
        throw UsageError(QStringLiteral(
            "group: expected add, rename or remove (see tarnwick-cli group --help)"));
    const QString sub = args.first();
    const QString command = QStringLiteral("group ") + sub;
    if (sub == u"add") {
        const QStringList words = ArgumentReader::plainWords(command, args.mid(1));
        ExpectWords(command, words, 1, QStringLiteral("one group name"));
        CheckName(command, words.first());
        TaskDatabase db;
        OpenTaskDatabase(db);
        const QString groupId = NewGroupID(db, m_clock);
        AddTaskGroup(db, groupId, words.first());
        Print(stdout, groupId + u'\n');
    } else if (sub == u"rename") {
        const QStringList words = ArgumentReader::plainWords(command, args.mid(1));
        ExpectWords(command, words, 2, QStringLiteral("a group and its new name"));
        CheckName(command, words.at(1));
        TaskDatabase db;
        OpenTaskDatabase(db);
        const QString groupId = ResolveGroupId(db, words.first(), command);
        if (groupId == QLatin1StringView(kAllTaskGroupID))
            throw UsageError(QStringLiteral("%1: All Tasks is no group of its own").arg(command));
        RenameTaskGroup(db, groupId, words.at(1));
    } else if (sub == u"remove") {
        const QStringList words = ArgumentReader::plainWords(command, args.mid(1));
        ExpectWords(command, words, 1, QStringLiteral("one group ID or name"));
        TaskDatabase db;
        OpenTaskDatabase(db);
        const QString groupId = ResolveGroupId(db, words.first(), command);
        if (groupId == QLatin1StringView(kAllTaskGroupID))
            throw UsageError(QStringLiteral("%1: All Tasks is no group of its own").arg(command));
        DeleteTaskGroup(db, groupId);
    } else {
        throw UsageError(
            QStringLiteral("group: unknown subcommand '%1' (see tarnwick-cli group --help)")
                .arg(sub));
    }
    NotifyRunningInstance();
    return kExitOk;
}

} // namespace tarnwick::cli
