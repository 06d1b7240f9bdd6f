// SPDX-License-Identifier: GPL-3.0-or-later
// A hint is "short | long": the short part is the tooltip, the long part
// goes to the status bar; a hint without a bar is both. The parts are kept
// as written, blanks included.
#pragma once

#include <QString>

namespace tarnwick::ui {

inline QString ShortHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

inline QString LongHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

} // namespace tarnwick::ui
