// SPDX-License-Identifier: GPL-3.0-or-later
// About box.
#include "ui/TfrmAbout.h"

#include "ui/Captions.h"
#include "ui/Language.h"
#include "ui/Desktop.h"
#include "ui/Icons.h"

#include "BuildInfo.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tarnwick::ui {

namespace {

// Where the entries of a language file go in this window.
constexpr UiText kVersionText{"VersionText", "Version %1"};

constexpr LanguageRow kLanguageRows[] = {
    {"frmAbout", "Title", ""},
};

} // namespace

QString VersionText()
{
    return ShownText(kVersionText).arg(QLatin1String(kVersionAndBuild));
}

QWidget* MakeAddressLabels(Desktop& desktop, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto link = [&](const QString& shown, const QString& target, const char* name) {
        auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(target, shown), box);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                       Qt::LinksAccessibleByKeyboard);
        QObject::connect(label, &QLabel::linkActivated, label,
                         [&desktop](const QString& address) { desktop.open(address); });
        layout->addWidget(label);
    };
    link(QString::fromLatin1(kHomePage), QString::fromLatin1(kHomePage), "lblHomePage");
    link(QString::fromLatin1(kSupportMail),
         QStringLiteral("mailto:") + QString::fromLatin1(kSupportMail), "lblMail");
    return box;
}

TfrmAbout::TfrmAbout(Desktop& desktop, QWidget* parent) : QDialog(parent)
{
    Captioned(this, "frmAbout", "About Tarnwick");
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(ThemeIcon("tarnwick").pixmap(48, 48));
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addWidget(Captioned(new QLabel(this), "lblProgram", "Tarnwick"), 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(VersionText(), this), 0, Qt::AlignHCenter);
    layout->addWidget(MakeAddressLabels(desktop, this), 0, Qt::AlignHCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ApplyLanguage(this, kLanguageRows, CurrentLanguage());
}

std::span<const LanguageRow> TfrmAbout::languageRows()
{
    return kLanguageRows;
}

} // namespace tarnwick::ui
