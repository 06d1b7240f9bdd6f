// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli import FILE`: adds the groups and tasks of a JSON document
// written by `tarnwick-cli export`.
#pragma once

#include "cli/CliCommand.h"
#include "platform/Clock.h"

namespace tarnwick::cli {

class ImportCommand : public CliCommand
{
public:
    explicit ImportCommand(const Clock& clock = Clock::system()) : m_clock(clock) {}

    QString name() const override { return QStringLiteral("import"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;

private:
    const Clock& m_clock;
};

} // namespace tarnwick::cli
