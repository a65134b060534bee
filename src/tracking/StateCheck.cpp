#include "StateCheck.h"

#include "LogManager.h"
#include "SettingsProvider.h"
#include "TrackingEnvironment.h"

#include <QApplication>
#include <QWidget>

namespace {

// A grab that keeps the X server longer than this no longer holds the ticks back.
const int maxTicksPutOff = 4;

} // namespace

StateCheck::StateCheck(const TrackingEnvironment& environment, StatusRestore& restore,
    LogManager& log, Context context)
    : environment(environment), restore(restore), log(log), context(std::move(context))
{ }

void StateCheck::Tick()
{
    // While a capture's grab runs the tick's X queries (idle time, screen saver) would wait
    // behind its bands at the server, a frame and more: the tick runs once the grab is back.
    if (context.grabRunning() && ticksPutOff < maxTicksPutOff) {
        ++ticksPutOff;
        return;
    }
    ticksPutOff = 0;
    CheckIdleTime();
    CheckLockAndScreensaver();
    ShowChatAndTeamCount();
    if (!context.tracking()) {
        loggedNetwork = -1; // the next tracking period tells it afresh
        if (const auto status = restore.OnCheckNotTracking(context.status(), NetworkQuery()))
            context.changeStatus(*status);
        return;
    }
    CheckUniverseAccess();
    CheckNetwork();
}

// Idle time and network loss each show their own status over the one they replace, which
// the restore rule keeps; idle shows over network loss.
void StateCheck::CheckIdleTime()
{
    const StatusRestore::IdleStep step = restore.OnIdleTime(
        environment.idleTime(), context.status(), context.tracking(), NetworkQuery());
    if (step.show)
        context.changeStatus(*step.show);
    if (step.idleBegun)
        log.AddToLog(LogManager::LOG_STOPPED_BY_IDLE_TIME);
}

// A stop inside the tick: the steps after it see tracking off.
void StateCheck::CheckLockAndScreensaver()
{
    // The settings are read only when they decide something.
    if (context.tracking() && environment.isSystemLocked()
        && SettingsProvider::instance()->GetCurrentSettings().stopWhileComputerIsLocked) {
        context.stopTracking();
        log.AddToLog(LogManager::LOG_STOPPED_BY_SYSTEM_LOCK);
    }
    if (context.tracking() && environment.isScreensaverActive()
        && SettingsProvider::instance()->GetCurrentSettings().stopWhileComputerIsLocked) {
        log.AddToLog(LogManager::LOG_STOPPED_BY_SYSTEM_LOCK);
        context.stopTracking();
    }
}

void StateCheck::ShowChatAndTeamCount()
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
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start search for chats"));
        log.AddToLog(LogManager::LOG_TEXT,
            QStringLiteral("Total finded chat(s): ") + QString::number(chats));
    }

    if (chats == 1) {
        context.showCount(tr("1 chat"));
    } else if (chats > 1) {
        context.showCount(QString::number(chats) + QLatin1Char(' ') + tr("chats"));
    } else {
        const int teams = context.teamCount();
        if (teams == 1)
            context.showCount(QStringLiteral("1 group"));
        else if (teams > 1)
            context.showCount(QString::number(teams) + QLatin1Char(' ') + tr("groups"));
    }
}

// The warning that input cannot be counted shows once per tracking period.
void StateCheck::CheckUniverseAccess()
{
    if (environment.universeFlagState()) {
        warningShown = false;
        return;
    }
    if (!SettingsProvider::instance()->GetCurrentSettings().displayWarnings || warningShown)
        return;
    warningShown = true;
    UniverseDeviceChecker& shown = warning.Get();
    shown.setWindowState(shown.windowState() | Qt::WindowActive);
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show warning window"));
    shown.show();
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show warning window - ok"));
}

void StateCheck::CheckNetwork()
{
    const bool network = environment.isNetworkEnabled();
    const bool changed = int(network) != loggedNetwork;
    loggedNetwork = int(network);
    if (!network) {
        if (changed)
            log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Network is disabled now."));
        if (const auto status = restore.OnNetworkLost(context.status()))
            context.changeStatus(*status);
        return;
    }
    if (changed)
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Network is enabled now"));
    if (!environment.isNetworkEnabled())
        return;
    if (const auto status = restore.OnNetworkBack(context.status(), context.tracking()))
        context.changeStatus(*status);
}

StatusRestore::Query StateCheck::NetworkQuery() const
{
    return [this] {
        return environment.isNetworkEnabled();
    };
}
