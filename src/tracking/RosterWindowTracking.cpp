#include "RosterWindow.h"

#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

namespace {

const int firstScreenshotMs = 70 * 1000;
const int restIntervalMs = 60 * 1000;
const int screensIntervalMs = 120 * 1000;
const int avatarsIntervalMs = 900 * 1000;

} // namespace

void RosterWindow::ConnectTimers()
{
    // Named children, so each can be found by name; none is started here.
    const QList<QPair<QTimer*, const char*>> timers { { &screenshotTimer, "screenshotTimer" },
        { &stopReminderTimer, "stopReminderTimer" }, { &stateTimer, "stateTimer" },
        { &memoReminderTimer, "memoReminderTimer" }, { &restTimer, "restTimer" },
        { &screensTimer, "screensTimer" }, { &avatarsTimer, "avatarsTimer" } };
    for (const auto& timer : timers) {
        timer.first->setParent(this);
        timer.first->setObjectName(QLatin1String(timer.second));
    }

    connect(&screenshotTimer, &QTimer::timeout, this, &RosterWindow::GetScreenshot);
    connect(&stateTimer, &QTimer::timeout, this, &RosterWindow::StateChecker);
    connect(&memoReminderTimer, &QTimer::timeout, this, &RosterWindow::OnMemoReminderTimer);
    connect(&restTimer, &QTimer::timeout, this, &RosterWindow::RestTimer);
    connect(&screensTimer, &QTimer::timeout, this, &RosterWindow::ScreensTimer);
    connect(&avatarsTimer, &QTimer::timeout, this, &RosterWindow::AvatarsTimer);

    restTimer.setInterval(restIntervalMs);
    screensTimer.setInterval(screensIntervalMs);
    avatarsTimer.setInterval(avatarsIntervalMs);
    tracking.Attach({ ui->btnTimeControl, ui->lblTimeState, ui->picUserAvatar,
                        ui->actionTrackingTime, ui->actionMemo, ui->actionLast_snapshot,
                        ui->menuScreensnap, ui->cmbCurrentCompany, ui->menuSelect_team },
        TrackingHooks());
}

void RosterWindow::on_btnTimeControl_released()
{
    tracking.Ask(TrackingControl::Request::Toggle);
}

void RosterWindow::StartTrackingTime()
{
    tracking.Ask(TrackingControl::Request::Start);
}

void RosterWindow::StopTrackingTime()
{
    tracking.Ask(TrackingControl::Request::Stop);
}

void RosterWindow::on_actionTrackingTime_triggered()
{
    on_btnTimeControl_released();
}

TrackingControl::Hooks RosterWindow::TrackingHooks()
{
    TrackingControl::Hooks hooks;
    hooks.starting = [this] {
        stateCheck.TrackingStarted();
        DismissStopReminder();
    };
    hooks.stopping = [this] {
        StartStopReminderCheck();
    };
    hooks.captures = [this](bool on) {
        if (on) {
            screenshotTimer.setInterval(Scaled(firstScreenshotMs));
            screenshotTimer.start();
        } else if (screenshotTimer.isActive()) {
            screenshotTimer.stop();
        }
    };
    hooks.status = [this](bool tracking) {
        const SettingsProvider::SETTINGS settings
            = SettingsProvider::instance()->GetCurrentSettings();
        if (tracking) {
            ChangeStatus(
                statusRestore.AtStart(currentStatus, settings.setMyChatStatusToWorkingAtStart));
            return;
        }
        ChangeStatus(statusRestore.AtStop(currentStatus));
        if (settings.setMyChatStatusToPrivateWhenStop)
            ChangeStatus(RosterManager::STATUS_DND);
    };
    // A team's work starts without a memo (and its reminder): the memo dialog that follows asks
    // for one.
    hooks.teamSet = [this] {
        SetMemo(QString(), 0);
    };
    hooks.popup = [this]() -> popupWindow& {
        return ScreenshotPopup();
    };
    return hooks;
}

void RosterWindow::SetTeam(const QString& shortTeamName)
{
    tracking.SetTeam(shortTeamName);
}

void RosterWindow::ChangeTeam(const QString& shortTeamName)
{
    tracking.ChangeTeam(shortTeamName);
}

void RosterWindow::OnMenuTeamsClick(QAction* action)
{
    tracking.OnTeamMenuClick(action);
}

void RosterWindow::ShortcutActivated(int tagValue)
{
    if (!isSignedIn)
        return;
    switch (tagValue) {
    case MiscFunctions::SHORTCUT_OPEN_TEAM_ROOM:
        misc.GetTrayIcon().OnTrayDoubleClick(QSystemTrayIcon::Trigger);
        break;
    case MiscFunctions::SHORTCUT_OPEN_PREFERENCES:
        misc.ShowPreferences();
        break;
    case MiscFunctions::SHORTCUT_OPEN_MEMO:
        on_actionMemo_triggered();
        break;
    case MiscFunctions::SHORTCUT_STOP_TRACKING_TIME:
        StopTrackingTime();
        break;
    case MiscFunctions::SHORTCUT_START_TRACKING_TIME:
        StartTrackingTime();
        break;
    case MiscFunctions::SHORTCUT_LAST_SNAPSHOT:
        on_actionLast_snapshot_triggered();
        break;
    case MiscFunctions::SHORTCUT_SNAP_ALL_DESKTOP:
    case MiscFunctions::SHORTCUT_SNAP_1_DISPLAY:
    case MiscFunctions::SHORTCUT_SNAP_2_DISPLAY:
    case MiscFunctions::SHORTCUT_SNAP_3_DISPLAY:
        TakeScreensnap(tagValue - MiscFunctions::SHORTCUT_SNAP_ALL_DESKTOP);
        break;
    default:
        break;
    }
}

void RosterWindow::OnWorkingTimeTimerTimeout()
{
    tracking.Tick();
}

void RosterWindow::RestTimer()
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Set refreshing user's roster list"));
    restApi.Roster_GetTeams();
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Set refreshing user's roster list - success"));
}

void RosterWindow::ScreensTimer()
{
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Set load users screenshots for roster list"));
    restApi.SetIsNeedScreenshots(true);
    logManager.AddToLog(LogManager::LOG_TEXT,
        QStringLiteral("Set load users screenshots for roster list - success"));
}

void RosterWindow::AvatarsTimer()
{
    restApi.SetIsNeedAvatars(true);
}
