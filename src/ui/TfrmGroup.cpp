// Group dialog.
#include "ui/TfrmGroup.h"

#include "store/TaskChecks.h"
#include "store/TaskWriter.h"
#include "ui/Captions.h"
#include "ui/Desktop.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <exception>

namespace tarnwick::ui {

TfrmGroup::TfrmGroup(Desktop& desktop, TaskDatabase& db, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_db(db)
{
    captioned(this, "frmGroup", "Task Group Property");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = named(new QLineEdit(this), "edtName");
    m_name->setMaxLength(static_cast<int>(limits::kGroupName));
    auto* label = captioned(new QLabel(this), "lblName", "Group &Name");
    label->setBuddy(m_name);
    form->addRow(label, m_name);
    layout->addLayout(form);
    m_groupId = new QLabel(this);
    m_groupId->setObjectName(QStringLiteral("lblTaskGroupID"));
    m_groupId->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmGroup::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(280, 100)));
    setMode(Mode::NewGroup);
}

void TfrmGroup::setMode(Mode mode)
{
    m_mode = mode;
    if (mode == Mode::NewGroup)
        m_name->setText(QStringLiteral("New Group"));
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
    if (const std::optional<QString> refusal = CheckGroupName(m_name->text())) {
        m_desktop.information(this, *refusal);
        return;
    }
    try {
        if (m_mode == Mode::Rename)
            renameTaskGroup(m_db, groupId(), groupName());
        else
            addTaskGroup(m_db, groupId(), groupName());
    } catch (const std::exception& e) {
        m_desktop.error(this, QString::fromUtf8(e.what()));
        return;
    }
    QDialog::accept();
}

} // namespace tarnwick::ui
