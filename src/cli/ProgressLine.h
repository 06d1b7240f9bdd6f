// SPDX-License-Identifier: GPL-3.0-or-later
// The one updating line `tarnwick-cli run --progress` keeps on standard
// error: files and bytes copied of those to copy, the rate, and the file
// being copied. On anything but a terminal it prints nothing, so a log
// captured from stderr never fills with carriage returns.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

namespace tarnwick::cli {

// The line in at most `width` characters: the counters whole, then the path
// with its middle put out ("...") where it does not fit, so that both the
// folder it starts in and the file name stay readable. The counters alone
// are cut on the right only when even they do not fit.
QString ProgressLineText(const QString& counters, const QString& path, int width);

class ProgressLine
{
public:
    // Shown only when `stream` is a terminal.
    explicit ProgressLine(std::FILE* stream);
    bool shown() const { return m_shown; }

    // What the run is expected to copy.
    void setTotals(quint64 files, quint64 bytes);
    // A copy begins or ends. Not locked: the caller serialises all calls.
    void copyStarted(const QString& path);
    void copyEnded(quint64 size);

    // Writes the line anew; clear() takes it away so that a line of the run
    // can be printed in its place. The caller serialises both.
    void draw();
    void clear();

private:
    std::FILE* m_stream;
    bool m_shown;
    bool m_onScreen = false;
    quint64 m_totalFiles = 0;
    quint64 m_totalBytes = 0;
    quint64 m_doneFiles = 0;
    quint64 m_doneBytes = 0;
    QString m_current;
    QElapsedTimer m_elapsed;
};

} // namespace tarnwick::cli
