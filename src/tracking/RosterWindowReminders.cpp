#include "RosterWindow.h"

#include "SettingsProvider.h"

namespace {

const int memoPopupSlideStep = 15;

} // namespace

void RosterWindow::StartStopReminderCheck()
{
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    if (isTracking || !settings.setReminderOnStop)
        return;
    if (stopReminderTimer.isActive())
        stopReminderTimer.stop();
    connect(&stopReminderTimer, &QTimer::timeout, this, &RosterWindow::OnStopTimerReminder,
        Qt::UniqueConnection);
    stopReminderTimer.setInterval(StopReminder::RemindInterval(settings.stopReminderTimeout));
    stopReminderTimer.start();
}

void RosterWindow::OnStopTimerReminder()
{
    if (isTracking)
        return;
    const QString memo = misc.GetMemo();
    switch (SettingsProvider::instance()->GetCurrentSettings().stopReminderType) {
    case 0: {
        StopReminder& reminder = misc.GetStopReminder();
        reminder.SetCurrentMemo(memo);
        reminder.setModal(true);
        reminder.show();
        reminder.activateWindow();
        break;
    }
    case 1:
        environment.showTrayWarning(
            tr("Stop reminder"), tr("Time tracking is stopped!\n\n Memo: ") + memo);
        break;
    default:
        break;
    }
}

// Tracking has started or the member signed out: a snoozed reminder must not come back.
void RosterWindow::DismissStopReminder()
{
    if (StopReminder* reminder = misc.StopReminderHolder().IfMade())
        reminder->close();
}

void RosterWindow::SetMemo(const QString& memoText, int timeOut)
{
    if (memoReminderTimer.isActive())
        memoReminderTimer.stop();
    if (timeOut > 0) {
        memoReminderTimer.setInterval(timeOut);
        memoReminderTimer.start();
    }
    misc.SetMemo(memoText);
    ChangeStatus(currentStatus);
}

void RosterWindow::MemoIsCanceled()
{
    if (!misc.GetMemo().isEmpty())
        return;
    SetMemo(QString(), 0);
    // Tracking never runs without a memo.
    if (!isTracking)
        showStopPopup = false;
    on_btnTimeControl_released();
}

void RosterWindow::OnMemoReminderTimer()
{
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    const QString memo = misc.GetMemo();
    switch (settings.memoReminderType) {
    case 0: {
        RemindDialog& reminder = misc.GetRemindDialog();
        reminder.SetCurrentMemoText(memo);
        reminder.showNormal();
        break;
    }
    case 1: {
        popupWindow& popup = ScreenshotPopup();
        if (popup.isVisible())
            popup.close();
        popup.ShowPopup(misc.GetUsername(), misc.GetUserCompany(),
            memo.trimmed().isEmpty() ? tr("Please set memo...") : memo, tr("Memo..."),
            settings.popupTimeout * 1000, memoPopupSlideStep);
        break;
    }
    default:
        break;
    }
    // One reminder per memo: the next memo with an interval arms it again.
    memoReminderTimer.stop();
}

void RosterWindow::on_actionMemo_triggered()
{
    misc.OpenMemoDialog();
    logManager.AddToLog(LogManager::LOG_MEMO_DIALOG_OPENED);
}
