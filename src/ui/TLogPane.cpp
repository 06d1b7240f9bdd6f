// Stand-in log pane.
#include "ui/TLogPane.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace tarnwick::ui {

TLogPane::TLogPane(Desktop&, QWidget* parent) : QWidget(parent), m_view(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("PanelLog"));
    m_view->setObjectName(QStringLiteral("rtfLog"));
    m_view->setAccessibleName(QStringLiteral("Log"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}

void TLogPane::appendLine(const QString& text, quint32)
{
    m_view->appendPlainText(text);
}

} // namespace tarnwick::ui
