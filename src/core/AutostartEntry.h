#pragma once

#include <QString>

// Starting the client at login: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/movarelquintash-client.desktop, that runs this executable.
namespace AutostartEntry {

QString FilePath();

// True while the entry exists.
bool IsInstalled();

// Writes the entry for the program at `executable`. True on success.
bool Install(const QString& executable);

// Deletes the entry; true when none is left.
bool Remove();

// True when `executable` is the client in its installed place: the launcher entry that
// is installed with it lies in the same prefix.
bool IsInstalledProgram(const QString& executable);

// When `executable` is the installed program and an entry exists whose command names
// something else (a build folder, an older place), points that command at `executable` and
// keeps the rest of the entry. Programs run from elsewhere never touch the entry: a test
// build must not take over the member's login. An entry that is not a readable regular file
// (a pipe would block the start) is left as it is. True when nothing failed.
bool Refresh(const QString& executable);

// The Exec value that runs `executable` with no arguments, quoted and escaped as
// desktop entries require.
QString ExecLine(const QString& executable);

} // namespace AutostartEntry
