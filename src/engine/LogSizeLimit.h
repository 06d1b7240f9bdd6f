// SPDX-License-Identifier: GPL-3.0-or-later
// The size limit the log file gets once, when the window starts: a log that
// has grown past MaxLogFileSize kilobytes is emptied and begins again with a
// header line. There is no check while the program runs. The result says
// what happened, so that the window can show a failure and start anyway: a
// log that cannot be reset is no reason to refuse to mirror.
#pragma once

#include <QString>

namespace tarnwick {

class Clock;

struct LogSizeLimitResult
{
    enum class Outcome
    {
        Nothing,     // no limit, no log file, or not over the limit
        Reset,       // emptied; now holds the header line alone
        RefusedName, // LogFileName is not a plain file name
        Failed,      // the file could not be checked or reset
    };
    Outcome outcome = Outcome::Nothing;
    // For RefusedName and Failed: a text for the user that names the file
    // and, for Failed, the system's reason.
    QString message;
};

// The first line of a log after a reset, without its line end.
QString LogHeaderLine(const Clock& clock);

// `logFileName` and `maxLogFileSize` (KB) are the settings' values. 0 is no
// limit; so is a negative number, which the options dialog cannot store,
// rather than an emptied log at every start. Only a regular file counts:
// a missing file, a folder or a fifo is left alone. A file whose whole
// kilobytes (size >> 10) exceed the limit is emptied and given the header
// line; a failure part-way empties it again rather than leave half a line,
// and is reported.
LogSizeLimitResult ApplyLogSizeLimit(const QString& logFileName, qint32 maxLogFileSize,
                                     const Clock& clock);

} // namespace tarnwick
