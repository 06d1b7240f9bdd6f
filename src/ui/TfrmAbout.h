// SPDX-License-Identifier: GPL-3.0-or-later
// The About box: the product picture, the version, and the home page and
// support addresses as links the desktop opens.
#pragma once

#include "ui/Language.h"

#include <QDialog>

namespace tarnwick::ui {

class Desktop;

class TfrmAbout : public QDialog
{
    Q_OBJECT

public:
    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

    explicit TfrmAbout(Desktop& desktop, QWidget* parent = nullptr);
};

// The two address labels, shared with the splash: underlined, blue, and
// opened by the desktop when clicked.
QWidget* MakeAddressLabels(Desktop& desktop, QWidget* parent);

// "Version 0.1.0 (build 1a2b3c4)": the project's version and the build's
// `git describe`, the same as `tarnwick --version` and
// `tarnwick-cli --version` print.
QString VersionText();

} // namespace tarnwick::ui
