#include "RosterWindow.h"

#include "CaptureInterval.h"
#include "ui_RosterWindow.h"

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

CaptureQueue::Services RosterWindow::CaptureServices()
{
    const auto isTracking = [this] {
        return tracking.IsTracking();
    };
    const auto worked = [this] {
        return tracking.WorkingTime();
    };
    return { environment, misc, restApi, logManager, offlineStorage, networkChecker,
        screenshotPopup, isTracking, worked };
}

void RosterWindow::ConnectCapture()
{
    captureQueue.setObjectName(QStringLiteral("captureQueue"));
    connect(&captureQueue, &CaptureQueue::Taken, this, &RosterWindow::OnCaptureTaken);
    connect(&captureQueue, &CaptureQueue::SaveAsked, this, &RosterWindow::ResetWorkingTime);
    connect(&captureQueue, &CaptureQueue::GrabsBack, this, [this] {
        // A state check put off for the grab runs on the next turn, not in the popup's.
        if (stateCheck.PutOff())
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (stateCheck.PutOff())
                        StateChecker();
                },
                Qt::QueuedConnection);
    });
    connect(&captureQueue, &CaptureQueue::Cached, this, &RosterWindow::ShowCachedStatus);
}

void RosterWindow::GetScreenshot()
{
    if (tracking.IsTracking())
        captureQueue.Take();
}

void RosterWindow::OnCaptureTaken()
{
    const int nextIntervalMs = GetPopupTimeout();
    if (!ui->actionLast_snapshot->isEnabled()) {
        ui->actionLast_snapshot->setEnabled(true);
        misc.GetTrayIcon().SetLastSnapshotEnabled(true);
    }
    if (screenshotTimer.isActive()) {
        screenshotTimer.stop();
        screenshotTimer.setInterval(nextIntervalMs);
        screenshotTimer.start();
    }
}

void RosterWindow::SaveScreenshot()
{
    captureQueue.Save();
}

void RosterWindow::KeepUnsavedCaptures()
{
    captureQueue.KeepUnsaved();
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
