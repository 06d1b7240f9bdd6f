// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli init`: makes an empty task database and the Log/ folder.
#pragma once

#include "cli/CliCommand.h"

namespace tarnwick::cli {

class InitCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("init"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;
    bool needsDataFolder() const override { return false; }
};

} // namespace tarnwick::cli
