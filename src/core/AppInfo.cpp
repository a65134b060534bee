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

QString dataFolder()
{
    return userDataFolder() + QLatin1Char('/') + applicationName;
}

} // namespace AppInfo
