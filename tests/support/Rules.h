// SPDX-License-Identifier: GPL-3.0-or-later
// An exclude rule written in one line, for tables of cases.
#pragma once

#include "store/ExcludeRule.h"

#include <QString>

inline tarnwick::ExcludeRule Rule(qint64 type, qint64 stype, qint64 sstype, const QString& value,
                                  const QString& endDate = QString())
{
    tarnwick::ExcludeRule rule;
    rule.type = type;
    rule.stype = stype;
    rule.sstype = sstype;
    rule.value = value;
    rule.endDate = endDate;
    return rule;
}
