#pragma once

#include <QString>

// The preferences store decodes "@Variant(...)" and "@DateTime(...)" values with Qt's data stream
// reader, which trusts the counts it reads: one damaged list value asks for 2^31 items and aborts
// the process, and a colour of an unknown kind loads an invalid enumerator. Before the store reads
// its file, every such value that is not one of a few plain kinds is taken out of the file, so
// it reads as its default. Values are judged as the store's reader sees them once unescaped
// (IniValue): "\x40Variant(" is as much a serialized value as "@Variant(". The file is read only
// when it is a regular file.
namespace SettingsFileScreen {

// Screens the store file at `path` unless it is unchanged since the last call. True when
// values were taken out.
bool Screen(const QString& path);

} // namespace SettingsFileScreen
