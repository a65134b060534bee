#include "OfflineStorage.h"

#include "AppInfo.h"
#include "LogCategories.h"

#include <QDebug>
#include <QFileInfo>
#include <QMetaObject>

#include <unistd.h>

namespace {

// Answers in which the service refuses the record itself: sending it again cannot succeed. An
// expired session, a missing path or a busy service are not the record's fault.
bool IsRefusal(const RestAPI::ApiResult& result)
{
    const int status = result.httpStatus;
    return status == 400 || status == 413 || status == 415 || status == 422;
}

// Whether new files can go into the folder (or, while it does not exist yet, into the first
// folder up the path that does).
bool CanWriteInto(QString folder)
{
    while (!QFileInfo(folder).exists() && QFileInfo(folder).path() != folder)
        folder = QFileInfo(folder).path();
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

OfflineStorage::OfflineStorage(QObject* parent)
    : QObject(parent), folder(std::make_shared<CacheFolder>(
                           AppInfo::dataFolder() + QStringLiteral("/data/storage.bin")))
{
    connect(&api, &RestAPI::ApiDataOk, this, [this](const RestAPI::ApiResult& result) {
        if (uploading && result.state == RestAPI::ScreenshotUpload)
            OnUploaded();
    });
    connect(&api, &RestAPI::ApiDataError, this, [this](const RestAPI::ApiResult& result) {
        if (uploading)
            OnUploadFailed(result);
    });
}

OfflineStorage::~OfflineStorage()
{
    WaitForChanges();
}

void OfflineStorage::SetStoragePath(const QString& path)
{
    WaitForChanges();
    folder = std::make_shared<CacheFolder>(path);
}

QString OfflineStorage::StoragePath() const
{
    return folder->LegacyPath();
}

void OfflineStorage::SetSecurityInfo(const RestAPI::SecurityUserInfo& info)
{
    api.SetApiSecurityInfo(info);
}

bool OfflineStorage::AddToStorage(const ScreenshotRecord& shot)
{
    ScreenshotRecord stamped = shot;
    if (stamped.memberId < 1 && api.IsLoggedIn())
        stamped.memberId = api.GetCurrentUserInfo().memberId;
    if (!CacheFolder::IsStorable(stamped)) {
        qCWarning(cacheLog) << "A capture too large for the offline cache was not kept";
        return false;
    }
    if (folder->Count() >= maxItems) {
        qCWarning(cacheLog) << "Offline cache is full; capture dropped";
        return false;
    }
    if (!CanWriteInto(folder->FolderPath())) {
        qCWarning(cacheLog) << "Cannot write the offline cache in" << folder->FolderPath();
        return false;
    }
    folder->Announce();
    Queue([stamped](CacheFolder& cache) { return cache.Add(stamped); },
        [this, stamped](bool added) {
            if (!added)
                emit NotKept(stamped);
        });
    return true;
}

QList<ScreenshotRecord> OfflineStorage::GetOfflineStorage()
{
    WaitForChanges();
    storageList.clear();
    const QList<CacheFolder::Record> records = folder->Records();
    for (const CacheFolder::Record& record : records) {
        ScreenshotRecord shot = record.shot;
        shot.image = CacheFolder::ReadImage(record);
        storageList.append(shot);
    }
    return storageList;
}

int OfflineStorage::GetTotalStorageItems()
{
    return folder->Count();
}

bool OfflineStorage::GetCacheIsFree()
{
    return GetTotalStorageItems() < maxItems;
}

void OfflineStorage::UploadOfflineStorage()
{
    if (uploading || !api.IsLoggedIn())
        return;
    uploading = true;
    UploadNext();
}

bool OfflineStorage::IsUploading() const
{
    return uploading;
}

void OfflineStorage::WaitForChanges()
{
    worker.WaitForIdle();
}

void OfflineStorage::Queue(std::function<bool(CacheFolder&)> work, std::function<void(bool)> done)
{
    const std::shared_ptr<CacheFolder> cache = folder;
    worker.Post([this, cache, work, done] {
        const bool outcome = work(*cache);
        QMetaObject::invokeMethod(
            this, [done, outcome] { done(outcome); }, Qt::QueuedConnection);
    });
}

// The record is looked for afresh each time, so captures cached during the run go too.
void OfflineStorage::UploadNext()
{
    const int memberId = api.GetCurrentUserInfo().memberId;
    auto next = std::make_shared<ScreenshotRecord>();
    Queue([memberId, next](CacheFolder& cache) { return cache.Oldest(memberId, next.get()); },
        [this, next](bool found) {
            if (!found) {
                uploading = false;
                return;
            }
            inFlight = *next;
            api.UploadScreenshot(inFlight);
        });
}

void OfflineStorage::OnUploaded()
{
    TakeInFlight(QString());
}

void OfflineStorage::OnUploadFailed(const RestAPI::ApiResult& result)
{
    // A record the service refuses would stop every later run: it is set aside, not deleted,
    // and the records behind it go on.
    if (IsRefusal(result))
        TakeInFlight(QStringLiteral("refused"));
    else
        uploading = false;
}

// Takes the record just sent out of the cache, then goes on with the next. Should it stay, the
// next run would send it again: the run stops instead.
void OfflineStorage::TakeInFlight(const QString& asideKind)
{
    const ScreenshotRecord sent = inFlight;
    Queue([sent, asideKind](CacheFolder& cache) { return cache.Remove(sent, asideKind); },
        [this](bool removed) {
            if (removed)
                UploadNext();
            else
                uploading = false;
        });
}
