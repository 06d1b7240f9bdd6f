// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's status bar.
#include "ui/RunStatusBar.h"

#include "ui/ElidedLabel.h"
#include "ui/ProgressTexts.h"
#include "ui/StatusPanel.h"
#include "ui/TfrmMainTexts.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <initializer_list>

namespace tarnwick::ui {

RunStatusBar::RunStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    // As a main window makes its own: the bar is as wide as the window, and
    // what it shows never widens the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    const int widths[] = {100, 150, 50};
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new StatusPanel(
            widths[i], i == 2 ? StatusPanel::Shrink::Away : StatusPanel::Shrink::ToText, this);
        m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        addWidget(m_panels[i], i == 2 ? 1 : 0);
    }
    // The selected task's run, at the right, out of the way of the hints.
    // The labels are read by their texts; their descriptions say what the
    // texts are.
    m_runCounters = new QLabel(this);
    m_runCounters->setObjectName(QStringLiteral("lblRunProgress"));
    m_runCounters->setAccessibleDescription(QStringLiteral("Progress of the selected task's run"));
    // The counters stay whole; the file's path gives way when room is short.
    m_runFile = new ElidedLabel(this);
    m_runFile->setObjectName(QStringLiteral("lblRunFile"));
    m_runFile->setAccessibleDescription(QStringLiteral("The file the selected task's run copies"));
    m_fileBar = new QProgressBar(this);
    m_fileBar->setObjectName(QStringLiteral("prgRunFile"));
    m_fileBar->setAccessibleName(QStringLiteral("Copy of the current file"));
    m_fileBar->setRange(0, 1000);
    m_fileBar->setFixedWidth(120);
    m_fileBar->setMaximumHeight(m_runCounters->sizeHint().height());
    for (QWidget* part : std::initializer_list<QWidget*>{m_runCounters, m_runFile, m_fileBar}) {
        addPermanentWidget(part, part == m_runFile ? 1 : 0);
        part->hide();
    }
}

void RunStatusBar::setTaskCount(int count)
{
    m_taskCount = count;
    m_panels[0]->setText(ShownText(kTaskCount).arg(count));
}

void RunStatusBar::setRunningCount(int count)
{
    m_runningCount = count;
    m_panels[1]->setText(ShownText(kRunningCount).arg(count));
}

void RunStatusBar::showNote(const QString& text)
{
    m_panels[2]->setText(text);
}

void RunStatusBar::retranslate()
{
    if (m_taskCount >= 0)
        setTaskCount(m_taskCount);
    if (m_runningCount >= 0)
        setRunningCount(m_runningCount);
}

void RunStatusBar::showProgress(const RunProgress* progress, const ProgressTexts& texts,
                                bool suspended)
{
    if (!progress) {
        m_runCounters->hide();
        m_runFile->hide();
        m_fileBar->hide();
        return;
    }
    m_runCounters->setText(texts.counters(*progress, suspended));
    // Never cut: the bar takes room from the hint panel and the path first.
    m_runCounters->setMinimumWidth(m_runCounters->sizeHint().width());
    m_runCounters->show();
    m_runFile->setFullText(texts.current(*progress));
    // Kept in place between copies, so the counters do not jump sideways.
    m_runFile->show();
    const bool big = progress->currentSize > kFileBarAbove;
    if (big)
        m_fileBar->setValue(
            static_cast<int>(std::min<quint64>(progress->currentDone, progress->currentSize) *
                             1000 / progress->currentSize));
    m_fileBar->setVisible(big);
}

} // namespace tarnwick::ui
