// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog that names a task group, for a new group or a rename. It
// stores the name itself and closes with OK only once the store has taken
// it, so the window changes its tree only for a group that is really
// stored; a store failure is shown and the dialog stays open.
#pragma once

#include "ui/Language.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace tarnwick {
class TaskDatabase;
}

namespace tarnwick::ui {

class Desktop;

class TfrmGroup : public QDialog
{
    Q_OBJECT

public:
    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

    enum class Mode
    {
        NewGroup,
        Rename
    };

    TfrmGroup(Desktop& desktop, TaskDatabase& db, QWidget* parent = nullptr);

    // New group puts "New Group" in the name box; set before showing.
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    void setGroupId(const QString& groupId);
    void setGroupName(const QString& name);
    // The identifier without surrounding blanks, as it is stored.
    QString groupId() const;
    // The name as typed (and as stored).
    QString groupName() const;

    // OK: refuses an empty name, then stores; closes only when stored.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Desktop& m_desktop;
    TaskDatabase& m_db;
    Mode m_mode = Mode::NewGroup;
    QLineEdit* m_name = nullptr;
    QLabel* m_groupId = nullptr;
};

} // namespace tarnwick::ui
