// SPDX-License-Identifier: GPL-3.0-or-later
// The window that tries exclude rules on any folder without copying: every
// file below the folder on the left, the same files on the right with the
// excluded ones left blank. The rules are the task editor's as they stand,
// saved or not. The walk runs on a TFilterTestThread; the window only shows
// what it hands over, and closing the window stops its test.
#pragma once

#include "store/ExcludeRule.h"

#include <QDialog>

#include <QList>
#include <QThread>

#include <memory>
#include <span>

namespace tarnwick::ui {

class Desktop;
struct LanguageRow;

class TfrmFilterTest : public QDialog
{
    Q_OBJECT

public:
    TfrmFilterTest(Desktop& desktop, QList<ExcludeRule> rules, QWidget* parent = nullptr);
    ~TfrmFilterTest() override;

    void spbtnSourceClick();
    void spbtnFilterClick();
    void spbtnStopClick();
    // Whether a test is running now.
    bool testing() const;
    // The running test's thread, null when none runs; it frees itself.
    QThread* currentTest() const;

    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

signals:
    // A test has ended, run through or stopped.
    void testFinished();

protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Controls;
    Desktop& m_desktop;
    QList<ExcludeRule> m_rules;
    std::unique_ptr<Controls> m_c;
};

} // namespace tarnwick::ui
