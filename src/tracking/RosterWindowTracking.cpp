#include "RosterWindow.h"

#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

#include <QFontMetrics>

namespace {

const char teamIdProperty[] = "PropertyIDForIDStorage";
const int firstScreenshotMs = 70 * 1000;
const int workingTimeTickMs = 1000;
const int restIntervalMs = 60 * 1000;
const int screensIntervalMs = 120 * 1000;
const int avatarsIntervalMs = 900 * 1000;
const int stopPopupSlideMs = 5;

} // namespace

void RosterWindow::ConnectTimers()
{
    // Named children, so each can be found by name; none is started here.
    const QList<QPair<QTimer*, const char*>> timers { { &screenshotTimer, "screenshotTimer" },
        { &stopReminderTimer, "stopReminderTimer" }, { &stateTimer, "stateTimer" },
        { &memoReminderTimer, "memoReminderTimer" }, { &restTimer, "restTimer" },
        { &screensTimer, "screensTimer" }, { &workingTimeTimer, "workingTimeTimer" },
        { &avatarsTimer, "avatarsTimer" } };
    for (const auto& timer : timers) {
        timer.first->setParent(this);
        timer.first->setObjectName(QLatin1String(timer.second));
    }

    connect(&screenshotTimer, &QTimer::timeout, this, &RosterWindow::GetScreenshot);
    connect(&stateTimer, &QTimer::timeout, this, &RosterWindow::StateChecker);
    connect(&memoReminderTimer, &QTimer::timeout, this, &RosterWindow::OnMemoReminderTimer);
    connect(&restTimer, &QTimer::timeout, this, &RosterWindow::RestTimer);
    connect(&screensTimer, &QTimer::timeout, this, &RosterWindow::ScreensTimer);
    connect(&workingTimeTimer, &QTimer::timeout, this, &RosterWindow::OnWorkingTimeTimerTimeout);
    connect(&avatarsTimer, &QTimer::timeout, this, &RosterWindow::AvatarsTimer);

    restTimer.setInterval(restIntervalMs);
    screensTimer.setInterval(screensIntervalMs);
    workingTimeTimer.setInterval(workingTimeTickMs);
    avatarsTimer.setInterval(avatarsIntervalMs);
}

void RosterWindow::on_btnTimeControl_released()
{
    if (isTracking)
        StopTracking();
    else
        StartTracking();
}

void RosterWindow::StartTrackingTime()
{
    if (!isTracking)
        on_btnTimeControl_released();
}

void RosterWindow::StopTrackingTime()
{
    if (isTracking)
        on_btnTimeControl_released();
}

void RosterWindow::on_actionTrackingTime_triggered()
{
    on_btnTimeControl_released();
}

void RosterWindow::StartTracking()
{
    isTracking = true;
    const QString team = ui->cmbCurrentCompany->currentText();
    misc.SetUserCompany(rosterManager.GetCompanyIDbyShortName(team), team);
    // No team, or one the roster does not know: there is nothing to track time for, and the
    // service must not hear of a team -1.
    if (misc.GetUserCompany().isEmpty() || misc.GetUserCompanyID() == -1) {
        misc.SetUserCompany(-1, QString());
        isTracking = false;
        return;
    }
    stateCheck.TrackingStarted();
    DismissStopReminder();

    ui->btnTimeControl->setText(tr("Log time OFF"));
    ui->lblTimeState->setText(tr("Log time: ON"));
    logManager.AddToLog(LogManager::LOG_MEMO_DIALOG_OPENED);
    screenshotTimer.setInterval(Scaled(firstScreenshotMs));
    screenshotTimer.start();
    ui->actionTrackingTime->setText(tr("Stop tracking time"));
    ui->actionMemo->setEnabled(true);
    ui->menuScreensnap->setEnabled(true);

    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    ChangeStatus(statusRestore.AtStart(currentStatus, settings.setMyChatStatusToWorkingAtStart));

    ResetWorkingTime();
    workingTimeTimer.setInterval(workingTimeTickMs);
    workingTimeTimer.start();
    SetTeam(misc.GetUserCompany());

    logManager.AddToLog(LogManager::LOG_TRACKING_STARTED, misc.GetUserCompany());
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Send start work notify for server"));
    restApi.StartWork(QTime::currentTime(), misc.GetUserCompanyID());
    ++workNoticesPending;
    ShowTrackingState();
}

void RosterWindow::StopTracking()
{
    isTracking = false;
    StartStopReminderCheck();

    ui->btnTimeControl->setText(tr("LOG TIME ON"));
    ui->lblTimeState->setText(tr("Log time: OFF"));
    misc.GetTrayIcon().ChangeUserTeam(QString());
    // No team is tracked now, so none stays checked in the main window's menu either.
    UncheckTeamMenu();

    ChangeStatus(statusRestore.AtStop(currentStatus));
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    if (settings.setMyChatStatusToPrivateWhenStop)
        ChangeStatus(RosterManager::STATUS_DND);

    if (settings.enableSnapshots && showStopPopup)
        ShowTrackingStoppedPopup();

    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Send stop work notify to server"));
    restApi.StopWork(QTime::currentTime(), misc.GetUserCompanyID());
    ++workNoticesPending;
    logManager.AddToLog(LogManager::LOG_TRACKING_STOPPED, misc.GetUserCompany());
    misc.SetUserCompany(-1, QString());

    ui->actionTrackingTime->setText(tr("Start tracking time"));
    ui->actionMemo->setEnabled(false);
    ui->actionLast_snapshot->setEnabled(false);
    ui->menuScreensnap->setEnabled(false);
    misc.GetTrayIcon().SetLastSnapshotEnabled(false);

    misc.StopCountEvents();
    misc.ResetAllStatistic();
    showStopPopup = true;

    if (workingTimeTimer.isActive()) {
        ResetWorkingTime();
        workingTimeTimer.stop();
    }
    if (screenshotTimer.isActive())
        screenshotTimer.stop();
    ShowTrackingState();
}

