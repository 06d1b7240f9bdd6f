// SPDX-License-Identifier: GPL-3.0-or-later
// The message of the RegistryError an operation raises, empty when none.
#pragma once

#include "platform/Registry.h"

#include <QString>

#include <functional>

inline QString ErrorOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const tarnwick::RegistryError& error) {
        return error.message();
    }
    return QString();
}
