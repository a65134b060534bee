#include "CaptureQueue.h"

#include "LogCategories.h"
#include "LogManager.h"
#include "NetworkChecker.h"
#include "OfflineStorage.h"
#include "RestAPI.h"
#include "ServiceConfig.h"
#include "SettingsProvider.h"
#include "popupWindow.h"

#include <QDebug>

namespace {

const int screenshotPopupSlideMs = 2;

} // namespace

CaptureQueue::CaptureQueue(const Services& services, QObject* parent)
    : QObject(parent), services(services), uploads(services.restApi)
{
    encoder.setParent(this);
    encoder.setObjectName(QStringLiteral("captureEncoder"));
    services.popup.Wire([this](popupWindow& popup) {
        connect(&popup, &popupWindow::OnPopupWindowClose, this, &CaptureQueue::Save);
        connect(&popup, &popupWindow::OnDiscardButtonClick, this, &CaptureQueue::DiscardCapture);
    });
    connect(&encoder, &CaptureEncoder::Grabbed, this, &CaptureQueue::ShowGrabbedCaptures);
    connect(&encoder, &CaptureEncoder::Finished, this, &CaptureQueue::SaveEncodedCaptures);
    connect(&services.cache, &OfflineStorage::NotKept, this, &CaptureQueue::OnCaptureNotKept);
    connect(&uploads, &CaptureUploads::Failed, this, &CaptureQueue::WriteToCache);
}

void CaptureQueue::Take()
{
    LogManager& log = services.log;
    const TrackingEnvironment& environment = services.environment;
    MiscFunctions& misc = services.misc;
    // The popup of the capture before still shows: hiding it saves that capture, with its own
    // record, before the new capture takes the record's place. A capture whose picture has not
    // come yet is saved as its popup's close would save it.
    if (popupWindow* popup = services.popup.IfMade(); popup && popup->isVisible()) {
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Close prev popup"));
        popup->hide();
    }
    if (CaptureInPopup())
        Save();

    networkEnabled = environment.isNetworkEnabled();

    MiscFunctions::SCREENSHOT& shot = misc.currentShot;
    shot = MiscFunctions::SCREENSHOT();
    shot.companyId = misc.GetUserCompanyID();
    // Named now: a capture that waits in the cache is uploaded only for the member who took it.
    shot.memberId = services.restApi.GetCurrentUserInfo().memberId;
    shot.workingTime = services.workingTime();
    shot.time = QTime::currentTime();
    shot.date = QDate::currentDate();
    shot.memo = misc.GetMemo();
    shot.activeWindow = environment.activeWindowTitle();

    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    if (settings.enableSnapshots)
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to show popup with screenshot"));

    shot.statistic = misc.GetStatistic();
    misc.ResetStatistic();
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Get statistic"));
    for (const MiscFunctions::EVENTS_STATISTIC& sample : qAsConst(shot.statistic)) {
        shot.keyStrokes += sample.keyEvents;
        shot.mouseClicks += sample.mouseEvents;
    }
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Get statistic - success"));

    emit Taken();
    if (networkEnabled)
        services.networkChecker.RunTestForHost(ServiceConfig::apiHost());

    // The desktop is grabbed, made small for the popup and encoded on the encoder's threads;
    // the record is taken now and gets its thumbnail when the grab comes back, and so does the
    // popup (ShowGrabbedCaptures), which therefore never shows in the grab itself. Started once
    // the rest of the record is taken: the title's query would wait behind the grab at the X
    // server, and the settings, the log lines and the statistic took several times as long
    // while the grab's worker set out.
    const CaptureEncoder::JobPtr encoding
        = encoder.Start(environment.grabDesktop, services.popup.Get().ShotSize());
    newestCapture = encoding;
    Pending capture { shot, encoding };
    // Read with the rest of the settings now: the popup's turn has enough to do.
    capture.popupLifeTimeMs = settings.popupTimeout * 1000;
    pending.append(capture);

    // Without the popup no close will come to save it: the capture is saved now.
    if (!settings.enableSnapshots)
        Save();
}

// The grabs that have come back, oldest first, put their thumbnails into their records; the
// capture still waiting for its popup shows in it.
void CaptureQueue::ShowGrabbedCaptures()
{
    if (!GrabRunning())
        emit GrabsBack();
    bool waitingForPopup = false;
    for (Pending& capture : pending) {
        if (capture.grabbed || !capture.encoding->IsGrabbed())
            continue;
        TakeInThumbnail(capture);
        waitingForPopup = waitingForPopup || &capture == CaptureInPopup();
    }
    if (waitingForPopup)
        ShowCaptureInPopup(*CaptureInPopup());
}

