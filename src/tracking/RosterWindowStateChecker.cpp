#include "RosterWindow.h"

#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

#include <QApplication>

namespace {

const float tickSeconds = 0.25f;
// A grab that keeps the X server longer than this no longer holds the ticks back.
const int maxStateChecksPutOff = 4;

} // namespace

// The tick's log lines tell what changed since the last tick (idle begun, another number of
// chats, the network gone or back), so the activity log grows with events, not with time.
void RosterWindow::StateChecker()
{
    // While a capture's grab runs the tick's X queries (idle time, screen saver) would wait
    // behind its bands at the server, a frame and more: the tick runs once the grab is back.
    if (captureQueue.GrabRunning() && stateChecksPutOff < maxStateChecksPutOff) {
        ++stateChecksPutOff;
        return;
    }
    stateChecksPutOff = 0;
    CheckIdleTime();
    CheckLockAndScreensaver();
    ShowChatAndTeamCount();
    if (!isTracking) {
        loggedNetwork = -1; // the next tracking period tells it afresh
        if (const auto status = statusRestore.OnCheckNotTracking(currentStatus, NetworkQuery()))
            ChangeStatus(*status);
        return;
    }
    CheckUniverseAccess();
    CheckNetwork();
}

// Idle time and network loss each show their own status over the one they replace, which
// statusRestore keeps; idle shows over network loss.
void RosterWindow::CheckIdleTime()
{
    const StatusRestore::IdleStep step = statusRestore.OnIdleTime(
        environment.idleTime(), currentStatus, isTracking, NetworkQuery());
    if (step.show)
        ChangeStatus(*step.show);
    if (step.idleBegun)
        logManager.AddToLog(LogManager::LOG_STOPPED_BY_IDLE_TIME);
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
        if (const auto status = statusRestore.OnNetworkLost(currentStatus))
            ChangeStatus(*status);
        return;
    }
    if (changed)
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Network is enabled now"));
    if (!environment.isNetworkEnabled())
        return;
    if (const auto status = statusRestore.OnNetworkBack(currentStatus, isTracking))
        ChangeStatus(*status);
}

StatusRestore::Query RosterWindow::NetworkQuery() const
{
    return [this] {
        return environment.isNetworkEnabled();
    };
}
