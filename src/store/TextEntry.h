// SPDX-License-Identifier: GPL-3.0-or-later
// A text the program shows, as the core declares it: the key a language
// file knows it by and its English text. The core describes rules and
// schedules in words it is handed a way to look up; the command line takes
// the English ones, the windows those of the chosen language.
#pragma once

#include <QString>

#include <functional>

namespace tarnwick {

struct TextEntry
{
    const char* key;
    const char* english;
};

// Gives the text to show for an entry.
using TextLookup = std::function<QString(const TextEntry&)>;

inline QString EnglishText(const TextEntry& entry)
{
    return QString::fromUtf8(entry.english);
}

} // namespace tarnwick
