// The run log on disk: program folder + "Log/" + the file name from the
// settings. The file is opened for each line or batch of lines and closed
// again, never held open; one that cannot be written is passed over in
// silence, so a full disk or a missing Log folder never stops a run. Only a
// plain file name is taken: the name comes from a settings file anyone can
// edit, and "../Tarnwick.dat" would otherwise append lines to the task
// database.
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
    // `fileName` is the LogFileName value. An empty name means no log file,
    // and a name that is not a plain file name is refused: either way
    // nothing is written and path() is empty.
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

private:
    bool write(const QByteArray& bytes);

    QString m_path;
    QByteArray m_pending;
};

} // namespace tarnwick
