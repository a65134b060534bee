#pragma once

#include "ScreenshotRecord.h"

#include <QList>
#include <QString>

#include <mutex>

class QFile;

// The offline cache on disk (docs/offline-cache.md): a folder of cache files, one per capture
// and named by a rising number, and the single cache file of the earlier layout, which the
// first change moves into the folder. Adding a capture writes its own file; removing one
// deletes its file. Any thread may read while one thread at a time changes the cache: a file
// appears in the folder (renamed into place) or leaves it in one step, under a lock the readers
// take too, so they meet only whole files.
class CacheFolder
{
public:
    static constexpr int maxItems = 12;

    // One whole record: the file it lies in, where, and its fields without the picture.
    struct Record
    {
        QString file;
        qint64 offset = 0;
        qint64 size = 0;
        qint64 imageOffset = 0;
        qint64 imageSize = 0;
        ScreenshotRecord shot;
    };

    // `legacyPath` names the earlier single file (".../storage.bin"); the folder is next to it
    // (".../storage.d").
    explicit CacheFolder(const QString& legacyPath);

    QString LegacyPath() const;
    QString FolderPath() const;

    // Readers.
    // Every whole record, oldest first, without the pictures.
    QList<Record> Records() const;
    // The records plus the additions announced and not yet in place.
    int Count() const;
    static QByteArray ReadImage(const Record& record);
    // Whether the capture would be read back from a record as it is, with a picture to upload.
    static bool IsStorable(const ScreenshotRecord& shot);

    // Announces an addition: it is counted from now on, until Add has put it in place or
    // given it up.
    void Announce();

    // Writers, one thread at a time. Each first moves the earlier file in and sets aside what
    // holds no whole record.
    // Writes the capture as the newest record; false, with the cache as it was, when it is full
    // or the file cannot be written.
    bool Add(const ScreenshotRecord& shot);
    // The signed-in member's oldest record with its picture; false when there is none.
    bool Oldest(int memberId, ScreenshotRecord* shot) const;
    // Takes the record that holds this capture out of the cache; with `asideKind`, it is first
    // kept in a cache file of its own.
    bool Remove(const ScreenshotRecord& shot, const QString& asideKind = QString());

private:
    struct Span
    {
        qint64 offset = 0;
        qint64 size = 0;
    };
    enum class FileState
    {
        Missing,
        Ours,
        Foreign,
        Oversized, // larger than any file of ours: never opened
        Unreadable
    };

    QStringList Files() const;
    QList<Record> Scan() const;
    qint64 MaxFileSize(const QString& path) const;
    static FileState ScanFile(const QString& path, QList<Record>* records, qint64 maxSize,
        QList<Span>* damaged = nullptr);
    static bool ReadEntry(QFile& file, qint64 offset, qint64 fileSize, Record* record);
    static qint64 FindNextEntry(QFile& file, qint64 from, qint64 fileSize);

    void Tidy();
    bool MoveLegacyIn();
    qint64 NextNumber() const;
    QString NumberedFile(qint64 number) const;
    bool Rewrite(const QString& path, const QList<Record>& keep, const QList<Span>& damaged);
    bool Commit(const QString& temporary, const QString& path);
    void SyncFolder() const;
    bool SetAside(const QString& path, const QString& kind) const;
    bool KeepAside(const QString& kind, QFile& source, const QList<Span>& spans) const;
    QString AsideName(const QString& kind) const;
    static bool WriteCacheFile(const QString& path, QFile* source, const QList<Span>& spans,
        const QByteArray& tail, bool sync);

    QString legacyPath;
    QString folderPath;
    mutable std::mutex lock;
    int announced = 0;
};
