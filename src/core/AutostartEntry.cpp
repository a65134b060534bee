#include "AutostartEntry.h"

#include "AppInfo.h"
#include "InstallLayout.h"
#include "LogCategories.h"
#include "RegularFile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString programName = QStringLiteral("movarelquintash-client");

QString entryText(const QString& executable)
{
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=%1\n"
                                   "Exec=%2\n")
                        .arg(AppInfo::applicationName, AutostartEntry::ExecLine(executable));
    // The theme icon exists only where the client was installed with it.
    if (AutostartEntry::IsInstalledProgram(executable))
        entry += QStringLiteral("Icon=") + programName + QLatin1Char('\n');
    entry += QStringLiteral("Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n");
    return entry;
}

bool writeEntry(const QString& text)
{
    const QString path = AutostartEntry::FilePath();
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qCWarning(autostartLog) << "Cannot write the autostart entry" << path;
        return false;
    }
    file.write(text.toUtf8());
    return file.commit();
}

} // namespace

namespace AutostartEntry {

QString FilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/") + programName + QStringLiteral(".desktop");
}

bool IsInstalled()
{
    return QFile::exists(FilePath());
}

QString ExecLine(const QString& executable)
{
    // Inside a quoted argument ", `, $ and \ take a backslash; a literal % is written %%.
    QString quoted;
    for (const QChar c : executable) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    // The whole value is then a desktop-entry string, in which a backslash is itself escaped.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool Install(const QString& executable)
{
    return writeEntry(entryText(executable));
}

bool Remove()
{
    const QString path = FilePath();
    return !QFile::exists(path) || QFile::remove(path);
}

bool IsInstalledProgram(const QString& executable)
{
    const QFileInfo program(executable);
    return program.fileName() == programName
        && QFileInfo::exists(
            program.absolutePath() + QStringLiteral("/" MOVARELQUINTASH_LAUNCHER_FROM_BINDIR));
}

bool Refresh(const QString& executable)
{
    if (!IsInstalledProgram(executable))
        return true;
    if (!QFileInfo::exists(FilePath()))
        return true; // no entry: the member does not start the client at login
    // A pipe in the entry's place would block the start for good.
    QFile file;
    if (!RegularFile::OpenForReading(&file, FilePath())) {
        qCWarning(autostartLog) << "The autostart entry" << FilePath()
                                << "is not a readable file; left as is";
        return true;
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    file.close();
    // Only the command changes: whatever else the desktop keeps there (the member switching
    // the entry off, say) stays as it is.
    const QString exec = QStringLiteral("Exec=") + ExecLine(executable);
    auto line = std::find_if(lines.begin(), lines.end(),
        [](const QString& l) { return l.startsWith(QLatin1String("Exec=")); });
    if (line == lines.end())
        return writeEntry(entryText(executable));
    if (*line == exec)
        return true;
    qCInfo(autostartLog) << "Pointing the autostart entry at the installed program" << executable;
    *line = exec;
    return writeEntry(lines.join(QLatin1Char('\n')));
}

} // namespace AutostartEntry
