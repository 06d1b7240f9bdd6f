// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli history`: the kept runs of one task or of every task.
#pragma once

#include "cli/CliCommand.h"

namespace tarnwick::cli {

class HistoryCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("history"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;
};

} // namespace tarnwick::cli
