// The find dialog is kept by its owner and shown again for each Find, so the
// last search text is still there.
#include "ui/TFindDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarnwick::ui {

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindDlg"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);

    m_lblFind = new QLabel(QStringLiteral("Fi&nd what:"), this);
    m_lblFind->setObjectName(QStringLiteral("lblFind"));
    m_edtFind = new QLineEdit(this);
    m_edtFind->setObjectName(QStringLiteral("edtFind"));
    m_lblFind->setBuddy(m_edtFind);

    m_spbtnFindNext = new QPushButton(QStringLiteral("&Find Next"), this);
    m_spbtnFindNext->setObjectName(QStringLiteral("spbtnFindNext"));
    m_spbtnFindNext->setDefault(true);
    m_spbtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_spbtnCancel->setObjectName(QStringLiteral("spbtnCancel"));

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
