#pragma once

#include "CaptureEncoder.h"
#include "ChatClient.h"
#include "ListWidgetManager.h"
#include "LogManager.h"
#include "MiscFunctions.h"
#include "NetworkChecker.h"
#include "OfflineStorage.h"
#include "RestAPI.h"
#include "RosterManager.h"
#include "TrackingEnvironment.h"
#include "UniverseDeviceChecker.h"
#include "popupWindow.h"
#include "updateDialog.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QString>
#include <QTime>
#include <QTimer>

#include <memory>

namespace Ui {
class RosterWindow;
}
class MacTitleWidget;
class RosterDelegate;
class QModelIndex;

// The main window and controller of a working day. It owns, for the whole run, the services
// hub with the dialogs and tray icon, the main form, the REST clients, the activity log, the
// offline cache, the network check, the timers, the roster model and the chat client, and
// acts on their signals.
//
// Its implementation is split by area: RosterWindow.cpp holds construction and wiring,
// RosterWindowStatus.cpp the own status, RosterWindowTracking.cpp the time tracking control,
// RosterWindowCapture.cpp the screenshots, RosterWindowReminders.cpp the reminders,
// RosterWindowStateChecker.cpp the state checker, RosterWindowRoster.cpp the roster and its
// pictures, RosterWindowApi.cpp the REST answers and the update check.
class RosterWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit RosterWindow(QWidget* parent = nullptr);
    ~RosterWindow() override;

    // The signed-out start: the sign-in dialog shown, the main window hidden.
    void showLoginDialog();

    // Roster upkeep and pictures.
    // Sign-in completion and sign-out set this. Answers of a sign-in (roster, pictures, about
    // text, tools) are taken only while a member is signed in; either way the next complete
    // roster is the first of a sign-in.
    void SetSignedIn(bool signedIn);
    // Puts the avatars of `teams` into the rows and the model; members not in `teams`, and
    // avatars whose download failed, keep the one shown.
    void UpdateRosterAvatars(const QList<RosterManager::ROSTER_GROUP_ITEM>& teams);
    // The roster refresh and the avatar refresh.
    const QTimer& GetRestTimer() const { return restTimer; }
    const QTimer& GetAvatarsTimer() const { return avatarsTimer; }

    // REST answers and the update check.
    // Item data role of a teamwork tool entry: the address it opens.
    static constexpr int ROLE_TOOL_URL = Qt::UserRole;
    // True when the server's dotted version is newer than the application's.
    bool isNeedUpdate(const QString& version);

public slots:
    // The one place where the own status changes: published to the service, shown in the
    // status label, the status actions, the tray icon and its tooltip, and logged.
    void ChangeStatus(RosterManager::STATUS status);
    // Worked time counts from 00:00:00 again.
    void ResetWorkingTime();
    // Appends a line of the REST client's trace to "restApiLog.log" in the log folder.
    void ApiLog(const QString& text);
    void OnChatConnectionStateChange(bool connected);

    // REST answers and the update check: both clients answer here, told apart by state.
    void ApiDataOk(RestAPI::ApiState currentState, const QVariant& arg);
    void ApiDataError(RestAPI::ApiState currentState, const QVariant& arg);
    void StartDownloadUpdate();
    void StopDownloadUpdate();

private slots:
    void on_actionAvailable_triggered();
    void on_actionBusy_triggered();
    void OnAuthFailed(const QString& userName);

    // Roster upkeep and pictures.
    void on_lstRoster_clicked(const QModelIndex& index);
    void on_actionShow_offline_users_triggered(bool show);
    void on_actionGroup_users_by_team_triggered(bool show);
    void on_actionExpand_all_triggered();
    void on_actionCollapse_all_triggered();

    // Time tracking control: every road that starts or stops tracking ends in the toggle.
