// SPDX-License-Identifier: GPL-3.0-or-later
// The splash window: frameless and above other windows, gone two seconds
// after it was made (or at the first turn of the event loop when start-up
// took longer). Not QSplashScreen, which hides on any click.
#pragma once

#include <QWidget>

namespace tarnwick::ui {

class Desktop;

class TfrmSplash : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kShowMs = 2000;
    explicit TfrmSplash(Desktop& desktop, QWidget* parent = nullptr);
};

} // namespace tarnwick::ui
