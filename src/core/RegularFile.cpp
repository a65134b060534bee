#include "RegularFile.h"

#include "LogCategories.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens without waiting for a writer or reader, then keeps the descriptor only when it is a
// regular file, in blocking mode again. -1 otherwise.
int OpenRegularDescriptor(const QString& path, int flags)
{
    const int fd = ::open(
        QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0)
        return -1;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool OpenRegular(QFile* file, const QString& path, int flags, QIODevice::OpenMode mode)
{
    const int fd = OpenRegularDescriptor(path, flags);
    if (fd < 0)
        return false;
    if (!file->open(fd, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

enum class Kind
{
    Missing,
    Regular,
    Other,
};

// What the path names, links followed; a link to nothing counts as missing, as opening it to
// create a file would make that file.
Kind KindAt(const QByteArray& path)
{
    struct stat status;
    if (::stat(path.constData(), &status) == 0)
        return S_ISREG(status.st_mode) ? Kind::Regular : Kind::Other;
    if (errno == ENOENT)
        return Kind::Missing;
    struct stat link;
    return ::lstat(path.constData(), &link) == 0 ? Kind::Other : Kind::Missing;
}

QString AsideName(const QString& path)
{
    const QString stem = path + QStringLiteral(".not-a-file-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    for (int n = 1; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = stem + QLatin1Char('-') + QString::number(n);
    return name;
}

// A path that cannot be cleared is reported once, not at every line a log writes.
bool FirstReportOf(const QString& path)
{
    static std::mutex lock;
    static QSet<QString> reported;
    const std::lock_guard<std::mutex> locked(lock);
    if (reported.contains(path))
        return false;
    reported.insert(path);
    return true;
}

const qint64 maxSoundBytes = 8 * 1024 * 1024;

} // namespace

bool RegularFile::IsPlayableSound(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable() && info.size() > 0 && info.size() <= maxSoundBytes;
}

namespace RegularFile {

bool OpenForReading(QFile* file, const QString& path)
{
    return OpenRegular(file, path, O_RDONLY, QIODevice::ReadOnly);
}

bool OpenForAppending(QFile* file, const QString& path)
{
    return OpenRegular(file, path, O_RDWR | O_CREAT | O_APPEND, QIODevice::ReadWrite);
}

bool SetAsideUnlessRegular(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (path.isEmpty() || KindAt(name) != Kind::Other)
        return true;
    const QString aside = AsideName(path);
    // rename() moves a link itself, never what it points to.
    if (::rename(name.constData(), QFile::encodeName(aside).constData()) != 0) {
        if (FirstReportOf(path))
            qCWarning(filesLog).noquote()
                << path << "is not a regular file and cannot be set aside:" << qt_error_string();
        return false;
    }
    qCWarning(filesLog).noquote() << path << "was not a regular file; it is set aside as" << aside;
    return true;
}

int OpenForAppendingAsideOthers(const QString& path)
{
    if (!SetAsideUnlessRegular(path))
        return -1;
    const int fd = OpenRegularDescriptor(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd >= 0)
        ::fchmod(fd, 0600);
    return fd;
}

} // namespace RegularFile