void CaptureQueue::TakeInThumbnail(Pending& capture)
{
    if (capture.grabbed)
        return;
    capture.grabbed = true;
    capture.shot.picture = QPixmap::fromImage(capture.encoding->Thumbnail());
    if (newestCapture.lock() == capture.encoding)
        services.misc.currentShot.picture = capture.shot.picture;
}

void CaptureQueue::ShowCaptureInPopup(const Pending& capture)
{
    // Tracking stopped while the desktop was grabbed: saved as the stop saves one on show.
    if (!services.isTracking()) {
        Save();
        return;
    }
    popupWindow& popup = services.popup.Get();
    const auto showPopup = [&] {
        return popup.ShowPopup(services.misc.GetUsername(), services.misc.GetUserCompany(),
            capture.shot.activeWindow, capture.shot.picture, capture.popupLifeTimeMs,
            screenshotPopupSlideMs);
    };
    // Another notice is on screen: it gives way.
    if (showPopup()) {
        services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Close prev popup"));
        popup.hide();
        services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show popup"));
        showPopup();
    }
    const CaptureEncoder::JobPtr encoding = capture.encoding;
    popup.SetPreviewPicture([encoding] { return encoding->Picture(); });
}

bool CaptureQueue::GrabRunning() const
{
    for (const Pending& capture : pending)
        if (!capture.encoding->IsGrabbed())
            return true;
    return false;
}

// The capture whose popup has not closed yet: the newest, unless its save was asked already.
CaptureQueue::Pending* CaptureQueue::CaptureInPopup()
{
    if (pending.isEmpty() || pending.last().saveAsked)
        return nullptr;
    return &pending.last();
}

void CaptureQueue::Save()
{
    Pending* capture = CaptureInPopup();
    if (!capture)
        return;
    // The memo the capture was taken with decides, not the one of this moment.
    if (capture->shot.memo.isEmpty()) {
        DiscardCapture();
        return;
    }
    capture->saveAsked = true;
    emit SaveAsked();
    // Saved on the event loop's next turn: the popup's close and the upload's start (its
    // request built around the PNG) each take a few milliseconds, and together they kept the
    // window from its events for a frame. A quit or a sign-out before that turn still finds the
    // capture among the pending ones.
    QMetaObject::invokeMethod(this, &CaptureQueue::SaveEncodedCaptures, Qt::QueuedConnection);
}

// Discarded in its popup: the encoding is cancelled and nothing is uploaded or cached.
void CaptureQueue::DiscardCapture()
{
    if (Pending* capture = CaptureInPopup()) {
        capture->encoding->Cancel();
        pending.removeLast();
    }
}

// Saves, oldest first, the captures whose popups have closed and whose PNG is made; a capture
// still encoding holds back the ones after it, so they leave in the order they were taken.
void CaptureQueue::SaveEncodedCaptures()
{
    for (int index = 0; index < pending.size();) {
        Pending& capture = pending[index];
        if (!capture.saveAsked) {
            ++index;
            continue;
        }
        if (!capture.encoding->IsFinished())
            return;
        const bool encoded = TakePng(capture);
        const bool toCache = capture.toCache;
        const MiscFunctions::SCREENSHOT shot = capture.shot;
        pending.removeAt(index);
        if (encoded && toCache)
            KeepInCache(shot);
        else if (encoded)
            SaveCapture(shot);
    }
}

bool CaptureQueue::TakePng(Pending& capture)
{
    TakeInThumbnail(capture);
    capture.shot.image = capture.encoding->Png();
    capture.shot.imageHoldsBoundary = capture.encoding->PngHoldsBoundary();
    // A capture without a picture would be refused at every upload and block the cache.
    if (capture.shot.image.isEmpty()) {
        qCWarning(captureLog) << "The desktop could not be captured; nothing to save";
        return false;
    }
    return true;
}

void CaptureQueue::SaveCapture(const MiscFunctions::SCREENSHOT& shot)
{
    // The popup stood between capture and save: the network is asked again, so an upload is
    // sent only when it can be. The service's host is looked up only while the network is up.
    const TrackingEnvironment& environment = services.environment;
    const bool online
        = networkEnabled && environment.isNetworkEnabled() && environment.isServerEnabled();
    services.log.AddToLog(LogManager::LOG_TEXT,
        online ? QStringLiteral("Work with cache  - check cache")
               : QStringLiteral("Network or server is disabled Work in cache"));
    const CaptureRoute::Way way
        = CaptureRoute::ForSave(online, services.cache.GetTotalStorageItems());
    if (way == CaptureRoute::Way::Upload)
        UploadAtOnce(shot);
    else if (way == CaptureRoute::Way::BehindCached)
        SaveBehindCached(shot);
    else
        KeepOffline(shot, way);
}

