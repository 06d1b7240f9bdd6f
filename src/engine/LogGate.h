// SPDX-License-Identifier: GPL-3.0-or-later
// Which line kinds a run shows and stores, and in which colour, as the
// runner's settings say. The failure status line follows the start/finish
// switch but takes the error colour.
#pragma once

#include "engine/MirrorTypes.h"
#include "store/Settings.h"

namespace tarnwick {

class LogGate
{
public:
    explicit LogGate(const RunnerSettings& settings) : m_settings(settings) {}

    bool isOn(LogKind kind) const;
    // A colour laid out as 0x00BBGGRR.
    quint32 colour(LogKind kind) const;

private:
    RunnerSettings m_settings;
};

} // namespace tarnwick
