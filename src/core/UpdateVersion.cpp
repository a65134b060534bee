#include "UpdateVersion.h"

#include <QList>
#include <QStringList>

namespace {

// The numbers of a dotted version; a part that is no number counts as 0.
QList<int> VersionNumbers(const QString& version)
{
    QList<int> numbers;
    if (version.isEmpty())
        return numbers;
    const QStringList parts = version.split(QLatin1Char('.'));
    for (const QString& part : parts)
        numbers.append(part.toInt(nullptr, 10));
    return numbers;
}

// Compared part by part; a missing part counts as 0, so 1.2 equals 1.2.0.
bool IsNewerVersion(const QString& candidate, const QString& current)
{
    const QList<int> newer = VersionNumbers(candidate);
    const QList<int> older = VersionNumbers(current);
    for (int part = 0; part < qMax(newer.size(), older.size()); ++part) {
        const int a = newer.value(part, 0);
        const int b = older.value(part, 0);
        if (a != b)
            return a > b;
    }
    return false;
}

} // namespace

namespace UpdateVersion {

Verdict Compare(const QString& offered, const QString& running)
{
    if (!offered.contains(QLatin1Char('.')))
        return Verdict::NotAVersion;
    return IsNewerVersion(offered, running) ? Verdict::Newer : Verdict::NotNewer;
}

} // namespace UpdateVersion
