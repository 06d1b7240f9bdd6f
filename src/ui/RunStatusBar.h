// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's status bar: how many tasks the list shows and how many
// run, a panel for hints and problems, and at the right how far the
// selected task's run has come (its counters, the file being copied and a
// bar for a large file). Kept apart from the window so the window only
// hands it numbers and texts; it never reads the coordinator itself.
#pragma once

#include "engine/RunProgress.h"

#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace tarnwick::ui {

class ElidedLabel;
class ProgressTexts;

class RunStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    // A bar for the file being copied shows when the file is larger than
    // this: a smaller one is over before a bar would tell much.
    static constexpr quint64 kFileBarAbove = 64ull * 1024 * 1024;

    explicit RunStatusBar(QWidget* parent = nullptr);

    void setTaskCount(int count);
    void setRunningCount(int count);
    // A hint, a problem or what the window is doing, in the third panel.
    void showNote(const QString& text);
    // The counters, the current file and the file bar of `progress`, in
    // `texts`; all hidden without a run (nullptr).
    void showProgress(const RunProgress* progress, const ProgressTexts& texts, bool suspended);
    // The counts again, in the language chosen now.
    void retranslate();

private:
    // -1 until the window tells.
    int m_taskCount = -1;
    int m_runningCount = -1;
    QLabel* m_panels[3] = {nullptr, nullptr, nullptr};
    QLabel* m_runCounters = nullptr;
    ElidedLabel* m_runFile = nullptr;
    QProgressBar* m_fileBar = nullptr;
};

} // namespace tarnwick::ui
