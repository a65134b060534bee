#pragma once

#include "CaptureQueue.h"
#include "CaptureRoute.h"
#include "Conversations.h"
#include "ListWidgetManager.h"
#include "LogManager.h"
#include "MadeOnFirstUse.h"
#include "MainWindowLayout.h"
#include "MiscFunctions.h"
#include "NetworkChecker.h"
#include "OfflineStorage.h"
#include "PictureGrab.h"
#include "RestAPI.h"
#include "RosterDelegate.h"
#include "RosterManager.h"
#include "RosterView.h"
#include "StateCheck.h"
#include "StatusRestore.h"
#include "TrackingControl.h"
#include "TrackingEnvironment.h"
#include "popupWindow.h"
#include "updateDialog.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QString>
#include <QTime>
#include <QTimer>

#include <memory>
#include <optional>

namespace Ui {
class RosterWindow;
}
class MacTitleWidget;
class QListWidgetItem;
class QModelIndex;
class QUrl;

// The main window of a working day. It owns, for the whole run, the services hub with the
// dialogs and tray icon, the main form, the REST clients, the activity log, the offline cache,
// the network check, the timers and the roster model, and the classes that do each area's work:
// the working session (TrackingControl), the captures from the timer's tick to their upload or
// the cache (CaptureQueue), the roster as the list shows it (RosterView), the conversations
// (Conversations), the state checker's tick (StateCheck) and the form's geometry and look
// (MainWindowLayout). None of them knows the window: each is handed the services, widgets and
// callbacks it needs, and tells the window the rest through its signals.
//
// The window's own part is split by area: RosterWindow.cpp holds construction and wiring,
// RosterWindowStatus.cpp the own status, RosterWindowTracking.cpp the timers and the tracking
// slots, RosterWindowCapture.cpp the capture slots, RosterWindowReminders.cpp the reminders,
// RosterWindowStateChecker.cpp what the state check learns of the window,
// RosterWindowRoster.cpp the roster's view and its slots, RosterWindowApi.cpp the REST answers
// and the update check, RosterWindowLayout.cpp the window's overrides and own menus,
// RosterWindowLinks.cpp the row actions, the web pages and the page switching,
// RosterWindowExit.cpp sign-out, close and exit, RosterWindowChat.cpp what the conversations
// learn of the window, RosterWindowSignIn.cpp sign-in completion, RosterWindowConfig.cpp the
// settings applied and RosterWindowSnap.cpp the screen snaps.
class RosterWindow : public QMainWindow
{
    Q_OBJECT
public:
    // When the window behind the sign-in dialog is built: its form, title bar, log, wiring,
    // timers and preferences, and the tray icon shown.
    enum class Building
    {
        Now,
        // Once the first window (the sign-in dialog) has been drawn, on a turn of its own; a
        // sign-in's end or failure, or the window shown, builds it at once when it comes
        // first. Until then only the services hub with the sign-in dialog exists.
        AfterFirstWindowDrawn,
    };

    explicit RosterWindow(QWidget* parent = nullptr, Building building = Building::Now);
    ~RosterWindow() override;

    // The signed-out start: the sign-in dialog shown, the main window hidden, the tray icon
    // offering only what needs no member.
    void showLoginDialog();
    // Whether the window behind the sign-in dialog is built yet.
    bool IsBuilt() const { return built; }

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
    // The update window, made (and wired) when first asked for.
    updateDialog& UpdateWindow() { return updateWindow.Get(); }
    // The notification popup of captures, reminders and snap uploads, made (and wired) when
    // first asked for: nothing shows it before a member signs in.
    popupWindow& ScreenshotPopup() { return screenshotPopup.Get(); }

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
    void ApiDataOk(const RestAPI::ApiResult& result);
    void ApiDataError(const RestAPI::ApiResult& result);
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

    // Settings application: style sheet and roster row styles (once the window's look is made),
    // log limit, hotkeys and the start-minimised option, all read afresh from the preferences.
public slots:
    void InitConfig();

