// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ReadToEnd.h"

#include <cerrno>

#include <unistd.h>

namespace tarnwick {

QByteArray ReadToEnd(int fd)
{
    QByteArray text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, got);
    }
    return text;
}

} // namespace tarnwick
