// Byte paths made into text for lines and messages: valid UTF-8 stays as it
// is, each byte that is not part of valid UTF-8 (and a NUL) is shown as "\xNN".
#pragma once

#include <QByteArray>
#include <QString>

namespace tarnwick {

QString DisplayPath(const QByteArray& path);
QString DisplayPath(const char* data, qsizetype size);

} // namespace tarnwick
