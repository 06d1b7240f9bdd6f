// SPDX-License-Identifier: GPL-3.0-or-later
// The log pane's find dialog: modeless, so the user can keep reading and
// selecting in the log between searches. It shows only what the search
// honours (the text, Find Next, Cancel): the search is always
// case-sensitive and forward, so no Match case, Whole word or direction
// controls pretend otherwise.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick::ui {

class TFindDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TFindDialog(QWidget* parent = nullptr);

    QString findText() const;
    void setFindText(const QString& text);
    // Shows the dialog in front, with its text selected for typing over.
    void present();

signals:
    // Find Next was pressed with a non-empty text.
    void findNextRequested(const QString& text);

private:
    void updateButtons();

    QLabel* m_lblFind = nullptr;
    QLineEdit* m_edtFind = nullptr;
    QPushButton* m_spbtnFindNext = nullptr;
    QPushButton* m_spbtnCancel = nullptr;
};

} // namespace tarnwick::ui
