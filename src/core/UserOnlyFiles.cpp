#include "UserOnlyFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace UserOnlyFiles {

bool MakeFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).path();
    if (parent != absolute && !MakeFolder(parent))
        return false;
    // The mode is given at creation, so the folder is never open to others.
    if (::mkdir(QFile::encodeName(absolute).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return QFileInfo(absolute).isDir();
}

bool RestrictFolder(const QString& path)
{
    return ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
}

bool PrepareFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    // Without waiting for a reader, were a pipe in the file's place.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return false;
    struct stat status;
    const bool restricted
        = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return restricted;
}

} // namespace UserOnlyFiles
