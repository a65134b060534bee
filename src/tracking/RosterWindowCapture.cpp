#include "RosterWindow.h"

#include "CaptureInterval.h"
#include "CaptureRoute.h"
#include "LogCategories.h"
#include "ServiceConfig.h"
#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

#include <QDebug>

namespace {

const int screenshotPopupSlideMs = 2;

} // namespace

TrackingEnvironment RosterWindow::Environment() const
{
    return environment;
}

void RosterWindow::SetEnvironment(const TrackingEnvironment& replacement)
{
    environment = replacement;
}

int RosterWindow::GetPopupTimeout()
{
    return Scaled(CaptureInterval::NextMs(environment.randomDraw()));
}

int RosterWindow::Scaled(int msec) const
{
    return CaptureInterval::Scaled(msec, timeScale);
}

void RosterWindow::ConnectCapture()
{
    captureEncoder.setParent(this);
    captureEncoder.setObjectName(QStringLiteral("captureEncoder"));
    screenshotPopup.Wire([this](popupWindow& popup) {
        connect(&popup, &popupWindow::OnDiscardButtonClick, this, &RosterWindow::DiscardCapture);
    });
    connect(&captureEncoder, &CaptureEncoder::Grabbed, this, &RosterWindow::ShowGrabbedCaptures);
    connect(&captureEncoder, &CaptureEncoder::Finished, this, &RosterWindow::SaveEncodedCaptures);
    connect(&offlineStorage, &OfflineStorage::NotKept, this, &RosterWindow::OnCaptureNotKept);
    connect(&captureUploads, &CaptureUploads::Failed, this, &RosterWindow::WriteToCache);
}

void RosterWindow::GetScreenshot()
{
    if (!tracking.IsTracking())
        return;
    // The popup of the capture before still shows: hiding it saves that capture, with its own
    // record, before the new capture takes the record's place. A capture whose picture has not
    // come yet is saved as its popup's close would save it.
    if (popupWindow* popup = screenshotPopup.IfMade(); popup && popup->isVisible()) {
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Close prev popup"));
        popup->hide();
    }
    if (CaptureInPopup())
        SaveScreenshot();

    const int nextIntervalMs = GetPopupTimeout();
    networkEnabled = environment.isNetworkEnabled();

    MiscFunctions::SCREENSHOT& shot = misc.currentShot;
    shot = MiscFunctions::SCREENSHOT();
    shot.companyId = misc.GetUserCompanyID();
    // Named now: a capture that waits in the cache is uploaded only for the member who took it.
    shot.memberId = restApi.GetCurrentUserInfo().memberId;

    if (!ui->actionLast_snapshot->isEnabled()) {
        ui->actionLast_snapshot->setEnabled(true);
        misc.GetTrayIcon().SetLastSnapshotEnabled(true);
    }
    shot.workingTime = tracking.WorkingTime();
    shot.time = QTime::currentTime();
    shot.date = QDate::currentDate();
    shot.memo = misc.GetMemo();
    shot.activeWindow = environment.activeWindowTitle();

    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    if (settings.enableSnapshots)
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Try to show popup with screenshot"));
    ui->actionLast_snapshot->setEnabled(true);

    shot.statistic = misc.GetStatistic();
    misc.ResetStatistic();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Get statistic"));
    for (const MiscFunctions::EVENTS_STATISTIC& sample : qAsConst(shot.statistic)) {
        shot.keyStrokes += sample.keyEvents;
        shot.mouseClicks += sample.mouseEvents;
    }
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Get statistic - success"));

    if (screenshotTimer.isActive()) {
        screenshotTimer.stop();
        screenshotTimer.setInterval(nextIntervalMs);
        screenshotTimer.start();
    }
    if (networkEnabled)
        networkChecker.RunTestForHost(ServiceConfig::apiHost());

    // The desktop is grabbed, made small for the popup and encoded on the encoder's threads;
    // the record is taken now and gets its thumbnail when the grab comes back, and so does the
    // popup (ShowGrabbedCaptures), which therefore never shows in the grab itself. Started once
    // the rest of the record is taken: the title's query would wait behind the grab at the X
    // server, and the settings, the log lines and the statistic took several times as long
    // while the grab's worker set out.
    const CaptureEncoder::JobPtr encoding
        = captureEncoder.Start(environment.grabDesktop, ScreenshotPopup().ShotSize());
    newestCapture = encoding;
    PendingCapture capture { shot, encoding };
    // Read with the rest of the settings now: the popup's turn has enough to do.
    capture.popupLifeTimeMs = settings.popupTimeout * 1000;
    pendingCaptures.append(capture);

    // Without the popup no close will come to save it: the capture is saved now.
    if (!settings.enableSnapshots)
        SaveScreenshot();
}

