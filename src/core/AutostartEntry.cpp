#include "AutostartEntry.h"

#include "AppInfo.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace AutostartEntry {

QString FilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/movarelquintash-client.desktop");
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
    const QString path = FilePath();
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qWarning() << "Cannot write the autostart entry" << path;
        return false;
    }
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(AppInfo::applicationName, ExecLine(executable));
    file.write(entry.toUtf8());
    return file.commit();
}

bool Remove()
{
    const QString path = FilePath();
    return !QFile::exists(path) || QFile::remove(path);
}

} // namespace AutostartEntry
