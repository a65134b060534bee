#include "RosterWindow.h"

#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

#include <QApplication>

namespace {

const int idleLimitMs = 900 * 1000;
const int inputJustNowMs = 999;
const float tickSeconds = 0.25f;
// A grab that keeps the X server longer than this no longer holds the ticks back.
const int maxStateChecksPutOff = 4;

bool IsIdle(RosterManager::STATUS status)
{
    return status == RosterManager::STATUS_IDLE_WORKING || status == RosterManager::STATUS_IDLE;
}

} // namespace

// The tick's log lines tell what changed since the last tick (idle begun, another number of
// chats, the network gone or back), so the activity log grows with events, not with time.
void RosterWindow::StateChecker()
{
    // While a capture's grab runs the tick's X queries (idle time, screen saver) would wait
    // behind its bands at the server, a frame and more: the tick runs once the grab is back.
    if (GrabRunning() && stateChecksPutOff < maxStateChecksPutOff) {
        ++stateChecksPutOff;
        return;
    }
    stateChecksPutOff = 0;
    CheckIdleTime();
    CheckLockAndScreensaver();
    ShowChatAndTeamCount();
    if (!isTracking) {
        loggedNetwork = -1; // the next tracking period tells it afresh
        // A cached status left by the last save of a tracking period goes once the network is
        // there, as it would while tracking.
        if (currentStatus == RosterManager::STATUS_ONLINE_CACHED && !isIdle
            && environment.isNetworkEnabled())
            ChangeStatus(StatusToRestore());
        return;
    }
    CheckUniverseAccess();
    CheckNetwork();
}

// Idle time and network loss each show their own status over the one they replace, which is
// kept once in savedStatus. Idle shows on top of network loss; each tick changes the status at
// most once.
void RosterWindow::CheckIdleTime()
{
    if (environment.idleTime() >= idleLimitMs) {
        if (!IsIdle(currentStatus)) {
            KeepStatusToRestore();
            ChangeStatus(
                isTracking ? RosterManager::STATUS_IDLE_WORKING : RosterManager::STATUS_IDLE);
        }
        if (!isIdle) {
            logManager.AddToLog(LogManager::LOG_STOPPED_BY_IDLE_TIME);
        }
        isIdle = true;
        return;
    }
    if (!isIdle || environment.idleTime() > inputJustNowMs)
        return;
    isIdle = false;
    // Back at the desk while the network is still gone: straight to the cached status.
    if (isTracking && !environment.isNetworkEnabled())
        ChangeStatus(RosterManager::STATUS_ONLINE_CACHED);
    else
        ChangeStatus(StatusToRestore());
}

void RosterWindow::CheckLockAndScreensaver()
{
    // The settings are read only when they decide something.
    if (isTracking && environment.isSystemLocked()
        && SettingsProvider::instance()->GetCurrentSettings().stopWhileComputerIsLocked) {
        on_btnTimeControl_released();
        logManager.AddToLog(LogManager::LOG_STOPPED_BY_SYSTEM_LOCK);
    }
    if (isTracking && environment.isScreensaverActive()
        && SettingsProvider::instance()->GetCurrentSettings().stopWhileComputerIsLocked) {
        logManager.AddToLog(LogManager::LOG_STOPPED_BY_SYSTEM_LOCK);
        on_btnTimeControl_released();
    }
}

void RosterWindow::ShowChatAndTeamCount()
{
    // Conversations are windows: only the top-level widgets are looked at. Every widget of
    // the application, each asked for its name, took a good part of the tick.
    int chats = 0;
    const QWidgetList windows = QApplication::topLevelWidgets();
    const QString chatName = QStringLiteral("ChatDialog");
    for (const QWidget* window : windows)
        if (window->objectName() == chatName)
            ++chats;
    if (chats != loggedChatCount) {
        loggedChatCount = chats;
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start search for chats"));
        logManager.AddToLog(LogManager::LOG_TEXT,
            QStringLiteral("Total finded chat(s): ") + QString::number(chats));
    }

    if (chats == 1) {
        ui->statusText->setText(tr("1 chat"));
    } else if (chats > 1) {
        ui->statusText->setText(QString::number(chats) + QLatin1Char(' ') + tr("chats"));
    } else {
        const int teams = ui->cmbCurrentCompany->count();
        if (teams == 1)
            ui->statusText->setText(QStringLiteral("1 group"));
        else if (teams > 1)
            ui->statusText->setText(QString::number(teams) + QLatin1Char(' ') + tr("groups"));
    }
}

// The warning that input cannot be counted shows once per tracking period.
void RosterWindow::CheckUniverseAccess()
{
    if (environment.universeFlagState()) {
        warningSeconds = 0;
        warningShown = false;
        return;
    }
    if (!SettingsProvider::instance()->GetCurrentSettings().displayWarnings)
        return;
    if (warningShown) {
        warningSeconds += tickSeconds;
        return;
    }
    warningShown = true;
    UniverseDeviceChecker& warning = universeDeviceChecker.Get();
    warning.setWindowState(warning.windowState() | Qt::WindowActive);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show warning window"));
    warning.show();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show warning window - ok"));
    warningSeconds = tickSeconds;
}

void RosterWindow::CheckNetwork()
{
    const bool network = environment.isNetworkEnabled();
    const bool changed = int(network) != loggedNetwork;
    loggedNetwork = int(network);
    if (!network) {
        if (changed)
            logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Network is disabled now."));
        // While idle the idle status stays; the cached one follows at the first input.
        if (currentStatus == RosterManager::STATUS_ONLINE_CACHED || isIdle)
            return;
        KeepStatusToRestore();
        ChangeStatus(RosterManager::STATUS_ONLINE_CACHED);
        return;
    }
    if (changed)
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Network is enabled now"));
    if (!environment.isNetworkEnabled())
        return;
    if (currentStatus == RosterManager::STATUS_ONLINE_CACHED)
        ChangeStatus(StatusToRestore());
}

// Keeps the status shown unless it is itself an idle or cached one standing in for another.
void RosterWindow::KeepStatusToRestore()
{
    if (!IsIdle(currentStatus) && currentStatus != RosterManager::STATUS_ONLINE_CACHED
        && currentStatus != RosterManager::STATUS_NONE)
        savedStatus = currentStatus;
}

// The status shown, or the one an idle or cached status stands in for.
RosterManager::STATUS RosterWindow::UnderlyingStatus() const
{
    if (IsIdle(currentStatus) || currentStatus == RosterManager::STATUS_ONLINE_CACHED)
        return savedStatus;
    return currentStatus;
}

// The kept status as it reads in the present tracking state: a working status only while
// tracking, and the other way round.
RosterManager::STATUS RosterWindow::StatusToRestore() const
{
    switch (savedStatus) {
    case RosterManager::STATUS_ONLINE_WORKING:
    case RosterManager::STATUS_ONLINE:
        return isTracking ? RosterManager::STATUS_ONLINE_WORKING : RosterManager::STATUS_ONLINE;
    case RosterManager::STATUS_DND_WORKING:
    case RosterManager::STATUS_DND:
        return isTracking ? RosterManager::STATUS_DND_WORKING : RosterManager::STATUS_DND;
    default:
        return savedStatus;
    }
}
