#include "SnapFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace SnapFiles {

QString FileName(const QString& title, const QString& date)
{
    QString name = title;
    name.remove(QLatin1Char(':')).remove(QLatin1Char('/')).remove(QLatin1Char('\\'));
    return name + QLatin1Char('(') + QString(date).replace(QLatin1Char(':'), QLatin1Char('.'))
        + QStringLiteral(").png");
}

QString UniquePath(const QString& folder, const QString& fileName)
{
    const QDir dir(folder);
    QString path = dir.filePath(fileName);
    const QFileInfo info(fileName);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString stem = fileName.left(fileName.size() - suffix.size());
    for (int number = 2; QFileInfo::exists(path); ++number)
        path = dir.filePath(stem + QStringLiteral(" (%1)").arg(number) + suffix);
    return path;
}

QString Write(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QCoreApplication::translate("SnapFiles", "The folder %1 cannot be made.")
            .arg(QDir::toNativeSeparators(folder));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return QString();
}

} // namespace SnapFiles
