#pragma once

#include <QString>

class QFile;

// Data files are opened only when they are regular files: a pipe in their place would block the
// open or the first read for good, and a device would feed the reader without end.
namespace RegularFile {

// Opens `path` for reading into `file` (which must not be open). False when the path is not a
// regular file or cannot be read.
bool OpenForReading(QFile* file, const QString& path);

// As above, for reading and appending; the file is created with mode 0600 when missing.
bool OpenForAppending(QFile* file, const QString& path);

// A sound file a player may be given: a readable regular file of at most 8 MB (about 45 s of
// CD-quality stereo). The player reads its whole source first and, when destroyed, waits for that
// read: a device such as /dev/zero or a pipe would keep the client from ever exiting.
bool IsPlayableSound(const QString& path);

} // namespace RegularFile
