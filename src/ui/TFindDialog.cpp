// SPDX-License-Identifier: GPL-3.0-or-later
// The find dialog is kept by its owner and shown again for each Find, so the
// last search text is still there.
#include "ui/TFindDialog.h"

#include "ui/Captions.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarnwick::ui {

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent)
{
    Captioned(this, "FindDlg", "Find");
    setModal(false);

    m_lblFind = Captioned(new QLabel(this), "lblFind", "Fi&nd what:");
    m_edtFind = Named(new QLineEdit(this), "edtFind");
    m_lblFind->setBuddy(m_edtFind);

    m_spbtnFindNext = Captioned(new QPushButton(this), "spbtnFindNext", "&Find Next");
    m_spbtnFindNext->setDefault(true);
    m_spbtnCancel = PlainButton(this, "spbtnCancel", "Cancel");

    auto* row = new QHBoxLayout;
    row->addWidget(m_lblFind);
    row->addWidget(m_edtFind, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_spbtnFindNext);
    buttons->addWidget(m_spbtnCancel);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addLayout(buttons);
    layout->setAlignment(row, Qt::AlignTop);

    connect(m_edtFind, &QLineEdit::textChanged, this, &TFindDialog::updateButtons);
    connect(m_spbtnFindNext, &QPushButton::clicked, this, [this] {
        if (!m_edtFind->text().isEmpty())
            emit findNextRequested(m_edtFind->text());
    });
    connect(m_spbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateButtons();
}

QString TFindDialog::findText() const
{
    return m_edtFind->text();
}

void TFindDialog::setFindText(const QString& text)
{
    m_edtFind->setText(text);
}

void TFindDialog::present()
{
    show();
    raise();
    activateWindow();
    m_edtFind->selectAll();
    m_edtFind->setFocus(Qt::OtherFocusReason);
}

void TFindDialog::updateButtons()
{
    // Nothing to look for: Find Next would do nothing, so it says so.
    m_spbtnFindNext->setEnabled(!m_edtFind->text().isEmpty());
}

} // namespace tarnwick::ui
