// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog in which one schedule entry is made or changed: every N
// minutes, hours or days, on week days, on a day of the month, or once,
// each with an optional start time. It touches no database: on OK it checks
// the entry with the store's checks against the desktop's clock and closes
// only when the entry passes; the task editor then takes entry() and
// description() into its schedule list.
#pragma once

#include "ui/Language.h"

#include "store/ScheduleEntry.h"

#include <QDialog>

#include <memory>

namespace tarnwick::ui {

class Desktop;

class TfrmTaskSchedule : public QDialog
{
    Q_OBJECT

public:
    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

    explicit TfrmTaskSchedule(Desktop& desktop, QWidget* parent = nullptr);
    ~TfrmTaskSchedule() override;

    // Edit mode: shows a stored or listed entry.
    void LoadEntry(const ScheduleEntry& entry);
    // The entry the controls describe now.
    ScheduleEntry entry() const;
    // The strip's text (DescribeEditorEntry of entry(), or the opening text
    // until the first change).
    QString description() const;

    // OK: checks the entry; on a refusal shows its message and stays open.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Controls;
    // The strip describes the controls' entry from now on.
    void describe();
    Desktop& m_desktop;
    std::unique_ptr<Controls> m_c;
};

} // namespace tarnwick::ui
