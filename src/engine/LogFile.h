// SPDX-License-Identifier: GPL-3.0-or-later
// The run log on disk: program folder + "Log/" + the file name from the
// settings. The file is opened for each line or batch of lines and closed
// again, never held open. A write that fails never stops a run, but it is
// never silent either: one object serves one run, remembers the loss, says
// so once through problem(), and writes nothing after it, so the log never
// shows a run's later lines (its success line above all) without the ones
// that were lost. Only a plain file name is taken: the name comes from a
// settings file anyone can edit, and "../Tarnwick.dat" would otherwise
// append lines to the task database.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarnwick {

// The log's line end, as the log has always been written.
inline constexpr char kLogLineEnd[] = "\r\n";

class LogFile
{
public:
    // `fileName` is the LogFileName value. An empty name means no log file:
    // nothing is written, and nothing is lost. A name that is not a plain
    // file name is refused: path() is empty and the first line to write is
    // lost.
    explicit LogFile(const QString& fileName);

    // True for a name that stays inside the Log folder: not empty, not "."
    // or "..", without '/' or NUL.
    static bool isPlainFileName(const QString& name);

    const QString& path() const { return m_path; }

    // Appends the line and a line end at once.
    bool append(const QString& line);

    // Collects lines to be appended together by flush().
    void add(const QString& line);
    qsizetype pendingBytes() const { return m_pending.size(); }
    // Appends what add() collected; false when the file could not be written
    // (the lines are dropped either way).
    bool flush();

    // Whether a line was lost; from then on nothing more is written.
    bool lost() const { return !m_problem.isEmpty(); }
    // What was lost and why, the first time it is asked after the loss;
    // empty otherwise.
    QString takeProblem();

private:
    bool write(const QByteArray& bytes);
    // The reason the bytes could not be written, empty when they were.
    QString writeTo(const QByteArray& bytes);

    QString m_fileName;
    QString m_path;
    QByteArray m_pending;
    QString m_problem;
    bool m_problemTaken = false;
};

} // namespace tarnwick
