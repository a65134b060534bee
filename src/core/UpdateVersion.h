#pragma once

#include <QString>

// Whether the version of the client the service offers is an update for the running one.
// Versions are dotted numbers compared part by part as numbers, so 1.10 comes after 1.9; a
// missing part counts as 0, so 1.2 equals 1.2.0, and a part that is no number (1.x, 3-beta)
// counts as 0 too. An offered version without a dot is never an update, whatever its number:
// the service sends one when it has no release to name.
namespace UpdateVersion {

enum class Verdict
{
    NotAVersion, // the offered version has no dot
    Newer,
    NotNewer, // the same release, or an older one
};

Verdict Compare(const QString& offered, const QString& running);

} // namespace UpdateVersion
