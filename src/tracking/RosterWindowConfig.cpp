#include "RosterWindow.h"

#include "AppInfo.h"
#include "LogCategories.h"
#include "MainWindowLayout.h"
#include "SettingsProvider.h"

#include <QDebug>

void RosterWindow::InitConfig()
{
    if (popupWindow* popup = screenshotPopup.IfMade())
        MainWindowLayout::ApplyStyleSheet(popup);
    // Until the window is first shown its look waits for that showing (PrepareLook).
    windowLayout->ReapplyLook();

    SettingsProvider* provider = SettingsProvider::instance();
    logManager.AddToLog(LogManager::LOG_LOAD_APPLICATION_CONFIG, 0);
    ApplyLogSettings(provider->GetCurrentSettings());
    logManager.AddToLog(LogManager::LOG_LOAD_STYLE, 0);
    ConnectShortcuts();
    logManager.AddToLog(LogManager::LOG_HOTKEYS_ENABLED, 0);
}

// A folder chosen in the preferences takes effect at once, when it is one the log may go to;
// the size is a limit only while "Limit size" is on.
void RosterWindow::ApplyLogSettings(const SettingsProvider::SETTINGS& settings)
{
    const QString folder
        = LogManager::UsableFolder(settings.logLocation, AppInfo::userDataFolder());
    if (folder != settings.logLocation)
        qCWarning(logFilesLog).noquote()
            << "The log folder" << settings.logLocation
            << "is not an absolute folder the member may write to; logging to" << folder;
    logManager.SetLogPath(
        folder + QLatin1Char('/') + AppInfo::applicationName + QStringLiteral(".log"));
    logManager.SetLimitSize(settings.isLimitLogSize ? settings.totalLogSize : 0);
}

void RosterWindow::ConnectShortcuts()
{
    const SettingsProvider::HOTKEYS keys
        = SettingsProvider::instance()->GetCurrentSettings().hotkeys;
    // One connection however often the preferences are applied: one press, one action.
    connect(&misc, &MiscFunctions::ShortcutActivated, this, &RosterWindow::ShortcutActivated,
        Qt::UniqueConnection);
    // The active-window snap hotkey is stored but acts nowhere.
    const QString texts[] = { keys.OpenTeamRoom, keys.OpenPreferences, keys.OpenMemo,
        keys.StopTrackingTime, keys.StartTrackingTime, keys.LastSnapshot, keys.SnapAllDesktop,
        keys.Snap1Display, keys.Snap2Display, keys.Snap3Display };
    for (int type = MiscFunctions::SHORTCUT_OPEN_TEAM_ROOM;
         type <= MiscFunctions::SHORTCUT_SNAP_3_DISPLAY; ++type)
        misc.SetShortcut(MiscFunctions::SHORTCUT_TYPE(type), texts[type]);
}