    // Sign-out, close and exit.
public slots:
    // Exit, asking first when the preferences say so.
    void ExitApp();
    // Ends tracking as a stop does, forgets the member and brings the sign-in dialog back.
    void SignOut();
    void on_actionSign_out_triggered();
    // Switches the activity log off when it is on, and on when it is off.
    void StartOrStopLogging();
    // The end of the run: tracking stops with its notice (answered, or 3 s at most) and the
    // captures not yet confirmed go to the offline cache.
    void OnAboutToQuit();

    // Layout: the panels follow the window's size; the left panel's and the status label's
    // menus.
public slots:
    void on_btnMyTools_clicked();
    void on_btnCurrentStatus_clicked();
    void on_lblUserStatus_customContextMenuRequested(const QPoint& pos);

    // Roster row actions, web pages and the pages of the central area.
public slots:
    void OnItemMenuRequest(
        int groupID, int contactID, RosterDelegate::BUTTON_TYPES button, QPoint mouseArea);
    void onWorkDiary();
    // Brings the main window up, from the tray and the Team-room hotkey.
    void OpenTeamRoom();
    void on_actionTime_logs_triggered();
    void on_actionMessage_center_triggered();
    void on_actionWork_diary_triggered();
    void on_actionProfile_triggered();
    void on_btnMyFinance_clicked();
    void on_btnAboutMQT_released();
    void on_btnTeamWorksTools_clicked();
    void on_btnRoomView_clicked();
    void on_lstTeamWorkTools_itemClicked(QListWidgetItem* item);
    void on_actionPreferences_triggered();
    void on_actionClose_triggered();

    // Conversations and incoming chat messages.
public slots:
    // Opens a conversation with the member of the roster's current row. A partner whose
    // window is open gets that window back instead of a second one.
    void StartConversation(const QString& textMessage = QString());
    // Every chat message that arrives: broadcasts become a tray notice, a partner with an open
    // window is left to that window, and the messages of other members are stored here, with
    // the time they were sent (now when `sentAt` is not valid). Before the first roster of a
    // sign-in they wait for it.
    void OnChatMessageRecived(
        const QString& from, const QString& text, const QDateTime& sentAt = QDateTime());

public:
    // The same with the partner given; the own record is the signed-in member's as it stands.
    void StartConversation(const RosterManager::ROSTER_ITEM& item, const QString& textMessage);
    // The chat client, made with its relays at the first sign-in (or conversation).
    ChatConnection& Chat();

    // The window's look (its style sheet, the roster's row styles measured with their fonts,
    // the form fitted to the font, the room for the title and menu bars) is made when it is
    // first shown, or its roster first drawn: nothing shows it before a member signs in.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

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

    // Screen snaps and the last snapshot (RosterWindowSnap.cpp); the menu entries, the tray's
    // and the hotkeys all end here, and each acts only while a member is signed in.
public slots:
    void on_actionSnap_the_whole_desktop_triggered();
    void on_actionSnap_1_display_triggered();
    void on_actionSnap_2_display_triggered();
    void on_actionSnap_3_display_triggered();
    // The last capture with its activity summary; nothing before the first capture.
    void on_actionLast_snapshot_triggered();
    // One of the four snap entries by its MiscFunctions::SCREENSNAP_PICTURE_MODE.
    void TakeScreensnap(int mode);

private:
    void SnapDisplay(int display);
    void OnScreensnapUploadFailed(const QVariant& answer);

private:
    // Everything of the window but the services hub; once.
    void Build();
    // The tray icon, when made, as the sign-in dialog wants it: no tooltip, only what needs no
    // member.
    void ShowSignedOutTray();
    void SetUpTitleBar();
    // A page of the service's web site: the web pages base, `path` and the already encoded
    // `query`.
    static QUrl WebPage(const QString& path, const QString& query = QString());
    void MakeLinksAbsolute();
    void ConnectTimers();
    void ConnectTray();
    void ConnectMisc();
    QString ApiLogPath() const;
    mutable QString apiLogPath, apiLogPathOf; // the trace's path, and the log path it was made from

