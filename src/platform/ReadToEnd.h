// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a small file whole through its descriptor: the kernel's tables
// (/proc) report no size, so they are read until the end, whatever comes.
#pragma once

#include <QByteArray>

namespace tarnwick {

// Everything left to read from `fd`, up to an error or the end; an
// interrupted read is tried again.
QByteArray ReadToEnd(int fd);

} // namespace tarnwick
