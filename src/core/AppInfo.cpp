#include "AppInfo.h"

#include "AppVersion.h"

#include <QStandardPaths>

namespace AppInfo {

QString version()
{
    return QStringLiteral(MOVARELQUINTASH_VERSION);
}

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QIcon icon()
{
    QIcon builtIn;
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        builtIn.addFile(
            QStringLiteral(":/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(desktopFileName));
    return QIcon::fromTheme(desktopFileName, builtIn);
}

QString dataFolder()
{
    return userDataFolder() + QLatin1Char('/') + applicationName;
}

} // namespace AppInfo
