// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli run TASK`: one run of a task on the calling thread, its lines
// on stdout and, as the settings switch them on, in the log file.
#pragma once

#include "cli/CliCommand.h"

namespace tarnwick::cli {

class RunCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("run"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;
};

} // namespace tarnwick::cli
