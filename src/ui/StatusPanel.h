// SPDX-License-Identifier: GPL-3.0-or-later
// A panel of the status bar: as wide as it was laid out to be while the
// window has room, narrower when it has not: a count never narrower than
// its text, so it is never cut; a hint down to nothing, as the run's
// progress beside it matters more.
#pragma once

#include <QLabel>

namespace tarnwick::ui {

class StatusPanel : public QLabel
{
    Q_OBJECT

public:
    enum class Shrink
    {
        ToText,
        Away
    };

    StatusPanel(int wishedWidth, Shrink shrink, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int m_wishedWidth;
    Shrink m_shrink;
};

} // namespace tarnwick::ui
