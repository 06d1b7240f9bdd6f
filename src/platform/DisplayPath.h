// SPDX-License-Identifier: GPL-3.0-or-later
// Byte paths made into text for lines and messages: valid UTF-8 stays as it
// is, each byte that is not part of valid UTF-8 is shown as "\xNN", and so
// is each control character. A file name may hold a line break or an
// escape: shown as it is, it would write a line of its own into the log (a
// forged summary) or steer the terminal.
#pragma once

#include <QByteArray>
#include <QString>

namespace tarnwick {

QString DisplayPath(const QByteArray& path);
QString DisplayPath(const char* data, qsizetype size);
// The same text appended to `text`: a line built in a kept buffer needs no
// allocation for its path.
void AppendDisplayPath(QString& text, const char* data, qsizetype size);

// A stored text (a task's name, a path typed long ago) shown by the same
// rule: its control characters as "\xNN". The checks keep them out of new
// values; a database written before may still hold some.
QString DisplayText(const QString& text);

// The file-name bytes of a stored path text, or why the text names no
// file: it is empty, it holds a NUL (the system would read only the part
// before it, a different folder), or it holds characters that have no
// file-name bytes. Returns 0 or the errno value.
int PathBytes(const QString& text, QByteArray& bytes);

} // namespace tarnwick
