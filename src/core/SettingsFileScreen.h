#pragma once

#include <QString>

// The preferences store decodes "@Variant(...)" values with Qt's data stream reader, which
// trusts the counts it reads: one damaged list value asks for 2^31 items and aborts the
// process, and a colour of an unknown kind loads an invalid enumerator. Before the store reads
// its file, every such value that is not one of a few plain kinds is taken out of the file, so
// it reads as its default.
namespace SettingsFileScreen {

// Screens the store file at `path` unless it is unchanged since the last call. True when
// values were taken out.
bool Screen(const QString& path);

} // namespace SettingsFileScreen
