#pragma once

#include <QLoggingCategory>
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

// Makes room for a file of the client's own at `path`: something there that is not a regular
// file (a pipe, a folder, a socket, a device, or a link to one of them) is renamed
// "<path>.not-a-file-<date>-<time>", never removed, with one log line. True when the path is then
// free or holds a regular file; false, logged once per path, when it could not be moved.
bool SetAsideUnlessRegular(const QString& path);

// A descriptor open for appending to the file at `path`, which is created with mode 0600 when
// missing; something that is not a regular file there is set aside first. -1 when it cannot be
// opened. The caller closes it.
int OpenForAppendingAsideOthers(const QString& path);

// A sound file a player may be given: a readable regular file of at most 8 MB (about 45 s of
// CD-quality stereo). The player reads its whole source first and, when destroyed, waits for that
// read: a device such as /dev/zero or a pipe would keep the client from ever exiting.
bool IsPlayableSound(const QString& path);

} // namespace RegularFile
