#pragma once

#include <QIcon>
#include <QString>

// Identity of the client and the folders it keeps its files in.
namespace AppInfo {

inline const QString applicationName = QStringLiteral("Movarelquintash Client");
inline const QString applicationId = QStringLiteral("Movarelquintash Client");
// Names the preferences store.
inline const QString organizationName = QStringLiteral("movarelquintash.com");
// The launcher entry (without ".desktop") and the icon the package installs in the hicolor theme.
inline const QString desktopFileName = QStringLiteral("movarelquintash-client");

// The application's icon: the desktop's icon theme's, or the same artwork built in.
QIcon icon();

// The version the build was made as (the CMake project version).
QString version();

// The platform's per-user data folder, e.g. ~/.local/share.
QString userDataFolder();

// userDataFolder() + "/" + the application name: the cache, the history and downloads live here.
QString dataFolder();

} // namespace AppInfo
