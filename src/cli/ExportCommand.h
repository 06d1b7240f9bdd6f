// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli export [FILE]`: every group and task as a JSON document.
#pragma once

#include "cli/CliCommand.h"

namespace tarnwick::cli {

class ExportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("export"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;
};

} // namespace tarnwick::cli
