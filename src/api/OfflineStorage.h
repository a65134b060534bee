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
// atomic rename, so a crash leaves either the old or the new file, never a mix.
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
    // the file untouched, when the cache is full or cannot be written.
    bool AddToStorage(const ScreenshotRecord& shot);
    // Reloads the cached records from the file.
    QList<ScreenshotRecord> GetOfflineStorage();
    // Both read only the record heads and seek past the pictures.
    int GetTotalStorageItems();
    bool GetCacheIsFree();

    // Uploads the signed-in member's records one by one, oldest first; each leaves the cache
    // once the service confirmed it. The first failure ends the run; records of other members
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
    enum class FileState
    {
        Missing,
        Ours,
        Foreign,
        Unreadable
    };

    FileState Scan(QList<Entry>* entries, bool withFields) const;
    bool Rewrite(FileState state, const QList<Entry>& keep, const ScreenshotRecord* append);
    bool SetAside() const;
    static QByteArray ReadImage(QFile& file, const Entry& entry);

    void UploadNext();
    void OnUploaded();
    void OnUploadFailed();
    bool RemoveUploaded();

    QString storagePath;
    RestAPI api;
    bool uploading = false;
    ScreenshotRecord inFlight;
    QList<ScreenshotRecord> storageList;
};