    // Sign-in completion and settings application.
    void CheckForUpdates();
    void RestoreWindowGeometry();
    void ConnectShortcuts();
    void ApplyLogSettings(const SettingsProvider::SETTINGS& settings);

    // Time tracking control: the window's parts of a start and a stop.
    TrackingControl::Hooks TrackingHooks();

    // Screenshot capture and saving.
    CaptureQueue::Services CaptureServices();
    void ConnectCapture();
    // "Last snapshot" has a capture to show, and the next one comes a drawn interval later.
    void OnCaptureTaken();
    void ShowCachedStatus(CaptureRoute::Word word);

    // Reminders.
    void DismissStopReminder();

    // Layout.
    void ConstructInterface();
    void SearchJobs(const QString& text);
    void ShowMemberRowMenu(const QPoint& listPos);

    // Roster row actions and web pages.
    void OpenWorkDiary(int contactID, int groupID);
    void OpenWebPage(const QString& logText, const QString& path, const QString& query = {});
    void TogglePage(int page, const QString& logText);

    // Conversations and incoming chat messages: what they learn of the window.
    Conversations::Context ConversationsContext();

    // Sign-out, close and exit.
    void EndTracking();
    void ForgetMember();
    void WaitForWorkNotices(int timeoutMs);

    // State checker: what the tick learns of the window and tells it.
    StateCheck::Context StateCheckContext();

    // Roster upkeep and pictures: the roster's view, made with the form, and what it asks of the
    // window.
    void ConstructRosterList();

    // REST answers and the update check.
    void OnScreensnapUploaded(const QVariant& answer);
    void OnUpdateInfoReceived();
    void OnUserAvatarReceived(const QByteArray& bytes);
    void OnAboutReceived();
    void OnToolsReceived();
    void ShowSnapPopup(const QString& text, bool richText);

    // The first member, so the last to go: its hiding then must not save into the others.
    MadeOnFirstUse<popupWindow> screenshotPopup;
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
    QTimer avatarsTimer;
    QMenu itemMenu;
    // Made when the first update is offered.
    MadeOnFirstUse<updateDialog> updateWindow;
    RosterManager rosterManager;
    // The chat connection, made at the first sign-in, the open conversations and the messages
    // that wait for the first roster.
    Conversations conversations { rosterManager, logManager, ConversationsContext(), this };
    MacTitleWidget* titleWidget = nullptr;
    // Made with the form; declared after the members it works on, so it goes before them.
    std::unique_ptr<MainWindowLayout> windowLayout;
    bool built = false; // Build ran
    bool signInAsked = false; // showLoginDialog ran

    bool isSignedIn = false;
    bool exitConfirmPending = false;
    QString cacheStatusText;
    RosterManager::STATUS currentStatus = RosterManager::STATUS_ONLINE;

    // Time tracking control: tracking or not, the team, the worked time and the work notices.
    TrackingControl tracking { { misc, rosterManager, restApi, logManager }, this };

    // Screenshot capture and saving.
    double timeScale = 1;
    TrackingEnvironment environment = TrackingEnvironment::Desktop(
        networkChecker, [this]() -> QSystemTrayIcon& { return misc.GetTrayIcon(); });
    // The captures from the timer's tick to their upload or the cache. Declared after the
    // members it works with, so it goes before them.
    CaptureQueue captureQueue { CaptureServices(), this };

    // Screen snaps: the whole desktop's grab on its way to the editor.
    PictureGrab snapGrab;

    // State checker.
    // The status idle time, network loss or a cached capture took the place of.
    StatusRestore statusRestore;
    StateCheck stateCheck { environment, statusRestore, logManager, StateCheckContext() };

    // Roster upkeep and pictures: made with the form, and gone before the model and the log it
    // writes.
    std::optional<RosterView> rosterView;

    // REST answers and the update check.
    bool updateDownloading = false; // the window and the tray icon gave way to a download
    bool windowHiddenForUpdate = false;
};