// The grabs that have come back, oldest first, put their thumbnails into their records; the
// capture still waiting for its popup shows in it.
void RosterWindow::ShowGrabbedCaptures()
{
    // A state check put off for the grab runs on the next turn, not in the popup's.
    if (stateCheck.PutOff() && !GrabRunning())
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (stateCheck.PutOff())
                    StateChecker();
            },
            Qt::QueuedConnection);
    bool waitingForPopup = false;
    for (PendingCapture& capture : pendingCaptures) {
        if (capture.grabbed || !capture.encoding->IsGrabbed())
            continue;
        TakeInThumbnail(capture);
        waitingForPopup = waitingForPopup || &capture == CaptureInPopup();
    }
    if (waitingForPopup)
        ShowCaptureInPopup(*CaptureInPopup());
}

void RosterWindow::TakeInThumbnail(PendingCapture& capture)
{
    if (capture.grabbed)
        return;
    capture.grabbed = true;
    capture.shot.picture = QPixmap::fromImage(capture.encoding->Thumbnail());
    if (newestCapture.lock() == capture.encoding)
        misc.currentShot.picture = capture.shot.picture;
}

void RosterWindow::ShowCaptureInPopup(const PendingCapture& capture)
{
    // Tracking stopped while the desktop was grabbed: saved as the stop saves one on show.
    if (!tracking.IsTracking()) {
        SaveScreenshot();
        return;
    }
    const auto showPopup = [&] {
        return ScreenshotPopup().ShowPopup(misc.GetUsername(), misc.GetUserCompany(),
            capture.shot.activeWindow, capture.shot.picture, capture.popupLifeTimeMs,
            screenshotPopupSlideMs);
    };
    // Another notice is on screen: it gives way.
    if (showPopup()) {
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Close prev popup"));
        ScreenshotPopup().hide();
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show popup"));
        showPopup();
    }
    const CaptureEncoder::JobPtr encoding = capture.encoding;
    ScreenshotPopup().SetPreviewPicture([encoding] { return encoding->Picture(); });
}

bool RosterWindow::GrabRunning() const
{
    for (const PendingCapture& capture : pendingCaptures)
        if (!capture.encoding->IsGrabbed())
            return true;
    return false;
}

// The capture whose popup has not closed yet: the newest, unless its save was asked already.
RosterWindow::PendingCapture* RosterWindow::CaptureInPopup()
{
    if (pendingCaptures.isEmpty() || pendingCaptures.last().saveAsked)
        return nullptr;
    return &pendingCaptures.last();
}

void RosterWindow::SaveScreenshot()
{
    PendingCapture* capture = CaptureInPopup();
    if (!capture)
        return;
    // The memo the capture was taken with decides, not the one of this moment.
    if (capture->shot.memo.isEmpty()) {
        DiscardCapture();
        return;
    }
    capture->saveAsked = true;
    ResetWorkingTime();
    // Saved on the event loop's next turn: the popup's close and the upload's start (its
    // request built around the PNG) each take a few milliseconds, and together they kept the
    // window from its events for a frame. A quit or a sign-out before that turn still finds the
    // capture among the pending ones.
    QMetaObject::invokeMethod(this, &RosterWindow::SaveEncodedCaptures, Qt::QueuedConnection);
}

// Discarded in its popup: the encoding is cancelled and nothing is uploaded or cached.
void RosterWindow::DiscardCapture()
{
    if (PendingCapture* capture = CaptureInPopup()) {
        capture->encoding->Cancel();
        pendingCaptures.removeLast();
    }
}

// Saves, oldest first, the captures whose popups have closed and whose PNG is made; a capture
// still encoding holds back the ones after it, so they leave in the order they were taken.
void RosterWindow::SaveEncodedCaptures()
{
    for (int index = 0; index < pendingCaptures.size();) {
        PendingCapture& capture = pendingCaptures[index];
        if (!capture.saveAsked) {
            ++index;
            continue;
        }
        if (!capture.encoding->IsFinished())
            return;
        const bool encoded = TakePng(capture);
        const bool toCache = capture.toCache;
        const MiscFunctions::SCREENSHOT shot = capture.shot;
        pendingCaptures.removeAt(index);
        if (encoded && toCache)
            KeepInCache(shot);
        else if (encoded)
            SaveCapture(shot);
    }
}

bool RosterWindow::TakePng(PendingCapture& capture)
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

void RosterWindow::SaveCapture(const MiscFunctions::SCREENSHOT& shot)
{
    // The popup stood between capture and save: the network is asked again, so an upload is
    // sent only when it can be. The service's host is looked up only while the network is up.
    const bool online
        = networkEnabled && environment.isNetworkEnabled() && environment.isServerEnabled();
    logManager.AddToLog(LogManager::LOG_TEXT,
        online ? QStringLiteral("Work with cache  - check cache")
               : QStringLiteral("Network or server is disabled Work in cache"));
    const CaptureRoute::Way way
        = CaptureRoute::ForSave(online, offlineStorage.GetTotalStorageItems());
    if (way == CaptureRoute::Way::Upload)
        UploadAtOnce(shot);
    else if (way == CaptureRoute::Way::BehindCached)
        SaveBehindCached(shot);
    else
        KeepOffline(shot, way);
}

