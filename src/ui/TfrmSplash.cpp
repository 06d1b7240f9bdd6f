// SPDX-License-Identifier: GPL-3.0-or-later
// Splash window.
#include "ui/TfrmSplash.h"

#include "ui/Icons.h"
#include "ui/TfrmAbout.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace tarnwick::ui {

TfrmSplash::TfrmSplash(Desktop& desktop, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(313, 209);
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(ThemeIcon("tarnwick").pixmap(64, 64));
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("<b>Tarnwick</b>"), this);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(VersionText(), this), 0, Qt::AlignHCenter);
    layout->addWidget(MakeAddressLabels(desktop, this), 0, Qt::AlignHCenter);
    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("TimerSplash"));
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &QWidget::close);
    timer->start(kShowMs);
}

} // namespace tarnwick::ui
