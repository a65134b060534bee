#include "AppInfo.h"

#include "AppVersion.h"

#include <QImageReader>
#include <QPixmap>
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
    // As QIcon::fromTheme(name, fallback) chooses, but the artwork built in, which an icon
    // decodes as it is given each picture, is read only when the theme has no icon.
    const QIcon themed = QIcon::fromTheme(desktopFileName);
    if (!themed.isNull() && !themed.availableSizes().isEmpty())
        return themed;
    QIcon builtIn;
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        // Read as the PNG it is: a picture read by its name alone is first offered to every
        // picture plugin, which loads them all (GIF, JPEG, SVG, with their libraries) on the
        // GUI thread just after the first window shows.
        QImageReader reader(
            QStringLiteral(":/appicon/hicolor/%1x%1/apps/%2.png").arg(size).arg(desktopFileName),
            "png");
        reader.setAutoDetectImageFormat(false);
        builtIn.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return builtIn;
}

QString dataFolder()
{
    return userDataFolder() + QLatin1Char('/') + applicationName;
}

} // namespace AppInfo
