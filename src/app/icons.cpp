#include "app/icons.h"

#include <QIcon>
#include <QString>

// The resources live in a static library: the linker keeps them only when
// something registers them by name.
static void registerIconResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    Q_UNUSED(registered);
}

QIcon programIcon()
{
    registerIconResources();
    return QIcon(QStringLiteral(":/icons/glossa.svg"));
}

QIcon aboutIcon()
{
    registerIconResources();
    return QIcon(QStringLiteral(":/icons/about.svg"));
}
