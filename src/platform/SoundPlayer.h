// SPDX-License-Identifier: GPL-3.0-or-later
// Plays a sound file (.wav, .mid) through SDL2_mixer. The end-of-run sound
// plays to its end before returning; the options dialog starts playback and
// returns at once. A file that cannot be played gives SDL's message.
#pragma once

#include <QString>

namespace tarnwick {

class SoundPlayer
{
public:
    // Plays the whole file, then returns. Empty on success, else why not.
    static QString playToEnd(const QString& file);
    // Starts playback and returns; stop() ends it.
    static QString start(const QString& file);
    static void stop();
};

} // namespace tarnwick
