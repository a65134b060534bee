#pragma once

#include <QString>

// Identity of the client and the folders it keeps its files in.
namespace AppInfo {

inline const QString applicationName = QStringLiteral("Movarelquintash Client");
inline const QString applicationId = QStringLiteral("Movarelquintash Client");
// Names the preferences store.
inline const QString organizationName = QStringLiteral("movarelquintash.com");

// The version the build was made as (the CMake project version).
QString version();

// The platform's per-user data folder, e.g. ~/.local/share.
QString userDataFolder();

// userDataFolder() + "/" + the application name: the cache, the history and downloads live here.
QString dataFolder();

} // namespace AppInfo
