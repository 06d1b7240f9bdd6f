// SPDX-License-Identifier: GPL-3.0-or-later
// A label for a text that may not fit, such as a path: it shows as much as
// its room allows, the middle giving way so the start and the file's name
// stay, and keeps the whole text in its tooltip and for screen readers. It
// asks for no width of its own, so it never pushes its neighbours out.
#pragma once

#include <QLabel>

namespace tarnwick::ui {

class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return m_fullText; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString m_fullText;
};

} // namespace tarnwick::ui