// A screenshot popup still on screen goes first: hiding it saves its capture.
void RosterWindow::ShowTrackingStoppedPopup()
{
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Try to show time tracking stop message"));
    const int lifeTimeMs = SettingsProvider::instance()->GetCurrentSettings().popupTimeout * 1000;
    const auto showPopup = [&] {
        return ScreenshotPopup().ShowPopup(misc.GetUsername(), misc.GetUserCompany(),
            tr("Time tracking has been stopped"), lifeTimeMs, stopPopupSlideMs, false);
    };
    if (!showPopup())
        return;
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Close prev popup"));
    ScreenshotPopup().hide();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show popup"));
    showPopup();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Popup was showed"));
}

// The common end of start and stop.
void RosterWindow::ShowTrackingState()
{
    misc.GetTrayIcon().ChangeTrackingTime(isTracking);

    QLabel* state = ui->lblTimeState;
    const QFontMetrics metrics(state->font());
    state->resize(metrics.horizontalAdvance(state->text()), metrics.height());
    const QRect button = ui->btnTimeControl->geometry();
    state->move(button.x() + button.width() - state->width(), state->y());

    ui->picUserAvatar->setPixmap(misc.GetUserAvatar(isTracking));
}

void RosterWindow::UncheckTeamMenu()
{
    const QList<QAction*> actions = ui->menuSelect_team->actions();
    for (QAction* action : actions)
        action->setChecked(false);
}

void RosterWindow::SetTeam(const QString& shortTeamName)
{
    const int id = rosterManager.GetCompanyIDbyShortName(shortTeamName);
    if (id == -1)
        return;
    const QList<QAction*> actions = ui->menuSelect_team->actions();
    for (QAction* action : actions) {
        const QVariant actionId = action->property(teamIdProperty);
        action->setChecked(actionId.isValid() && actionId.toInt() == id);
    }

    SetMemo(QString(), 0);
    misc.SetUserCompany(id, shortTeamName);

    // Every start asks for a memo, without taking the keyboard from the member.
    Memo& memo = misc.GetMemoDialog();
    memo.SetCurrentUserAndCompany(misc.GetUsername(), misc.GetUserCompany());
    memo.setModal(false);
    memo.show();

    misc.GetTrayIcon().ChangeUserTeam(misc.GetUserCompany());
    misc.ResetStatistic();
    misc.StartCountEvents();
}

void RosterWindow::ChangeTeam(const QString& shortTeamName)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Change team"));
    if (shortTeamName.isEmpty()) {
        UncheckTeamMenu();
        if (isTracking)
            on_btnTimeControl_released();
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Team name is blank - stop tracking time"));
        return;
    }
    if (shortTeamName == misc.GetUserCompany()) {
        UncheckTeamMenu();
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Team name is current team - stop tracking time"));
        if (isTracking)
            on_btnTimeControl_released();
        return;
    }

    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Change team - start seatch for teams"));
    const QList<RosterManager::ROSTER_GROUP_ITEM> groups = rosterManager.GetRosterList();
    for (const RosterManager::ROSTER_GROUP_ITEM& group : groups) {
        if (group.name != shortTeamName)
            continue;
        if (isTracking) {
            // A switch, not an end of work: no stop popup.
            showStopPopup = false;
            on_btnTimeControl_released();
        }
        const int index = ui->cmbCurrentCompany->findText(shortTeamName, Qt::MatchExactly);
        if (index >= 0) {
            ui->cmbCurrentCompany->setCurrentIndex(index);
            on_btnTimeControl_released();
        }
        return;
    }
}

void RosterWindow::OnMenuTeamsClick(QAction* action)
{
    if (action->isChecked()) {
        ChangeTeam(action->text());
    } else if (isTracking) {
        on_btnTimeControl_released();
        ChangeTeam(QString());
        misc.GetTrayIcon().ChangeUserTeam(QString());
    }
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
        if (isTracking)
            on_btnTimeControl_released();
        break;
    case MiscFunctions::SHORTCUT_START_TRACKING_TIME:
        if (!isTracking)
            on_btnTimeControl_released();
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

// The log tells when the clock starts counting from zero, not every second it counts on: the
// activity log grows with events, not with time.
void RosterWindow::OnWorkingTimeTimerTimeout()
{
    const bool fromZero = workingTime == QTime(0, 0);
    if (fromZero)
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Working timer  - try to tick"));
    workingTime = workingTime.addSecs(1);
    if (fromZero)
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Working timer - success"));
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
