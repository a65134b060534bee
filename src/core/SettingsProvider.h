#pragma once

#include "AppInfo.h"

#include <QColor>
#include <QDate>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSettings>
#include <QString>
#include <QVariant>

class QWidget;

// The user's preferences, memos and saved sign-in, kept in the file of the native preferences
// store under the organisation and application names ("~/.config/<organisation>/<application>
// .conf"), which is opened by its name so that it is checked first: something other than a
// regular file there is set aside. Every instance reads and writes the same store; reads always
// go to the store, so a value written through one instance is seen by the next read through any
// other.
class SettingsProvider : public QObject
{
    Q_OBJECT
public:
    // A font and, for the roster blocks, its text colour.
    struct FONT_BLOCK
    {
        QString name;
        int size = 0;
        bool bold = false;
        bool italic = false;
        QColor colour;
    };

    // Global hotkeys as hotkey texts ("Ctrl+Alt+Shift+K" form); empty means none.
    struct HOTKEYS
    {
        QString OpenTeamRoom;
        QString OpenPreferences;
        QString OpenMemo;
        QString StopTrackingTime;
        QString StartTrackingTime;
        QString LastSnapshot;
        QString SnapAllDesktop;
        QString SnapActiveWindow;
        QString Snap1Display;
        QString Snap2Display;
        QString Snap3Display;
    };

    // Every user preference. A default-made record holds the values a never-stored
    // preference reads as.
    struct SETTINGS
    {
        QRect rosterWindowRect = QRect(0, 0, 304, 425);
        bool runAtStartup = false;
        bool signInAtRun = false;
        bool confirmAtExit = true;
        bool openTeamRoomOrWorkWithTrackingTime = true;
        bool setReminderOnStop = true;
        bool stopWhileComputerIsLocked = false;
        int stopReminderType = 0; // a ReminderSchedule::Kind: 0 dialog, 1 tray balloon, 2 none
        int stopReminderTimeout = 3; // index of 2, 5, 10, 15, 30 minutes
        int memoReminderType = 2; // a ReminderSchedule::Kind: 0 dialog, 1 popup, 2 none
        int remindMode = 4;
        int remindModeIndex = 0; // the stored remindMode, for the memo dialog's interval list
        bool memoEnterAction = true; // Return confirms the memo
        bool keepPrevMemo = true;
        int keepMemoCount = 10;
        bool enableSnapshots = true;
        int popupTimeout = 5; // seconds
        int soundMode = 1; // 0 off, 1 built-in sound, 2 ownSoundPath
        QString ownSoundPath;
        bool startMinimized = false;
        bool displayWarnings = true;
        bool setMyChatStatusToPrivateWhenStop = true;
        bool setMyChatStatusToWorkingAtStart = true;
        QString logLocation = AppInfo::userDataFolder();
        bool isLimitLogSize = false;
        int totalLogSize = 20; // megabytes
        FONT_BLOCK groupFont
            = { QStringLiteral("Arial"), 15, true, false, QColor(0xFF, 0xFF, 0xFF) };
        FONT_BLOCK userNameActiveFont
            = { QStringLiteral("Arial"), 15, true, false, QColor(0, 0, 0) };
        FONT_BLOCK memoActiveFont
            = { QStringLiteral("Arial"), 10, false, false, QColor(0xAC, 0xAC, 0xAC) };
        FONT_BLOCK userNameInActiveFont
            = { QStringLiteral("Arial"), 15, true, false, QColor(0, 0, 0) };
        FONT_BLOCK memoInActiveFont
            = { QStringLiteral("Arial"), 10, false, false, QColor(0, 0, 0) };
        QColor groupCursorBackground = QColor(0x32, 0x32, 0x32);
        QColor groupCursorBorder = QColor(0, 0, 0);
        QColor userCursorBackground = QColor(0xFF, 0xFF, 0xFF);
        QColor userCursorBorder = QColor(0, 0, 0);
        FONT_BLOCK chatMessagesFont = { QStringLiteral("Arial"), 10, false, false, QColor() };
        QColor chatRecentIncomingMessagesColor = QColor(0x00, 0xC8, 0xA0);
        QColor chatRecentOutgoingMessagesColor = QColor(0x64, 0xFF, 0xFF);
        QColor chatIncomingMessagesColor = QColor(0x00, 0x80, 0x00);
        QColor chatOutgoingMessagesColor = QColor(0x00, 0x00, 0x80);
        FONT_BLOCK historyMessagesFont = { QStringLiteral("Arial"), 10, false, false, QColor() };
        QColor historyIncomingMessageColor = QColor(0x00, 0x80, 0x80);
        QColor historyOutgoingMessageColor = QColor(0x00, 0x00, 0x80);
        QColor historySelectedMessageColor = QColor(0xB3, 0xB6, 0xB0);
        HOTKEYS hotkeys;
        QString prevMemo; // the stored memos as raw text, carried through whole
        QDate updateDate; // last update check; null when never checked
    };

