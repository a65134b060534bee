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

// The Exec value that runs `executable` with no arguments, quoted and escaped as
// desktop entries require.
QString ExecLine(const QString& executable);

} // namespace AutostartEntry
