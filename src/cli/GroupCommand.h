// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli group add|rename|remove`: the task groups of the window's
// tree, without the window.
#pragma once

#include "cli/CliCommand.h"
#include "platform/Clock.h"

namespace tarnwick::cli {

class GroupCommand : public CliCommand
{
public:
    explicit GroupCommand(const Clock& clock = Clock::system()) : m_clock(clock) {}

    QString name() const override { return QStringLiteral("group"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;

private:
    const Clock& m_clock;
};

} // namespace tarnwick::cli