public slots:
    void on_btnTimeControl_released();
    void StartTrackingTime();
    void StopTrackingTime();
    void on_actionTrackingTime_triggered();
    // Makes the team of this short name current and asks for a memo.
    void SetTeam(const QString& shortTeamName);
    // The tray's and the team menu's choice: stops on an empty or the current team, else
    // switches to that team.
    void ChangeTeam(const QString& shortTeamName);
    void OnMenuTeamsClick(QAction* action);
    // A global hotkey was pressed; acts only while a member is signed in.
    void ShortcutActivated(int tagValue);
    void OnWorkingTimeTimerTimeout();
    void RestTimer();
    void ScreensTimer();
    void AvatarsTimer();

    // Sign-in completion: the window shows, the first requests go out, the state check runs,
    // the chat connects, updates are looked for and the saved geometry returns.
public slots:
    void OnAuthCompete(QString userName, RestAPI::SecurityUserInfo info);

    // Settings application: style sheet, roster row styles, log limit, hotkeys and the
    // start-minimised option, all read afresh from the preferences.
public slots:
    void InitConfig();

    // Exit, asking first when the preferences say so.
public slots:
    void ExitApp();

    // Screenshot capture and saving.
public slots:
    // Captures the desktop while tracking and shows it in the popup (or saves it at once when
    // notices are off).
    void GetScreenshot();
    // Uploads the capture or keeps it in the offline cache; each capture once.
    void SaveScreenshot();
    // At quit: the capture still in its popup and the unconfirmed uploads go to the cache.
    void KeepUnsavedCaptures();

public:
    // The next capture interval in milliseconds: 540 s, or 660 s when the random draw is 0,
    // times the time scale.
    int GetPopupTimeout();
    // An interval of capture or activity sampling times MOVARELQUINTASH_TIME_SCALE, a factor
    // above 0 and up to 1 read once at construction (1 when unset): tests and the demo take
    // captures in seconds rather than minutes.
    int Scaled(int msec) const;
    // The desktop queries, the network state, the grab and the random draw; tests replace them.
    TrackingEnvironment Environment() const;
    void SetEnvironment(const TrackingEnvironment& replacement);

    // Reminders.
public slots:
    // Arms the stop reminder while not tracking.
    void StartStopReminderCheck();
    void OnStopTimerReminder();
    void OnMemoReminderTimer();
    // The memo and the interval of its reminder in milliseconds (0: none).
    void SetMemo(const QString& memoText, int timeOut);
    void MemoIsCanceled();
    void on_actionMemo_triggered();

    // State checker.
public slots:
    // One look at idle time, lock, screen saver, open chats, input counting and the network.
    void StateChecker();

