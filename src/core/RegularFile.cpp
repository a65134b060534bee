#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens without waiting for a writer, then hands the descriptor to `file` only when it is a
// regular file.
bool OpenRegular(QFile* file, const QString& path, int flags, QIODevice::OpenMode mode)
{
    const int fd = ::open(
        QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0
        || !file->open(fd, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
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

} // namespace RegularFile