// Older captures wait in the cache: this one goes behind them, and the cache's upload sends
// them in the order they were taken.
void CaptureQueue::SaveBehindCached(const MiscFunctions::SCREENSHOT& shot)
{
    LogManager& log = services.log;
    OfflineStorage& cache = services.cache;
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Some screens in cache"));
    const bool taken = cache.AddToStorage(shot);
    const CaptureRoute::Outcome outcome
        = CaptureRoute::After(CaptureRoute::Way::BehindCached, taken, cache.IsUploading());
    if (outcome.fate == CaptureRoute::Fate::Cached)
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Current show was added to cache"));
    else
        UploadAtOnce(shot); // the cache is full or cannot be written: this one goes now
    if (!outcome.startsCacheUpload)
        return;
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload"));
    // The upload reads the records itself: no list of every cached picture is read here.
    cache.SetSecurityInfo(services.restApi.GetCurrentUserInfo());
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Upload thread was runned"));
    cache.UploadOfflineStorage();
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Upload thread was runned normal"));
    emit Cached(outcome.word);
}

// Quitting ends the event loop before a popup could close, an encoding end or an upload be
// answered: the captures not yet saved (their encoding waited for) and the uploads not yet
// confirmed go into the offline cache, which the next sign-in uploads.
void CaptureQueue::KeepUnsaved()
{
    for (const MiscFunctions::SCREENSHOT& shot : uploads.TakeUnanswered())
        KeepInCache(shot);
    // Oldest first, the one in its popup too; a capture without a memo would not be saved.
    for (Pending& capture : pending) {
        if (capture.shot.memo.isEmpty())
            continue;
        capture.encoding->Wait();
        if (TakePng(capture))
            KeepInCache(capture.shot);
    }
    pending.clear();
    HidePopup();
    // The cache writes on a thread of its own: the process may end once it is on disk.
    services.cache.WaitForChanges();
}

void CaptureQueue::KeepPendingInCache()
{
    if (Pending* capture = CaptureInPopup()) {
        if (capture->shot.memo.isEmpty())
            DiscardCapture();
        else
            capture->saveAsked = true;
    }
    // Tracking ends: nothing is uploaded after it, not even a capture still encoding.
    for (Pending& capture : pending)
        capture.toCache = true;
    HidePopup();
    QMetaObject::invokeMethod(this, &CaptureQueue::SaveEncodedCaptures, Qt::QueuedConnection);
}

// Nothing is left for its closing to save.
void CaptureQueue::HidePopup()
{
    if (popupWindow* popup = services.popup.IfMade())
        popup->hide();
}

void CaptureQueue::KeepInCache(const MiscFunctions::SCREENSHOT& shot)
{
    if (!services.cache.AddToStorage(shot))
        qCWarning(captureLog) << "A capture of" << shot.time
                              << "could not be kept: the cache is full";
}

void CaptureQueue::UploadAtOnce(const MiscFunctions::SCREENSHOT& shot)
{
    services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload screenshot"));
    // Kept until the service answers: a failed upload goes to the cache instead of being lost.
    uploads.Send(shot);
    services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload screenshot - ok"));
}

// A failed upload, or one that never left, is kept as a capture saved offline.
void CaptureQueue::WriteToCache(const MiscFunctions::SCREENSHOT& shot)
{
    KeepOffline(shot, CaptureRoute::ForSave(false, services.cache.GetTotalStorageItems()));
}

void CaptureQueue::KeepOffline(const MiscFunctions::SCREENSHOT& shot, CaptureRoute::Way way)
{
    LogManager& log = services.log;
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to work with cache"));
    bool taken = false;
    if (CaptureRoute::OffersToCache(way)) {
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Work with cache"));
        taken = services.cache.AddToStorage(shot);
    }
    const CaptureRoute::Outcome outcome
        = CaptureRoute::After(way, taken, services.cache.IsUploading());
    log.AddToLog(LogManager::LOG_TEXT,
        outcome.fate == CaptureRoute::Fate::Cached ? QStringLiteral("Work with cache - ok")
                                                   : QStringLiteral("Work with cache was failed"));
    emit Cached(outcome.word);
}

// A capture the cache took could not be written after all: it is lost, as with a full cache.
void CaptureQueue::OnCaptureNotKept()
{
    services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Work with cache was failed"));
    emit Cached(CaptureRoute::Word::CacheFull);
}
