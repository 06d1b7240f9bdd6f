// Byte paths made into text for lines and messages: valid UTF-8 stays as it
// is, each byte that is not part of valid UTF-8 (and a NUL) is shown as "\xNN".
#pragma once

#include <QByteArray>
#include <QString>

namespace tarnwick {

QString DisplayPath(const QByteArray& path);
QString DisplayPath(const char* data, qsizetype size);
// The same text appended to `text`: a line built in a kept buffer needs no
// allocation for its path.
void AppendDisplayPath(QString& text, const char* data, qsizetype size);

} // namespace tarnwick
