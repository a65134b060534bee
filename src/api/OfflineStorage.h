#pragma once

#include "CacheFolder.h"
#include "RestAPI.h"
#include "ScreenshotRecord.h"
#include "SerialWorker.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// The offline screenshot cache: captures that could not be uploaded wait on disk
// (docs/offline-cache.md; CacheFolder keeps the files) until UploadOfflineStorage sends them
// through the cache's own REST client. Additions and removals are written by a worker thread of
// the cache's own, one after the other in the order they were asked for, so the window never
// waits for the disk; counting and listing read what is on disk, the additions still on their
// way counted in.
class OfflineStorage : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxItems = CacheFolder::maxItems;

    explicit OfflineStorage(QObject* parent = nullptr);
    // Waits for the changes still being written.
    ~OfflineStorage() override;

    // The data folder + "/data/storage.bin" unless set otherwise: the cache of the earlier
    // layout, which the first change moves into the folder next to it.
    void SetStoragePath(const QString& path);
    QString StoragePath() const;

    // Gives the cache's REST client the member's credentials.
    void SetSecurityInfo(const RestAPI::SecurityUserInfo& info);

    // Takes one capture to be written as the newest record, stamped with the signed-in member
    // when it names none. False, with nothing written, when the cache is full, its folder
    // cannot be written, or the capture would not read back as it is (a field too large for a
    // record). Should the write fail all the same, NotKept reports it.
    bool AddToStorage(const ScreenshotRecord& shot);
    // Reloads the cached records, pictures and all, once the changes asked for are written.
    QList<ScreenshotRecord> GetOfflineStorage();
    // Both count the whole records on disk (reading their heads and fields, not the pictures)
    // and the additions on their way.
    int GetTotalStorageItems();
    bool GetCacheIsFree();

    // Uploads the signed-in member's records one by one, oldest first; each leaves the cache
    // once the service confirmed it. A record the service refuses is set aside in a file of
    // its own and the run goes on; any other failure ends the run. Records of other members
    // stay for them.
    void UploadOfflineStorage();
    bool IsUploading() const;

    // Blocks until every change asked for so far is on disk (quitting, tests).
    void WaitForChanges();

signals:
    // A capture AddToStorage took could not be written after all (a full or failing disk).
    void NotKept(const ScreenshotRecord& shot);

private:
    // Runs `work` on the worker and `done` with its outcome back on this object's thread.
    void Queue(std::function<bool(CacheFolder&)> work, std::function<void(bool)> done);

    void UploadNext();
    void OnUploaded();
    void OnUploadFailed(const RestAPI::ApiResult& result);
    void TakeInFlight(const QString& asideKind);

    std::shared_ptr<CacheFolder> folder;
    RestAPI api;
    bool uploading = false;
    ScreenshotRecord inFlight;
    QList<ScreenshotRecord> storageList;
    SerialWorker worker; // last: its changes are written before the rest goes
};
