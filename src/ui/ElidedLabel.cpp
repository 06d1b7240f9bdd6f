// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ElidedLabel.h"

namespace tarnwick::ui {

namespace {

// What the label asks for when there is room: enough for a usual path.
constexpr int kWishedWidth = 320;
constexpr int kLeastWidth = 60;

} // namespace

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text)
{
    m_fullText = text;
    setToolTip(text);
    setAccessibleName(text);
    elide();
}

QSize ElidedLabel::sizeHint() const
{
    return {kWishedWidth, QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {kLeastWidth, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    // Not laid out yet: the whole text, until the label knows its room.
    const int room = contentsRect().width();
    setText(room <= 0 ? m_fullText : fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, room));
}

} // namespace tarnwick::ui
