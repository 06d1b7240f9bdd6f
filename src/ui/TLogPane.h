// The log pane (stand-in until the full pane lands).
#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace tarnwick::ui {

class Desktop;

class TLogPane : public QWidget
{
    Q_OBJECT

public:
    explicit TLogPane(Desktop& desktop, QWidget* parent = nullptr);
    void appendLine(const QString& text, quint32 colour);
    QPlainTextEdit* view() const { return m_view; }

signals:
    void hideRequested();

private:
    QPlainTextEdit* m_view;
};

} // namespace tarnwick::ui
