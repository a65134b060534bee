#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>

// The permission bits of a file or folder, e.g. 0600; -1 when it does not exist.
inline int fileMode(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}
