#pragma once

#include "../Deadline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Puts something other than a regular file at `path`: "pipe", "folder", "link to a pipe" or
// "socket". False when it could not be made.
inline bool MakeNotAFile(const QString& path, const QString& kind)
{
    QDir().mkpath(QFileInfo(path).path());
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("pipe"))
        return ::mkfifo(name.constData(), 0600) == 0;
    if (kind == QLatin1String("folder"))
        return QDir().mkpath(path);
    if (kind == QLatin1String("link to a pipe")) {
        const QByteArray pipe = name + ".the-pipe";
        return ::mkfifo(pipe.constData(), 0600) == 0
            && ::symlink(pipe.constData(), name.constData()) == 0;
    }
    if (kind == QLatin1String("socket")) {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (size_t(name.size()) >= sizeof(address.sun_path))
            return false;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound
            = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        return bound;
    }
    return false;
}

// What lies beside `path` under the names the client sets things aside with.
inline QStringList SetAsideBeside(const QString& path)
{
    const QFileInfo info(path);
    return QDir(info.path())
        .entryList(
            { info.fileName() + ".not-a-file-*" }, QDir::AllEntries | QDir::System | QDir::Hidden);
}
