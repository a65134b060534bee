#pragma once

#include <QString>

// Names of the values in the preferences store: upper-case keys for the general options,
// slash paths grouped by topic for the rest.
namespace SettingsKeys {

inline const QString firstRun = QStringLiteral("FIRST_RUN");
inline const QString signInAtRun = QStringLiteral("SIGN_IN_AT_RUN");
inline const QString confirmAtExit = QStringLiteral("CONFIRM_AT_EXIT");
inline const QString openTeamRoomOrWorkWithTrackingTime
    = QStringLiteral("OPEN_TEAM_ROOM_OR_WORK_WITH_TRACKING_TIME");
inline const QString setReminderOnStop = QStringLiteral("SET_REMINDER_ON_STOP");
inline const QString stopWhileComputerIsLocked = QStringLiteral("STOP_WHILE_COMPUTER_IS_LOCKED");
inline const QString stopReminderType = QStringLiteral("STOP_REMINDER_TYPE");
inline const QString stopReminderTimeout = QStringLiteral("STOP_REMINDER_TIMEOUT");
inline const QString memoReminderType = QStringLiteral("MEMO_REMINDER_TYPE");
// Read both as remindMode and as remindModeIndex.
inline const QString remindMode = QStringLiteral("REMIND_MODE");
inline const QString memoEnterAction = QStringLiteral("MEMO_ENTER_ACTION");
inline const QString keepPrevMemo = QStringLiteral("KEEP_PREV_MEMO");
inline const QString keepMemoCount = QStringLiteral("KEEP_MEMO_COUNT");
inline const QString prevMemo = QStringLiteral("PREV_MEMO");
inline const QString enableSnapshots = QStringLiteral("ENABLE_SNAPSHOTS");
inline const QString popupTimeout = QStringLiteral("POPUP_TIMEOUT");
inline const QString soundMode = QStringLiteral("SOUND_MODE");
inline const QString ownSoundPath = QStringLiteral("OWN_SOUND_PATH");
inline const QString startMinimized = QStringLiteral("START_MINIMIZED");
inline const QString displayWarnings = QStringLiteral("DISPLAY_WARNINGS");
inline const QString setMyChatStatusToPrivateWhenStop
    = QStringLiteral("SET_MY_CHAT_STATUS_TO_PRIVATE_WHEN_STOP");
inline const QString setMyChatStatusToWorkingAtStart
    = QStringLiteral("SET_MY_CHAT_STATUS_TO_WORKING_AT_START");

inline const QString rosterWindowX = QStringLiteral("/interface/RosterWindowX");
inline const QString rosterWindowY = QStringLiteral("/interface/RosterWindowY");
inline const QString rosterWindowWidth = QStringLiteral("/interface/RosterWindowWidth");
inline const QString rosterWindowHeight = QStringLiteral("/interface/RosterWindowHeight");

inline const QString logLocation = QStringLiteral("/logging/LogLocation");
inline const QString isLimitLogSize = QStringLiteral("/logging/IsLimitLogSize");
inline const QString totalLogSize = QStringLiteral("/logging/TotalLogSize");

// A font block is stored as <prefix>Name, Size, Bold, Italic and, for the roster, Color.
inline const QString groupFont = QStringLiteral("/appreance/GroupFont");
inline const QString userNameActiveFont = QStringLiteral("/appreance/UserNameActiveFont");
inline const QString memoActiveFont = QStringLiteral("/appreance/MemoActiveFont");
inline const QString userNameInActiveFont = QStringLiteral("/appreance/UserNameInActiveFont");
inline const QString memoInActiveFont = QStringLiteral("/appreance/MemoInActiveFont");
inline const QString chatMessagesFont = QStringLiteral("/appreance/ChatMessagesFont");
inline const QString historyMessagesFont = QStringLiteral("/appreance/HistoryMessagesFont");
inline const QString groupCursorBackground = QStringLiteral("/appreance/GroupCursorBackground");
inline const QString groupCursorBorder = QStringLiteral("/appreance/GroupCursorBorder");
inline const QString userCursorBackground = QStringLiteral("/appreance/UserCursorBackground");
inline const QString userCursorBorder = QStringLiteral("/appreance/UserCursorBorder");
inline const QString chatRecentIncomingMessagesColor
    = QStringLiteral("/appreance/ChatRecentIncomingMessagesColor");
inline const QString chatRecentOutgoingMessagesColor
    = QStringLiteral("/appreance/ChatRecentOutgoingMessagesColor");
inline const QString chatIncomingMessagesColor
    = QStringLiteral("/appreance/ChatIncomingMessagesColor");
inline const QString chatOutgoingMessagesColor
    = QStringLiteral("/appreance/ChatOutgoingMessagesColor");
inline const QString historyIncomingMessageColor
    = QStringLiteral("/appreance/HistoryIncomingMessageColor");
inline const QString historyOutgoingMessageColor
    = QStringLiteral("/appreance/HistoryOutgoingMessageColor");
inline const QString historySelectedMessageColor
    = QStringLiteral("/appreance/HistorySelectedMessageColor");

// Followed by the hotkey's name, e.g. "/hotkeys/OpenMemo".
inline const QString hotkeys = QStringLiteral("/hotkeys/");

inline const QString loginName = QStringLiteral("/security/loginName");
inline const QString password = QStringLiteral("/security/password");

inline const QString updateDate = QStringLiteral("/update/date");

} // namespace SettingsKeys
