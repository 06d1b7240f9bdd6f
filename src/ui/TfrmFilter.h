// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog in which one exclude rule is made: a wildcard list, one file,
// a size, a file time window or a set of attributes. It touches no
// database: on OK it checks the rule with the store's checks, and closes
// only when the rule passes; the task editor then takes rule() and
// description() into its rule list.
#pragma once

#include "ui/Language.h"

#include "store/ExcludeRule.h"

#include <QDialog>

#include <memory>

namespace tarnwick::ui {

class Desktop;

class TfrmFilter : public QDialog
{
    Q_OBJECT

public:
    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

    explicit TfrmFilter(Desktop& desktop, QWidget* parent = nullptr);
    ~TfrmFilter() override;

    // The rule the controls describe now (after accept: the rule to add).
    ExcludeRule rule() const;
    // Its description in the filter editor's words (DescribeEditorRule).
    QString description() const;

    // OK: checks the rule; on a refusal shows its message and stays open.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Controls;
    void updatePeriod();
    void addTypedWildcard();
    void copyPredefinedWildcard();
    Desktop& m_desktop;
    std::unique_ptr<Controls> m_c;
};

} // namespace tarnwick::ui
