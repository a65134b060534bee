#pragma once

#include "AuthDialog.h"
#include "ExitConfirm.h"
#include "InputEventCounter.h"
#include "LastSnapshot.h"
#include "MadeOnFirstUse.h"
#include "Memo.h"
#include "MyShortcut.h"
#include "NoticePopup.h"
#include "Preferences.h"
#include "RemindDialog.h"
#include "ScreenshotRecord.h"
#include "StopReminder.h"
#include "TrayIcon.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <array>
#include <functional>

class RestAPI;
class ScreenSnapWidget;

// The services hub of the main window: who is signed in and for which team room time is
// tracked, the memo, the own avatar, the activity counting in 60-second samples, the
// work-diary upload, the ten global hotkeys and web links. It owns the dialogs and the tray
// icon around the main window for the whole run.
class MiscFunctions : public QObject
{
    Q_OBJECT
public:
    using SCREENSHOT = ScreenshotRecord;
    using EVENTS_STATISTIC = EventsStatistic;

    enum SHORTCUT_TYPE
    {
        SHORTCUT_OPEN_TEAM_ROOM = 0,
        SHORTCUT_OPEN_PREFERENCES = 1,
        SHORTCUT_OPEN_MEMO = 2,
        SHORTCUT_STOP_TRACKING_TIME = 3,
        SHORTCUT_START_TRACKING_TIME = 4,
        SHORTCUT_LAST_SNAPSHOT = 5,
        SHORTCUT_SNAP_ALL_DESKTOP = 6,
        SHORTCUT_SNAP_1_DISPLAY = 7,
        SHORTCUT_SNAP_2_DISPLAY = 8,
        SHORTCUT_SNAP_3_DISPLAY = 9
    };
    Q_ENUM(SHORTCUT_TYPE)

    enum SCREENSNAP_PICTURE_MODE
    {
        SNAP_MODE_ALL_DESKTOP = 0,
        SNAP_MODE_DISPLAY_1 = 1,
        SNAP_MODE_DISPLAY_2 = 2,
        SNAP_MODE_DISPLAY_3 = 3
    };
    Q_ENUM(SCREENSNAP_PICTURE_MODE)

    static constexpr int sampleIntervalMs = 60000;

    explicit MiscFunctions(QObject* parent = nullptr);
    ~MiscFunctions() override;

    void SetUserName(const QString& userName);
    QString GetUsername() const;
    // The team room time is tracked for; -1 and an empty name when none.
    void SetUserCompany(int id, const QString& name);
    int GetUserCompanyID() const;
    QString GetUserCompany() const;
    void SetMemo(const QString& memo);
    QString GetMemo() const;

    // The REST client that uploads the captures; the caller keeps it alive.
    void SetApiHandle(RestAPI* api);

    // Keeps the avatar and a veiled copy of it, shown while no time is tracked.
    void SetUserAvatar(const QPixmap& avatar);
    QPixmap GetUserAvatar(bool unveiled) const;

    // Counting keyboard and mouse input anywhere on the desktop, one sample per interval.
    void StartCountEvents();
    void StopCountEvents();
    bool IsCountingEvents() const;
    void SetSampleInterval(int msec);
    // Clears the running sample list; ResetAllStatistic also the copy GetStatistic returns.
    void ResetStatistic();
    void ResetAllStatistic();
    // The samples as they stood after the last one was taken.
    QList<EVENTS_STATISTIC> GetStatistic() const;

    // Uploads a capture as a work-diary screenshot; the answer arrives at the REST client's
    // signals.
    void UploadShot(const SCREENSHOT& shot);

    // Binds the hotkey text to the type's global shortcut; an empty text releases it. False
    // when nothing is bound.
    bool SetShortcut(SHORTCUT_TYPE type, const QString& keys);

    // Replaces the desktop's browser (tests record the addresses instead).
    void SetLinkOpener(std::function<bool(const QUrl&)> opener);

    // Prepares the memo dialog for the member and team room and shows it.
    void OpenMemoDialog();
    // Shows the preferences dialog, loaded from the store; when it is open already it only
    // comes forward, keeping the edits in it.
    void ShowPreferences();

