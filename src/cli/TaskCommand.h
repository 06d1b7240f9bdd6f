// SPDX-License-Identifier: GPL-3.0-or-later
// `tarnwick-cli task add|show|edit|remove`: tasks made, read, changed and
// removed without the window, through the same core save and checks as the
// window's task editor.
#pragma once

#include "cli/CliCommand.h"
#include "platform/Clock.h"

namespace tarnwick::cli {

class TaskCommand : public CliCommand
{
public:
    explicit TaskCommand(const Clock& clock = Clock::system()) : m_clock(clock) {}

    QString name() const override { return QStringLiteral("task"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList& args) override;

private:
    int add(const QStringList& args);
    int show(const QStringList& args);
    int edit(const QStringList& args);
    int remove(const QStringList& args);

    const Clock& m_clock;
};

} // namespace tarnwick::cli
