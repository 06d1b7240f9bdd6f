// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the task document to a file (whole or not at all) or to stdout.
#include "cli/ExportCommand.h"

#include "cli/ArgumentReader.h"
#include "store/TaskDatabase.h"
#include "store/TaskTransfer.h"

#include <QSaveFile>

namespace tarnwick::cli {

QString ExportCommand::summary() const
{
    return QStringLiteral("write every group and task as JSON");
}

QString ExportCommand::help() const
{
    return QStringLiteral(
        "Usage: tarnwick-cli export [FILE]\n"
        "\n"
        "Writes every task group and task (sources, target, start mode, schedule\n"
        "entries, exclude rules; no run times) as one JSON document to FILE, or to\n"
        "standard output when FILE is missing or '-'. The layout is described in\n"
        "doc/task-document.md. 'tarnwick-cli import FILE' reads it back.\n"
        "\n"
        "Exit status: 0 done, 1 the database or the file failed, or a task could not\n"
        "be read (the others are written, and the task is named), 2 bad arguments.\n");
}

int ExportCommand::run(const QStringList& args)
{
    const QStringList words = ArgumentReader::plainWords(name(), args);
    if (words.size() > 1)
        throw UsageError(QStringLiteral("export: expected at most one file"));

    TaskDatabase db;
    OpenTaskDatabase(db, TaskDatabase::OpenFor::Reading);
    QStringList unreadable;
    const QByteArray document = ExportTasks(db, &unreadable);
    for (const QString& text : std::as_const(unreadable))
        Print(stderr, QStringLiteral("tarnwick-cli export: %1\n").arg(text));
    // A backup that lacks a task is no success, though the rest is written.
    const int done = unreadable.isEmpty() ? kExitOk : kExitFailure;

    if (words.isEmpty() || words.first() == u"-") {
        // Whether it all arrived is checked, and told, as the command ends
        // (tarnwick-cli's main).
        std::fwrite(document.constData(), 1, static_cast<std::size_t>(document.size()), stdout);
        return done;
    }
    // A file that is there keeps its old content unless the new one is
    // written whole.
    QSaveFile file(words.first());
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() ||
        !file.commit()) {
        Print(stderr, QStringLiteral("tarnwick-cli export: cannot write %1: %2\n")
                          .arg(words.first(), file.errorString()));
        return kExitFailure;
    }
    return done;
}

} // namespace tarnwick::cli
