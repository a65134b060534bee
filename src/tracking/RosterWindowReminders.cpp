#include "RosterWindow.h"

#include "ReminderSchedule.h"
#include "SettingsProvider.h"

namespace {

const int memoPopupSlideStep = 15;

} // namespace

void RosterWindow::StartStopReminderCheck()
{
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    const std::optional<int> interval = ReminderSchedule::StopReminderArming(
        tracking.IsTracking(), settings.setReminderOnStop, settings.stopReminderTimeout);
    if (!interval)
        return;
    if (stopReminderTimer.isActive())
        stopReminderTimer.stop();
    connect(&stopReminderTimer, &QTimer::timeout, this, &RosterWindow::OnStopTimerReminder,
        Qt::UniqueConnection);
    stopReminderTimer.setInterval(*interval);
    stopReminderTimer.start();
}

void RosterWindow::OnStopTimerReminder()
{
    const ReminderSchedule::Kind kind = ReminderSchedule::StopReminderShown(
        tracking.IsTracking(), SettingsProvider::instance()->GetCurrentSettings().stopReminderType);
    const QString memo = misc.GetMemo();
    switch (kind) {
    case ReminderSchedule::Kind::Dialog: {
        StopReminder& reminder = misc.GetStopReminder();
        reminder.SetCurrentMemo(memo);
        reminder.setModal(true);
        reminder.show();
        reminder.activateWindow();
        break;
    }
    case ReminderSchedule::Kind::Notice:
        environment.showTrayWarning(
            tr("Stop reminder"), tr("Time tracking is stopped!\n\n Memo: ") + memo);
        break;
    case ReminderSchedule::Kind::None:
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
    if (ReminderSchedule::MemoReminderArmed(timeOut)) {
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
    if (!tracking.IsTracking())
        tracking.QuietNextStop();
    on_btnTimeControl_released();
}

void RosterWindow::OnMemoReminderTimer()
{
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    const QString memo = misc.GetMemo();
    switch (ReminderSchedule::KindOf(settings.memoReminderType)) {
    case ReminderSchedule::Kind::Dialog: {
        RemindDialog& reminder = misc.GetRemindDialog();
        reminder.SetCurrentMemoText(memo);
        reminder.showNormal();
        break;
    }
    case ReminderSchedule::Kind::Notice: {
        popupWindow& popup = ScreenshotPopup();
        if (popup.isVisible())
            popup.close();
        popup.ShowPopup(misc.GetUsername(), misc.GetUserCompany(),
            memo.trimmed().isEmpty() ? tr("Please set memo...") : memo, tr("Memo..."),
            settings.popupTimeout * 1000, memoPopupSlideStep);
        break;
    }
    case ReminderSchedule::Kind::None:
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
