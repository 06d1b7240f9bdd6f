// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog: the nineteen values of the options key on four pages
// (start-up and shutdown, log, event alert, thread priority). It opens with
// whatever the settings file holds, a value it cannot read told once and
// shown at its default, and writes all nineteen in one rewrite on OK. It
// closes only once the settings file has taken them: a refused check or a
// failed write leaves it open with what the user chose, and the file as it
// was. Who uses the values reads them anew at the next occasion; the main
// window applies the tray icon at once.
#pragma once

#include "ui/Language.h"

#include "store/Settings.h"

#include <QColor>
#include <QDialog>

#include <memory>

namespace tarnwick::ui {

class Desktop;

class TfrmOption : public QDialog
{
    Q_OBJECT

public:
    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

    explicit TfrmOption(Desktop& desktop, QWidget* parent = nullptr);
    ~TfrmOption() override;

    // The values as the controls hold them.
    OptionSettings values() const;
    // Puts the values into the controls.
    void setValues(const OptionSettings& values);

    // OK: checks the log file name and the sound file, writes, closes.
    void accept() override;

    // The sound and colour commands, as their buttons run them.
    void spbtnOpenClick();
    void spbtnPlayClick();
    void spbtnStopClick();
    void chooseColour(int row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Controls;
    void buildStartupPage();
    void buildLogPage();
    void buildEventPage();
    void buildPriorityPage();
    void updateSoundControls();
    void setColour(int row, const QColor& colour);

    Desktop& m_desktop;
    std::unique_ptr<Controls> m_c;
    // What could not be read from the settings file, told once when shown.
    QStringList m_unreadable;
    // The colour picker opens on the colour last chosen in it.
    QColor m_lastColour = Qt::black;
    // The stored choice, written again only when the box differs from it.
    bool m_notifyFailedRuns = true;
};

} // namespace tarnwick::ui
