// SPDX-License-Identifier: GPL-3.0-or-later
// Theme icons with fallbacks. The pictures are compiled into the window's
// static library, whose resources must be registered by hand once.
#include "ui/Icons.h"

// At file scope: the registration function it names lives outside every
// namespace.
static void RegisterIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace tarnwick::ui {

namespace {

void EnsureRegistered()
{
    static const bool registered = (RegisterIconResources(), true);
    Q_UNUSED(registered);
}

} // namespace

QIcon OwnIcon(const char* name)
{
    EnsureRegistered();
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(name)));
}

QIcon ThemeIcon(const char* name)
{
    EnsureRegistered();
    const QString themeName = QString::fromLatin1(name);
    return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/%1.svg").arg(themeName)));
}

} // namespace tarnwick::ui
