// The run log on disk: program folder + "Log/" + the file name from the
// settings. The file is opened for each line or batch of lines and closed
// again, never held open; one that cannot be written is passed over in
// silence, so a full disk or a missing Log folder never stops a run.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarnwick {

class LogFile
{
public:
    // `fileName` is the LogFileName value.
    explicit LogFile(const QString& fileName);

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
