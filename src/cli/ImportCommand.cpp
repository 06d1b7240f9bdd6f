// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the document, adds everything in one transaction and reports what
// it did; a document it cannot read changes nothing.
#include "cli/ImportCommand.h"

#include "cli/ArgumentReader.h"
#include "store/ScheduleRules.h"
#include "store/TaskDatabase.h"
#include "store/TaskTransfer.h"

#include <QFile>

namespace tarnwick::cli {

QString ImportCommand::summary() const
{
    return QStringLiteral("add the groups and tasks of an exported JSON file");
}

QString ImportCommand::help() const
{
    return QStringLiteral(
        "Usage: tarnwick-cli import FILE\n"
        "\n"
        "Adds every task group and task of FILE (a document written by 'tarnwick-cli\n"
        "export'; '-' reads standard input) to the task database, in one step: a\n"
        "file that cannot be read, or a task the task editor would refuse, changes\n"
        "nothing. Identifiers are kept unless one is already taken; that group or\n"
        "task then gets a new one, and the report says so. Schedule entries get\n"
        "their next run computed as when a task is saved.\n"
        "\n"
        "Exit status: 0 done, 1 the file or the database failed, 2 bad arguments.\n");
}

int ImportCommand::run(const QStringList& args)
{
    const QStringList words = ArgumentReader::plainWords(name(), args);
    if (words.size() != 1)
        throw UsageError(
            QStringLiteral("import: expected one file (see tarnwick-cli import --help)"));
    const QString path = words.first();

    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        throw RefusedError(
            QStringLiteral("import: cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray document = file.readAll();

    TaskDatabase db;
    OpenTaskDatabase(db);
    ImportReport report;
    try {
        report = ImportTasks(db, document, m_clock);
    } catch (const TaskDocumentError& e) {
        throw RefusedError(
            QStringLiteral("import: %1: %2; nothing was imported").arg(path, e.message()));
    }
    Print(stdout, QStringLiteral("Imported %1 groups and %2 tasks from %3.\n")
                      .arg(report.groups)
                      .arg(report.tasks)
                      .arg(path));
    for (const QString& line : std::as_const(report.renamed))
        Print(stdout, line + u'\n');
    NotifyRunningInstance();
    return kExitOk;
}

} // namespace tarnwick::cli
