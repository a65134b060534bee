#include "RosterWindow.h"

#include "ServiceConfig.h"
#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

#include <QBuffer>
#include <QDebug>

namespace {

const int captureIntervalMs = 540 * 1000;
const int longCaptureIntervalMs = 660 * 1000;
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
    return Scaled(environment.randomDraw() == 0 ? longCaptureIntervalMs : captureIntervalMs);
}

int RosterWindow::Scaled(int msec) const
{
    return qMax(1, qRound(msec * timeScale));
}

void RosterWindow::GetScreenshot()
{
    if (!isTracking)
        return;
    // The popup of the capture before still shows: hiding it saves that capture, with its own
    // record, before the new capture takes the record's place.
    if (screenshotPopup.isVisible()) {
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Close prev popup"));
        screenshotPopup.hide();
    }

    const int nextIntervalMs = GetPopupTimeout();
    networkEnabled = environment.isNetworkEnabled();

    MiscFunctions::SCREENSHOT& shot = misc.currentShot;
    shot = MiscFunctions::SCREENSHOT();
    shot.companyId = misc.GetUserCompanyID();
    // Named now: a capture that waits in the cache is uploaded only for the member who took it.
    shot.memberId = restApi.GetCurrentUserInfo().memberId;
    shotAwaitingSave = true;

    if (!ui->actionLast_snapshot->isEnabled()) {
        ui->actionLast_snapshot->setEnabled(true);
        misc.GetTrayIcon().SetLastSnapshotEnabled(true);
    }
    shot.picture = environment.grabDesktop();
    shot.workingTime = workingTime;
    shot.time = QTime::currentTime();
    shot.date = QDate::currentDate();
    shot.memo = misc.GetMemo();
    shot.activeWindow = environment.activeWindowTitle();

    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    if (settings.enableSnapshots) {
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Try to show popup with screenshot"));
        screenshotPopup.ShowPopup(misc.GetUsername(), misc.GetUserCompany(), shot.activeWindow,
            shot.picture, settings.popupTimeout * 1000, screenshotPopupSlideMs);
    }
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

    // Without the popup no close will come to save it: the capture is saved now.
    if (!settings.enableSnapshots)
        SaveScreenshot();
}

void RosterWindow::SaveScreenshot()
{
    if (!shotAwaitingSave)
        return;
    shotAwaitingSave = false;
    MiscFunctions::SCREENSHOT& shot = misc.currentShot;
    // The memo the capture was taken with decides, not the one of this moment.
    if (shot.memo.isEmpty())
        return;
    ResetWorkingTime();
    if (!EncodeCapture(shot))
        return;

    // The popup stood between capture and save: the network is asked again, so an upload is
    // sent only when it can be.
    if (networkEnabled && environment.isNetworkEnabled() && environment.isServerEnabled()) {
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Work with cache  - check cache"));
        if (offlineStorage.GetTotalStorageItems() < 1) {
            UploadAtOnce();
            return;
        }
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Some screens in cache"));
        if (offlineStorage.AddToStorage(shot))
            logManager.AddToLog(
                LogManager::LOG_TEXT, QStringLiteral("Current show was added to cache"));
        else
            UploadAtOnce(); // the cache is full or cannot be written: this one goes now
        if (offlineStorage.IsUploading())
            return;
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload"));
        offlineStorage.SetSecurityInfo(restApi.GetCurrentUserInfo());
        offlineStorage.GetOfflineStorage();
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Upload thread was runned"));
        offlineStorage.UploadOfflineStorage();
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Upload thread was runned normal"));
        ShowCachedStatus(tr("Uploading cache..."));
        return;
    }
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Network or server is disabled Work in cache"));
    WriteToCache(shot);
}

bool RosterWindow::EncodeCapture(MiscFunctions::SCREENSHOT& shot)
{
    QBuffer buffer(&shot.image);
    buffer.open(QIODevice::WriteOnly);
    shot.picture.save(&buffer, "PNG");
    buffer.close();
    // A capture without a picture would be refused at every upload and block the cache.
    if (shot.image.isEmpty()) {
        qWarning() << "The desktop could not be captured; nothing to save";
        return false;
    }
    return true;
}

// Quitting ends the event loop before a popup could close or an upload be answered: the
// capture still in its popup and the uploads not yet confirmed go into the offline cache, which
// the next sign-in uploads.
void RosterWindow::KeepUnsavedCaptures()
{
    KeepCaptureInPopup();
    for (const MiscFunctions::SCREENSHOT& shot : qAsConst(pendingUploads))
        KeepInCache(shot);
    pendingUploads.clear();
}

void RosterWindow::KeepCaptureInPopup()
{
    if (shotAwaitingSave) {
        shotAwaitingSave = false;
        MiscFunctions::SCREENSHOT& shot = misc.currentShot;
        if (!shot.memo.isEmpty() && EncodeCapture(shot))
            KeepInCache(shot);
    }
    // Nothing is left for its closing to save.
    screenshotPopup.hide();
}

void RosterWindow::KeepInCache(const MiscFunctions::SCREENSHOT& shot)
{
    if (!offlineStorage.AddToStorage(shot))
        qWarning() << "A capture of" << shot.time << "could not be kept: the cache is full";
}

void RosterWindow::UploadAtOnce()
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload screenshot"));
    // Kept until the service answers: a failed upload goes to the cache instead of being lost.
    pendingUploads.append(misc.currentShot);
    misc.UploadCurrentShot();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to upload screenshot - ok"));
}

void RosterWindow::WriteToCache(const MiscFunctions::SCREENSHOT& shot)
{
    const bool cacheFree = offlineStorage.GetCacheIsFree();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to work with cache"));
    if (cacheFree) {
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Work with cache"));
        if (offlineStorage.AddToStorage(shot)) {
            logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Work with cache - ok"));
            ShowCachedStatus(tr("Writing to cache..."));
            return;
        }
    }
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Work with cache was failed"));
    ShowCachedStatus(tr("Cache is full"));
}

void RosterWindow::ShowCachedStatus(const QString& word)
{
    cacheStatusText = word;
    KeepStatusToRestore();
    ChangeStatus(RosterManager::STATUS_ONLINE_CACHED);
}

// Answers to the uploads of UploadAtOnce; every other answer of the client is left alone.
void RosterWindow::OnScreenshotUploaded()
{
    if (!pendingUploads.isEmpty())
        pendingUploads.removeFirst();
}

void RosterWindow::OnScreenshotUploadFailed()
{
    if (pendingUploads.isEmpty())
        return;
    WriteToCache(pendingUploads.takeFirst());
}