private:
    void SetUpTitleBar();
    void MakeLinksAbsolute();
    void ConnectTimers();
    void ConnectTray();
    void ConnectMisc();
    QString ApiLogPath() const;

    // Sign-in completion and settings application.
    void CheckForUpdates();
    void RestoreWindowGeometry();
    void ConnectShortcuts();
    void ApplyLogSettings(const SettingsProvider::SETTINGS& settings);

    // Time tracking control.
    void StartTracking();
    void StopTracking();
    void ShowTrackingStoppedPopup();
    void ShowTrackingState();
    void UncheckTeamMenu();

    // Screenshot capture and saving.
    struct PendingCapture; // declared with the members below
    void ConnectCapture();
    PendingCapture* CaptureInPopup();
    void DiscardCapture();
    void SaveEncodedCaptures();
    bool TakePng(PendingCapture& capture);
    void SaveCapture(const MiscFunctions::SCREENSHOT& shot);
    void UploadAtOnce(const MiscFunctions::SCREENSHOT& shot);
    void WriteToCache(const MiscFunctions::SCREENSHOT& shot);
    void ShowCachedStatus(const QString& word);
    void OnScreenshotUploaded();
    void OnScreenshotUploadFailed();

    // Reminders.
    void DismissStopReminder();

    // State checker.
    void CheckIdleTime();
    void CheckLockAndScreensaver();
    void ShowChatAndTeamCount();
    void CheckUniverseAccess();
    void CheckNetwork();
    void KeepStatusToRestore();
    RosterManager::STATUS StatusToRestore() const;
    RosterManager::STATUS UnderlyingStatus() const;

    // Roster upkeep and pictures.
    void ConstructRosterList();
    void SetTeams(const QList<RosterManager::ROSTER_GROUP_ITEM>& teams);
    void updateGroupsCombo();
    void RedrawRoster(bool groupByTeam, bool showOffline);
    void RedrawRosterAsShown(); // with the tray's view options
    void CheckForRosterUpdates();
    void CheckForScreensUpdates();
    void UpdateRosterScreens();

    // REST answers and the update check.
    void OnTeamsReceived();
    void OnRosterReceived();
    void OnAvatarsReceived();
    void OnScreensnapUploaded(const QString& shortUrl);
    void OnUpdateInfoReceived();
    void OnUserAvatarReceived(const QByteArray& bytes);
    void OnAboutReceived();
    void OnToolsReceived();
    void ShowRosterPage(bool teamsAvailable);
    void ShowSnapPopup(const QString& text, bool richText);

    popupWindow screenshotPopup;
    MiscFunctions misc;
    std::unique_ptr<Ui::RosterWindow> ui;
    RestAPI restApi; // roster, status, work notices, uploads
    RestAPI infoApi; // own avatar, about text, teamwork tools, update check
    LogManager logManager;
    OfflineStorage offlineStorage;
    NetworkChecker networkChecker;
    QTimer screenshotTimer;
    QTimer stopReminderTimer;
    QTimer stateTimer;
    QTimer memoReminderTimer;
    QTimer restTimer;
    QTimer screensTimer;
    QTimer workingTimeTimer;
    QTimer avatarsTimer;
    QMenu itemMenu;
    QLabel statusLabel;
    updateDialog updateWindow;
    ListWidgetManager listWidgetManager;
    RosterManager rosterManager;
    UniverseDeviceChecker universeDeviceChecker;
    ChatClient chatClient;
    MacTitleWidget* titleWidget = nullptr;

    bool isTracking = false;
    bool isSignedIn = false;
    bool exitConfirmPending = false;
    bool isIdle = false;
    bool warningShown = false;
    bool showStopPopup = true;
    bool hideOnClose = true;
    bool networkEnabled = false;
    QTime workingTime; // invalid until the first reset
    QString cacheStatusText;
    RosterManager::STATUS currentStatus = RosterManager::STATUS_ONLINE;

    // Time tracking control.
    float warningSeconds = 0; // since the assistive-access warning was shown

    // Screenshot capture and saving.
    double timeScale = 1;
    // A capture from its grab until it is uploaded or cached. Its PNG is made on the encoder's
    // worker from the grab on, so the save rarely waits when its popup closes.
    struct PendingCapture
    {
        MiscFunctions::SCREENSHOT shot; // without the picture; the PNG put in when saved
        CaptureEncoder::JobPtr encoding;
        bool saveAsked = false; // its popup closed without a discard, or there was none
    };
    CaptureEncoder captureEncoder;
    QList<PendingCapture> pendingCaptures; // oldest first
    // Captures uploaded at once, oldest first, each kept until the service answers for it.
    QList<MiscFunctions::SCREENSHOT> pendingUploads;
    TrackingEnvironment environment
        = TrackingEnvironment::Desktop(networkChecker, misc.GetTrayIcon());

    // State checker.
    // The status idle time or network loss took the place of; never an idle or cached one.
    RosterManager::STATUS savedStatus = RosterManager::STATUS_ONLINE;
    // What the activity log was last told of the chats and the network (-1: nothing yet).
    int loggedChatCount = -1;
    int loggedNetwork = -1;

    // Roster upkeep and pictures.
    RosterDelegate* rosterDelegate = nullptr; // owned by lstRoster
    bool isFirstRosterLoad = true; // the next complete roster is the first of a sign-in
};
