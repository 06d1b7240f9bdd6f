// Theme icons with fallbacks. The pictures are compiled into the window's
// static library, whose resources must be registered by hand once.
#include "ui/Icons.h"

// At file scope: the registration function it names lives outside every
// namespace.
static void registerIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace tarnwick::ui {

namespace {

void ensureRegistered()
{
    static const bool registered = (registerIconResources(), true);
    Q_UNUSED(registered);
}

} // namespace

QIcon OwnIcon(const char* name)
{
    ensureRegistered();
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(name)));
}

QIcon ThemeIcon(const char* name)
{
    ensureRegistered();
    const QString themeName = QString::fromLatin1(name);
    return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/%1.svg").arg(themeName)));
}

} // namespace tarnwick::ui