    // The dialogs and the tray icon, the same objects for the whole run. Only the sign-in
    // dialog is made with the hub; the tray icon and each other dialog are made when first
    // asked for, so start-up builds none that it does not show before the sign-in dialog (the
    // tray icon comes with the main window, built behind the dialog).
    AuthDialog& GetAuthDialog() { return authDialog; }
    ExitConfirm& GetExitConfirm() { return exitConfirm.Get(); }
    Memo& GetMemoDialog() { return memoDialog.Get(); }
    Preferences& GetPreferences() { return preferences.Get(); }
    StopReminder& GetStopReminder() { return stopReminder.Get(); }
    RemindDialog& GetRemindDialog() { return remindDialog.Get(); }
    TrayIcon& GetTrayIcon() { return trayIcon.Get(); }
    LastSnapshot& GetLastSnapshot() { return lastSnapshot.Get(); }
    // The same dialogs for wiring them as they are made, and for steps that only concern a
    // dialog already made (IfMade), such as hiding it at sign-out.
    MadeOnFirstUse<ExitConfirm>& ExitConfirmHolder() { return exitConfirm; }
    MadeOnFirstUse<Memo>& MemoHolder() { return memoDialog; }
    MadeOnFirstUse<Preferences>& PreferencesHolder() { return preferences; }
    MadeOnFirstUse<StopReminder>& StopReminderHolder() { return stopReminder; }
    MadeOnFirstUse<RemindDialog>& RemindDialogHolder() { return remindDialog; }
    MadeOnFirstUse<TrayIcon>& TrayIconHolder() { return trayIcon; }

    // Screen snaps: opens the snap window on the picture, at the desktop's origin whatever the
    // mode, unless one is open already. The snap is uploaded for the team given here. Its save
    // dialog shows the hub's preferences and its notices in the hub's snap notice popup.
    void StartScreensnapEditor(int companyId, const QString& company, const QPixmap& picture,
        SCREENSNAP_PICTURE_MODE mode);
    // The open snap window, or null.
    ScreenSnapWidget* GetScreensnapEditor() const;
    // Snap uploads are told apart by the number each answer carries (RestAPI::UploadAnswer),
    // never by order. Whether the answer is for a snap uploaded here and not answered yet:
    // a NoConnection may be a snap's, or another request's.
    bool AwaitsScreensnap(const QVariant& answer) const;
    // The service took the snap the answer is for: kept for nothing more.
    void ForgetUploadedScreensnap(const QVariant& answer);
    // The snap the answer is for failed, or never left: its picture goes to a file in the data
    // folder, whose path is returned (empty when it is no snap of this hub, or could not be
    // written either).
    QString KeepFailedScreensnap(const QVariant& answer);

    // The latest capture, its picture a thumbnail; each capture overwrites it.
    SCREENSHOT currentShot;

public slots:
    // Opens a web address in the browser; anything but http and https is refused.
    void openLink(const QString& link);
    // Uploads a finished snap with the activity counts of the last samples; its picture is kept
    // until the service answers.
    void OnScreenIsReady(const QString& title, const QString& description, int permission,
        const QString& password, const QByteArray& picture);

signals:
    // Once per global hotkey press, with its SHORTCUT_TYPE.
    void ShortcutActivated(int tagValue);

private:
    void TakeSample();

    AuthDialog authDialog;
    MadeOnFirstUse<ExitConfirm> exitConfirm;
    MadeOnFirstUse<Memo> memoDialog;
    MadeOnFirstUse<Preferences> preferences;
    MadeOnFirstUse<StopReminder> stopReminder;
    MadeOnFirstUse<RemindDialog> remindDialog;
    MadeOnFirstUse<LastSnapshot> lastSnapshot;
    MadeOnFirstUse<TrayIcon> trayIcon;
    std::array<MyShortcut, 10> shortcuts;
    InputEventCounter eventCounter;
    QTimer sampleTimer;
    QList<EVENTS_STATISTIC> statistic;
    QList<EVENTS_STATISTIC> lastStatistic;
    QPointer<RestAPI> apiHandle;
    std::function<bool(const QUrl&)> linkOpener;

    QString userName;
    int companyId = -1;
    QString companyName;
    QString memo;
    QPixmap avatar;
    QPixmap veiledAvatar;

    // Screen snaps.
    struct PendingSnap
    {
        quint64 upload = 0; // the number its answer carries
        QString title;
        QByteArray png;
    };
    static QString KeepSnap(const PendingSnap& snap);
    int PendingSnapIndex(const QVariant& answer) const;

    QPointer<ScreenSnapWidget> snapWindow;
    // What the save dialogs tell the member, outliving them: made when first wanted.
    NoticePopup snapNotices;
    int snapCompanyId = -1;
    QList<PendingSnap> pendingSnaps; // uploads sent, until the service answers for each
};
