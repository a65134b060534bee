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
namespace SettingsTable {
enum class Section;
struct Key;
} // namespace SettingsTable

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

    // How the notice of a new snapshot sounds, stored (SOUND_MODE) as these numbers: the
    // positions of the choices in the preferences.
    enum class SoundMode
    {
        Off = 0,
        BuiltIn = 1,
        OwnFile = 2, // ownSoundPath
    };

    // Every user preference. A default-made record holds the values a never-stored preference
    // reads as; those, the keys and the valid values of the fields are declared in SettingsTable
    // (a field is zero only until the record is made).
    struct SETTINGS
    {
        SETTINGS();

        QRect rosterWindowRect;
        bool runAtStartup = false; // the autostart entry, not a stored value
        bool signInAtRun {};
        bool confirmAtExit {};
        bool openTeamRoomOrWorkWithTrackingTime {};
        bool setReminderOnStop {};
        bool stopWhileComputerIsLocked {};
        int stopReminderType {}; // a ReminderSchedule::Kind: dialog, tray balloon, none
        int stopReminderTimeout {}; // a ReminderSchedule::StopIntervalIndex
        int memoReminderType {}; // a ReminderSchedule::Kind: dialog, popup, none
        int remindMode {}; // a ReminderSchedule::MemoIntervalIndex
        // The stored remindMode for the memo dialog's interval list, which reads a damaged one
        // as its first entry.
        int remindModeIndex = 0;
        bool memoEnterAction {}; // Return confirms the memo
        bool keepPrevMemo {};
        int keepMemoCount {};
        bool enableSnapshots {};
        int popupTimeout {}; // seconds
        int soundMode {}; // a SoundMode
        QString ownSoundPath;
        bool startMinimized {};
        bool displayWarnings {};
        bool setMyChatStatusToPrivateWhenStop {};
        bool setMyChatStatusToWorkingAtStart {};
        QString logLocation;
        bool isLimitLogSize {};
        int totalLogSize {}; // megabytes
        FONT_BLOCK groupFont;
        FONT_BLOCK userNameActiveFont;
        FONT_BLOCK memoActiveFont;
        FONT_BLOCK userNameInActiveFont;
        FONT_BLOCK memoInActiveFont;
        QColor groupCursorBackground;
        QColor groupCursorBorder;
        QColor userCursorBackground;
        QColor userCursorBorder;
        FONT_BLOCK chatMessagesFont; // without a colour
        QColor chatRecentIncomingMessagesColor;
        QColor chatRecentOutgoingMessagesColor;
        QColor chatIncomingMessagesColor;
        QColor chatOutgoingMessagesColor;
        FONT_BLOCK historyMessagesFont; // without a colour
        QColor historyIncomingMessageColor;
        QColor historyOutgoingMessageColor;
        QColor historySelectedMessageColor;
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
    // The general options, with the memo interval as the store keeps it.
    void WriteGeneralOptions(const SETTINGS& settings);
    // Every key of the section, from the record's fields.
    void WriteSection(SettingsTable::Section section, const SETTINGS& settings);
    // Brings the store up to date with its file, after the file was screened for values that
    // the store could not decode safely; every public operation starts with it. False, with the
    // store left as it was read, when something other than a regular file that cannot be set
    // aside lies at the store's file or its lock: nothing may then be written either.
    bool Reload();
    void Store(const QString& key, const QVariant& value);
    // The field in the form the file keeps for the key's type.
    void Store(const SettingsTable::Key& key, const SETTINGS& settings);
    void Flush();

    QSettings store;
    bool firstRunCompletion = false; // asked for already
};
