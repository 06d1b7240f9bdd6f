// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli daemon`: the scheduler and change monitor without the window.
#pragma once

#include "cli/CliCommand.h"

namespace tarnwick::cli {

class DaemonCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("daemon"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;
};

} // namespace tarnwick::cli
