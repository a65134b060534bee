#pragma once

#include <QString>

// Files that hold preferences, the saved password or the activity log are readable by
// their owner only: folders the client creates get 0700, its files 0600.
namespace UserOnlyFiles {

// Creates the folder and any missing parents with mode 0700. Folders that already
// exist keep their mode: the user may have chosen one of their own. True when the
// folder exists afterwards.
bool MakeFolder(const QString& path);

// Gives an existing folder of the client's own mode 0700.
bool RestrictFolder(const QString& path);

// Creates the file empty with mode 0600 when it is missing, else sets that mode. False, without
// waiting, when something other than a regular file is there.
bool PrepareFile(const QString& path);

} // namespace UserOnlyFiles