// Older captures wait in the cache: this one goes behind them, and the cache's upload sends
// them in the order they were taken.
void RosterWindow::SaveBehindCached(const MiscFunctions::SCREENSHOT& shot)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Some screens in cache"));
    const bool taken = offlineStorage.AddToStorage(shot);
    const CaptureRoute::Outcome outcome
        = CaptureRoute::After(CaptureRoute::Way::BehindCached, taken, offlineStorage.IsUploading());
    if (outcome.fate == CaptureRoute::Fate::Cached)
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Current show was added to cache"));
    else
        UploadAtOnce(shot); // the cache is full or cannot be written: this one goes now
    if (!outcome.startsCacheUpload)
        return;
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload"));
    // The upload reads the records itself: no list of every cached picture is read here.
    offlineStorage.SetSecurityInfo(restApi.GetCurrentUserInfo());
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Upload thread was runned"));
    offlineStorage.UploadOfflineStorage();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Upload thread was runned normal"));
    ShowCachedStatus(outcome.word);
}

// Quitting ends the event loop before a popup could close, an encoding end or an upload be
// answered: the captures not yet saved (their encoding waited for) and the uploads not yet
// confirmed go into the offline cache, which the next sign-in uploads.
void RosterWindow::KeepUnsavedCaptures()
{
    for (const MiscFunctions::SCREENSHOT& shot : captureUploads.TakeUnanswered())
        KeepInCache(shot);
    // Oldest first, the one in its popup too; a capture without a memo would not be saved.
    for (PendingCapture& capture : pendingCaptures) {
        if (capture.shot.memo.isEmpty())
            continue;
        capture.encoding->Wait();
        if (TakePng(capture))
            KeepInCache(capture.shot);
    }
    pendingCaptures.clear();
    // Nothing is left for its closing to save.
    if (popupWindow* popup = screenshotPopup.IfMade())
        popup->hide();
    // The cache writes on a thread of its own: the process may end once it is on disk.
    offlineStorage.WaitForChanges();
}

void RosterWindow::KeepCaptureInPopup()
{
    if (PendingCapture* capture = CaptureInPopup()) {
        if (capture->shot.memo.isEmpty())
            DiscardCapture();
        else
            capture->saveAsked = true;
    }
    // Tracking ends: nothing is uploaded after it, not even a capture still encoding.
    for (PendingCapture& capture : pendingCaptures)
        capture.toCache = true;
    // Nothing is left for its closing to save.
    if (popupWindow* popup = screenshotPopup.IfMade())
        popup->hide();
    QMetaObject::invokeMethod(this, &RosterWindow::SaveEncodedCaptures, Qt::QueuedConnection);
}

void RosterWindow::KeepInCache(const MiscFunctions::SCREENSHOT& shot)
{
    if (!offlineStorage.AddToStorage(shot))
        qCWarning(captureLog) << "A capture of" << shot.time
                              << "could not be kept: the cache is full";
}

void RosterWindow::UploadAtOnce(const MiscFunctions::SCREENSHOT& shot)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload screenshot"));
    // Kept until the service answers: a failed upload goes to the cache instead of being lost.
    captureUploads.Send(shot);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload screenshot - ok"));
}

// A failed upload, or one that never left, is kept as a capture saved offline.
void RosterWindow::WriteToCache(const MiscFunctions::SCREENSHOT& shot)
{
    KeepOffline(shot, CaptureRoute::ForSave(false, offlineStorage.GetTotalStorageItems()));
}

void RosterWindow::KeepOffline(const MiscFunctions::SCREENSHOT& shot, CaptureRoute::Way way)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to work with cache"));
    bool taken = false;
    if (CaptureRoute::OffersToCache(way)) {
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Work with cache"));
        taken = offlineStorage.AddToStorage(shot);
    }
    const CaptureRoute::Outcome outcome
        = CaptureRoute::After(way, taken, offlineStorage.IsUploading());
    logManager.AddToLog(LogManager::LOG_TEXT,
        outcome.fate == CaptureRoute::Fate::Cached ? QStringLiteral("Work with cache - ok")
                                                   : QStringLiteral("Work with cache was failed"));
    ShowCachedStatus(outcome.word);
}

// A capture the cache took could not be written after all: it is lost, as with a full cache.
void RosterWindow::OnCaptureNotKept()
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Work with cache was failed"));
    ShowCachedStatus(CaptureRoute::Word::CacheFull);
}

void RosterWindow::ShowCachedStatus(CaptureRoute::Word word)
{
    switch (word) {
    case CaptureRoute::Word::None:
        return;
    case CaptureRoute::Word::UploadingCache:
        cacheStatusText = tr("Uploading cache...");
        break;
    case CaptureRoute::Word::WritingToCache:
        cacheStatusText = tr("Writing to cache...");
        break;
    case CaptureRoute::Word::CacheFull:
        cacheStatusText = tr("Cache is full");
        break;
    }
    ChangeStatus(statusRestore.OnCaptureCached(currentStatus));
}
