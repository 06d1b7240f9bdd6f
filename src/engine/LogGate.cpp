// SPDX-License-Identifier: GPL-3.0-or-later
// The kind-to-switch and kind-to-colour table.
#include "engine/LogGate.h"

namespace tarnwick {

bool LogGate::isOn(LogKind kind) const
{
    switch (kind) {
    case LogKind::StartFinish:
    case LogKind::ErrorStatus:
        return m_settings.startFilshMsg;
    case LogKind::Copy:
        return m_settings.copyMsg;
    case LogKind::Skip:
        return m_settings.skipMsg;
    case LogKind::Error:
        return m_settings.errorMsg;
    }
    return false;
}

quint32 LogGate::colour(LogKind kind) const
{
    switch (kind) {
    case LogKind::StartFinish:
        return m_settings.startFilshClr;
    case LogKind::Copy:
        return m_settings.copyClr;
    case LogKind::Skip:
        return m_settings.skipClr;
    case LogKind::Error:
    case LogKind::ErrorStatus:
        return m_settings.errorClr;
    }
    return 0;
}

} // namespace tarnwick