    // A saved memo and the short name of its team.
    struct MEMO_ITEM
    {
        QString memo;
        QString teamName;
    };

    // The process-wide instance, made on first use.
    static SettingsProvider* instance();

    // A further instance over the same store; `path` does not select another store.
    explicit SettingsProvider(QObject* parent = nullptr, const QString& path = QString());

    // Reads every preference anew; a value that is damaged, of the wrong type or out of its
    // range reads as its default, and a hotkey that breaks the hotkey rule (HotkeyRule) as none.
    // The first call of the client's first run also has the values written back to the store,
    // firstRunWriteMs later (read again then, so what was stored meanwhile stays): a start
    // shows its sign-in dialog without waiting for the disk to take the file.
    SETTINGS GetCurrentSettings();
    static inline int firstRunWriteMs = 1000; // tests shorten it
    // Writes every field, then installs or removes the autostart entry by runAtStartup.
    void SetCurrentSettings(const SETTINGS& settings);
    void SetKeyByName(const QString& key, const QVariant& value);
    void SaveWindowState(const QRect& rect);

    // Resets the general options (not the appearance, not the hotkeys).
    void SetDefaultSettings();
    void SetDefaultHotkeys();
    // Resets the fonts and colours of the roster, conversation and history.
    void SetDefaultColors();

    // Gives the widget the style sheet at the resource path; empty when it cannot be read.
    static void SetStyleToWidget(QWidget* widget, const QString& path);

    // Memos of one team, newest first.
    QList<MEMO_ITEM> GetMemos(const QString& teamName);
    // Puts the memo first in its team's list, keeping at most keepMemoCount memos per team;
    // keeps none while keepPrevMemo is off. An empty memo is not kept.
    void AddMemo(const MEMO_ITEM& item);

    // The sign-in name and password the sign-in dialog offers again.
    QString GetLoginName();
    void SaveLoginName(const QString& loginName);
    // Empty when none is saved or the saved one cannot be decrypted.
    QString GetPassword();
    // Stores the password encrypted; an empty one forgets it.
    void SavePassword(const QString& password);
    void ForgetPassword();

private:
    // Every preference as the store holds it now, damaged values read as their defaults.
    SETTINGS ReadSettings();
    // Writes the values back and marks the first run done, unless that was done meanwhile.
    void CompleteFirstRun();
    void WriteSettings(const SETTINGS& settings);
    void WriteGeneralOptions(const SETTINGS& settings);
    void WriteAppearance(const SETTINGS& settings);
    void WriteHotkeys(const HOTKEYS& hotkeys);
    void WriteWindowRect(const QRect& rect);
    // Brings the store up to date with its file, after the file was screened for values that
    // the store could not decode safely; every public operation starts with it. False, with the
    // store left as it was read, when something other than a regular file that cannot be set
    // aside lies at the store's file or its lock: nothing may then be written either.
    bool Reload();
    void Store(const QString& key, const QVariant& value);
    void Flush();

    QSettings store;
    bool firstRunCompletion = false; // asked for already
};
