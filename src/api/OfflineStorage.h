#pragma once

#include "RestAPI.h"
#include "ScreenshotRecord.h"

#include <QList>
#include <QObject>
#include <QString>

class QFile;

// The offline screenshot cache: captures that could not be uploaded wait in one file
// (docs/offline-cache.md gives its layout) until UploadOfflineStorage sends them through the
// cache's own REST client. Every change rewrites the file through a temporary file and an
// atomic rename, so a crash leaves either the old or the new file, never a mix. Bytes that hold
// no whole record cost only themselves: the reader finds the next record behind them, and the
// next write keeps them in a file of their own.
class OfflineStorage : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxItems = 12;

    explicit OfflineStorage(QObject* parent = nullptr);

    // The data folder + "/data/storage.bin" unless set otherwise.
    void SetStoragePath(const QString& path);
    QString StoragePath() const;

    // Gives the cache's REST client the member's credentials.
    void SetSecurityInfo(const RestAPI::SecurityUserInfo& info);

    // Appends one capture, stamped with the signed-in member when it names none. False, with
    // the file untouched, when the cache is full, cannot be written, or the capture would not
    // read back as it is (a field too large for a record).
    bool AddToStorage(const ScreenshotRecord& shot);
    // Reloads the cached records from the file.
    QList<ScreenshotRecord> GetOfflineStorage();
    // Both read the heads and fields of the records and seek past the pictures; they count
    // exactly the records GetOfflineStorage returns.
    int GetTotalStorageItems();
    bool GetCacheIsFree();

    // Uploads the signed-in member's records one by one, oldest first; each leaves the cache
    // once the service confirmed it. A record the service refuses is set aside in a file of
    // its own and the run goes on; any other failure ends the run. Records of other members
    // stay for them.
    void UploadOfflineStorage();
    bool IsUploading() const;

private:
    // One whole record of the file: where it lies and its fields without the picture.
    struct Entry
    {
        qint64 offset = 0;
        qint64 size = 0;
        qint64 imageOffset = 0;
        qint64 imageSize = 0;
        ScreenshotRecord shot;
    };
    // A stretch of the file's bytes.
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
        Unreadable
    };

    FileState Scan(QList<Entry>* entries, QList<Span>* damaged = nullptr) const;
    bool Rewrite(FileState state, const QList<Entry>& keep, const QList<Span>& damaged,
        const ScreenshotRecord* append);
    bool SetAside() const;
    bool KeepAside(const QString& kind, QFile& source, const QList<Span>& spans) const;
    QString AsideName(const QString& kind) const;
    static bool WriteCacheFile(
        const QString& path, QFile& source, const QList<Span>& spans, const QByteArray& tail);
    static bool ReadEntry(QFile& file, qint64 offset, qint64 fileSize, Entry* entry);
    static qint64 FindNextEntry(QFile& file, qint64 from, qint64 fileSize);
    static QByteArray ReadImage(QFile& file, const Entry& entry);

    void UploadNext();
    void OnUploaded();
    void OnUploadFailed(int httpStatus);
    bool TakeInFlight(const QString& asideKind);

    QString storagePath;
    RestAPI api;
    bool uploading = false;
    ScreenshotRecord inFlight;
    QList<ScreenshotRecord> storageList;
};
