// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli list`: the groups and tasks of the task database.
#pragma once

#include "cli/CliCommand.h"

namespace tarnwick::cli {

class ListCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("list"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;
};

} // namespace tarnwick::cli
