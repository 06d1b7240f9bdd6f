// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/StatusPanel.h"

#include <algorithm>

namespace tarnwick::ui {

StatusPanel::StatusPanel(int wishedWidth, Shrink shrink, QWidget* parent)
    : QLabel(parent), m_wishedWidth(wishedWidth), m_shrink(shrink)
{
    setTextFormat(Qt::PlainText);
}

QSize StatusPanel::sizeHint() const
{
    const QSize text = QLabel::sizeHint();
    return {std::max(m_wishedWidth, text.width()), text.height()};
}

QSize StatusPanel::minimumSizeHint() const
{
    const bool away = m_shrink == Shrink::Away || text().isEmpty();
    return {away ? 0 : QLabel::sizeHint().width(), QLabel::minimumSizeHint().height()};
}

} // namespace tarnwick::ui
