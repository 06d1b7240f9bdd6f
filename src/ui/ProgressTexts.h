// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of a run's progress in the main window, in the chosen
// language: the running task's Last Result cell and the status bar's
// counters, current file and rate. Byte amounts as the run history shows
// them ("56.7 MB").
#pragma once

#include "engine/RunProgress.h"
#include "ui/Captions.h"

#include <QString>

#include <span>

namespace tarnwick::ui {

class ProgressTexts
{
public:
    // The section of the language files that holds them.
    static constexpr char kSection[] = "RunProgress";
    // Every entry of that section, with its English text.
    static std::span<const UiText> entries();

    // The built-in English texts.
    ProgressTexts();
    // The texts of `language`; English where its file lacks one.
    static ProgressTexts load(const QString& language);

    // "Running: 1234 files, 56.7 MB"
    QString row(const RunProgress& progress) const;
    // "1234 files copied (56.7 MB), 5000 files looked at, 12.3 MB/s";
    // without the rate while it is unknown or the run is suspended.
    QString counters(const RunProgress& progress, bool suspended) const;
    // "Copying: <path>", or empty between copies.
    QString current(const RunProgress& progress) const;

private:
    QString m_row, m_counters, m_rate, m_suspended, m_current;
};

} // namespace tarnwick::ui
