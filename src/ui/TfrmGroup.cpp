// SPDX-License-Identifier: GPL-3.0-or-later
// Group dialog.
#include "ui/TfrmGroup.h"

#include "store/TaskChecks.h"
#include "store/TaskWriter.h"
#include "ui/Captions.h"
#include "ui/Language.h"
#include "ui/Desktop.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace tarnwick::ui {

namespace {

// Where the entries of a language file go in this window.
constexpr UiText kNewGroup{"NewGroup", "New Group"};

constexpr LanguageRow kLanguageRows[] = {
    {"frmGroup", "Title", ""},
    {"frmGroup", "lblGroupName.Caption", "lblGroupName"},
    {"Dialog_Common", "btnOK.Caption", "spbtnOK"},
    {"Dialog_Common", "btnCancel.Caption", "spbtnCancel"},
};

} // namespace

TfrmGroup::TfrmGroup(Desktop& desktop, TaskDatabase& db, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_db(db)
{
    Captioned(this, "frmGroup", "Task Group Property");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = Named(new QLineEdit(this), "edtName");
    m_name->setMaxLength(static_cast<int>(limits::kGroupName));
    auto* label = Captioned(new QLabel(this), "lblGroupName", "Group &Name");
    label->setBuddy(m_name);
    form->addRow(label, m_name);
    layout->addLayout(form);
    m_groupId = new QLabel(UnseenHolder(this));
    m_groupId->setObjectName(QStringLiteral("lblTaskGroupID"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    Captioned(buttons->button(QDialogButtonBox::Ok), "spbtnOK", "OK");
    Captioned(buttons->button(QDialogButtonBox::Cancel), "spbtnCancel", "Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmGroup::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Fixed, but as large as the texts of the language need.
    setMinimumWidth(280);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMode(Mode::NewGroup);
}

void TfrmGroup::setMode(Mode mode)
{
    m_mode = mode;
    if (mode == Mode::NewGroup)
        m_name->setText(ShownText(kNewGroup));
    m_name->selectAll();
}

void TfrmGroup::setGroupId(const QString& groupId)
{
    m_groupId->setText(groupId);
}

void TfrmGroup::setGroupName(const QString& name)
{
    m_name->setText(name);
    m_name->selectAll();
}

QString TfrmGroup::groupId() const
{
    return m_groupId->text().trimmed();
}

QString TfrmGroup::groupName() const
{
    return m_name->text();
}

void TfrmGroup::accept()
{
    // A name of blanks is a name; only an empty box is refused.
    if (const std::optional<QString> refusal = CheckGroupName(m_name->text(), ShownText)) {
        m_desktop.information(this, *refusal);
        return;
    }
    try {
        if (m_mode == Mode::Rename)
            RenameTaskGroup(m_db, groupId(), groupName());
        else
            AddTaskGroup(m_db, groupId(), groupName());
    } catch (const std::exception& e) {
        m_desktop.error(this, QString::fromUtf8(e.what()));
        return;
    }
    QDialog::accept();
}

void TfrmGroup::showEvent(QShowEvent* event)
{
    // Texts first, whatever else the showing does.
    ApplyLanguage(this, kLanguageRows, CurrentLanguage());
    // The dialog keeps the size its contents need: a name field as wide as
    // the title lets the frame show the title whole.
    m_name->setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()));
    QDialog::showEvent(event);
}

std::span<const LanguageRow> TfrmGroup::languageRows()
{
    return kLanguageRows;
}

} // namespace tarnwick::ui
