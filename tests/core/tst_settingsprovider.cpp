#include "AppInfo.h"
#include "AutostartEntry.h"
#include "FileMode.h"
#include "IniValue.h"
#include "NotAFile.h"
#include "SettingsKeys.h"
#include "SettingsProvider.h"
#include "SettingsTable.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using SETTINGS = SettingsProvider::SETTINGS;
using FONT_BLOCK = SettingsProvider::FONT_BLOCK;

namespace {

// Every field of the record as (name, value), so two records compare field by field and a
// failure names the field.
QList<QPair<QString, QVariant>> fields(const SETTINGS& s)
{
    QList<QPair<QString, QVariant>> list;
    const auto add = [&list](const char* name, const QVariant& value) {
        list.append({ QString::fromLatin1(name), value });
    };
    const auto addFont = [&add](const char* name, const FONT_BLOCK& f) {
        add(name,
            QStringList { f.name, QString::number(f.size), f.bold ? "bold" : "",
                f.italic ? "italic" : "", f.colour.isValid() ? f.colour.name() : "none" });
    };
    add("rosterWindowRect", s.rosterWindowRect);
    add("runAtStartup", s.runAtStartup);
    add("signInAtRun", s.signInAtRun);
    add("confirmAtExit", s.confirmAtExit);
    add("openTeamRoomOrWorkWithTrackingTime", s.openTeamRoomOrWorkWithTrackingTime);
    add("setReminderOnStop", s.setReminderOnStop);
    add("stopWhileComputerIsLocked", s.stopWhileComputerIsLocked);
    add("stopReminderType", s.stopReminderType);
    add("stopReminderTimeout", s.stopReminderTimeout);
    add("memoReminderType", s.memoReminderType);
    add("remindMode", s.remindMode);
    add("remindModeIndex", s.remindModeIndex);
    add("memoEnterAction", s.memoEnterAction);
    add("keepPrevMemo", s.keepPrevMemo);
    add("keepMemoCount", s.keepMemoCount);
    add("enableSnapshots", s.enableSnapshots);
    add("popupTimeout", s.popupTimeout);
    add("soundMode", s.soundMode);
    add("ownSoundPath", s.ownSoundPath);
    add("startMinimized", s.startMinimized);
    add("displayWarnings", s.displayWarnings);
    add("setMyChatStatusToPrivateWhenStop", s.setMyChatStatusToPrivateWhenStop);
    add("setMyChatStatusToWorkingAtStart", s.setMyChatStatusToWorkingAtStart);
    add("logLocation", s.logLocation);
    add("isLimitLogSize", s.isLimitLogSize);
    add("totalLogSize", s.totalLogSize);
    addFont("groupFont", s.groupFont);
    addFont("userNameActiveFont", s.userNameActiveFont);
    addFont("memoActiveFont", s.memoActiveFont);
    addFont("userNameInActiveFont", s.userNameInActiveFont);
    addFont("memoInActiveFont", s.memoInActiveFont);
    add("groupCursorBackground", s.groupCursorBackground.name());
    add("groupCursorBorder", s.groupCursorBorder.name());
    add("userCursorBackground", s.userCursorBackground.name());
    add("userCursorBorder", s.userCursorBorder.name());
    addFont("chatMessagesFont", s.chatMessagesFont);
    add("chatRecentIncomingMessagesColor", s.chatRecentIncomingMessagesColor.name());
    add("chatRecentOutgoingMessagesColor", s.chatRecentOutgoingMessagesColor.name());
    add("chatIncomingMessagesColor", s.chatIncomingMessagesColor.name());
    add("chatOutgoingMessagesColor", s.chatOutgoingMessagesColor.name());
    addFont("historyMessagesFont", s.historyMessagesFont);
    add("historyIncomingMessageColor", s.historyIncomingMessageColor.name());
    add("historyOutgoingMessageColor", s.historyOutgoingMessageColor.name());
    add("historySelectedMessageColor", s.historySelectedMessageColor.name());
    const SettingsProvider::HOTKEYS& k = s.hotkeys;
    add("hotkeys",
        QStringList { k.OpenTeamRoom, k.OpenPreferences, k.OpenMemo, k.StopTrackingTime,
            k.StartTrackingTime, k.LastSnapshot, k.SnapAllDesktop, k.SnapActiveWindow,
            k.Snap1Display, k.Snap2Display, k.Snap3Display });
    add("prevMemo", s.prevMemo);
    add("updateDate", s.updateDate);
    return list;
}

void compareSettings(const SETTINGS& actual, const SETTINGS& expected)
{
    const auto a = fields(actual);
    const auto e = fields(expected);
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].second != e[i].second)
            QFAIL(qPrintable(QString("%1: got %2, expected %3")
                                 .arg(a[i].first, a[i].second.toString(), e[i].second.toString())));
    }
}

// A record where every field differs from its read default.
SETTINGS changedSettings()
{
    SETTINGS s;
    s.rosterWindowRect = QRect(11, 22, 333, 444);
    s.runAtStartup = true;
    s.signInAtRun = true;
    s.confirmAtExit = false;
    s.openTeamRoomOrWorkWithTrackingTime = false;
    s.setReminderOnStop = false;
    s.stopWhileComputerIsLocked = true;
    s.stopReminderType = 1;
    s.stopReminderTimeout = 4;
    s.memoReminderType = 0;
    s.remindMode = 3;
    s.remindModeIndex = 3;
    s.memoEnterAction = false;
    s.keepPrevMemo = false;
    s.keepMemoCount = 7;
    s.enableSnapshots = false;
    s.popupTimeout = 12;
    s.soundMode = 2;
    s.ownSoundPath = "/home/someone/sounds/ding, dong.wav";
    s.startMinimized = true;
    s.displayWarnings = false;
    s.setMyChatStatusToPrivateWhenStop = false;
    s.setMyChatStatusToWorkingAtStart = false;
    s.logLocation = "/var/tmp/mq logs";
    s.isLimitLogSize = true;
    s.totalLogSize = 30;
    s.groupFont = { "DejaVu Sans", 12, false, true, QColor("#102030") };
    s.userNameActiveFont = { "Courier", 9, false, true, QColor("#a0b0c0") };
    s.memoActiveFont = { "Times", 11, true, true, QColor("#010203") };
    s.userNameInActiveFont = { "Helvetica", 13, false, false, QColor("#fefdfc") };
    s.memoInActiveFont = { "Verdana", 8, true, false, QColor("#123456") };
    s.groupCursorBackground = QColor("#111111");
    s.groupCursorBorder = QColor("#222222");
    s.userCursorBackground = QColor("#333333");
    s.userCursorBorder = QColor("#444444");
    s.chatMessagesFont = { "Georgia", 14, true, true, QColor() };
    s.chatRecentIncomingMessagesColor = QColor("#555555");
    s.chatRecentOutgoingMessagesColor = QColor("#666666");
    s.chatIncomingMessagesColor = QColor("#777777");
    s.chatOutgoingMessagesColor = QColor("#888888");
    s.historyMessagesFont = { "Tahoma", 16, true, false, QColor() };
    s.historyIncomingMessageColor = QColor("#999999");
    s.historyOutgoingMessageColor = QColor("#aaaaaa");
    s.historySelectedMessageColor = QColor("#bbbbbb");
    s.hotkeys = { "Ctrl+1", "Ctrl+,", "Alt+M", "Ctrl+Shift+S", "Ctrl+Alt+Shift+T", "F5", "Alt+D",
        "Alt+W", "Ctrl+Alt+1", "Alt+Shift+2", "Ctrl++" };
    s.prevMemo = "[]";
    s.updateDate = QDate(2026, 2, 28);
    return s;
}

// The store as another reader sees it.
struct RawStore
{
    QSettings settings { QSettings::NativeFormat, QSettings::UserScope, AppInfo::organizationName,
        AppInfo::applicationName };
    QSettings* operator->() { return &settings; }
};

RawStore rawStore()
{
    return {};
}

const QByteArray utf8Mark = QByteArrayLiteral("\xef\xbb\xbf");

// A store file past its first run that holds the one value, as "key=value" under its section.
QByteArray storeFileWith(const QString& key, const QString& value)
{
    QByteArray file = "[General]\nFIRST_RUN=false\n";
    if (key.startsWith(QLatin1Char('/')))
        file += "[" + key.section('/', 1, 1).toUtf8() + "]\n" + key.section('/', 2).toUtf8();
    else
        file += key.toUtf8();
    return file + "=" + value.toUtf8() + "\n";
}

// The "section/key=value" lines of a store file.
QSet<QString> fileLines(const QByteArray& content)
{
    QSet<QString> lines;
    QString section;
    for (const QByteArray& line : content.split('\n')) {
        if (line.startsWith('['))
            section = QString::fromUtf8(line.mid(1, line.size() - 2));
        else if (!line.trimmed().isEmpty())
            lines.insert(section + "/" + QString::fromUtf8(line));
    }
    return lines;
}

// For a declared key, a stored text it may take other than its default, and texts it may not.
std::pair<QString, QStringList> storedValues(const SettingsTable::Key& key)
{
    using Type = SettingsTable::Type;
    const QVariant fallback = key.fallback();
    switch (key.type) {
    case Type::Bool:
        return { fallback.toBool() ? "false" : "true", { "maybe", "2" } };
    case Type::Int: {
        QStringList invalid { QString::number(key.min - 1), QString::number(key.max + 1) };
        int valid = fallback.toInt() == key.max ? key.min : key.max;
        for (int n = key.min; n <= key.max && !key.choices.isEmpty(); ++n) {
            if (!key.choices.contains(n)) {
                invalid << QString::number(n); // between the choices
                break;
            }
        }
        return { QString::number(valid), invalid };
    }
    case Type::Text: // valid as a hotkey, a folder, a font's name
        return { "Ctrl+Alt+J", { key.notBlank ? "\"  \"" : "a, b" } };
    case Type::Colour:
        return { "#123456", { "#12345", "red" } };
    case Type::Date:
        return { "2027-01-02", { "someday" } };
    }
    return {};
}

} // namespace

class TestSettingsProvider : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        // A first run's values go back to the store at the next turn of the event loop.
        SettingsProvider::firstRunWriteMs = 0;
    }

    void init()
    {
        RawStore raw;
        raw->clear();
        raw->sync();
        AutostartEntry::Remove();
    }

    void freshStoreReadsTheDefaults()
    {
        SettingsProvider provider;
        const SETTINGS s = provider.GetCurrentSettings();
        compareSettings(s, SETTINGS());
        QCOMPARE(s.rosterWindowRect, QRect(0, 0, 304, 425));
        QCOMPARE(s.stopReminderTimeout, 3);
        QCOMPARE(s.memoReminderType, 2);
        QCOMPARE(s.totalLogSize, 20);
        QCOMPARE(s.remindMode, 4);
        QCOMPARE(s.remindModeIndex, 0);
        QCOMPARE(s.groupFont.name, QString("Arial"));
        QCOMPARE(s.groupFont.colour.name(), QString("#ffffff"));
        QCOMPARE(s.memoActiveFont.colour.name(), QString("#acacac"));
        QCOMPARE(s.groupCursorBackground.name(), QString("#323232"));
        QCOMPARE(s.historySelectedMessageColor.name(), QString("#b3b6b0"));
        QCOMPARE(s.logLocation, AppInfo::userDataFolder());
        QVERIFY(s.updateDate.isNull());
        QVERIFY(s.hotkeys.OpenTeamRoom.isEmpty() && s.hotkeys.Snap3Display.isEmpty());
    }

    void firstRunWritesTheValuesBackOnce()
    {
        SettingsProvider provider;
        QVERIFY(!rawStore()->contains(SettingsKeys::firstRun));
        provider.GetCurrentSettings();
        // A moment later, not while the client starts; what is stored meanwhile stays.
        QVERIFY(!rawStore()->contains(SettingsKeys::firstRun));
        provider.SetKeyByName(SettingsKeys::signInAtRun, true);
        QTRY_VERIFY(rawStore()->contains(SettingsKeys::firstRun));
        RawStore raw;
        QCOMPARE(raw->value(SettingsKeys::firstRun).toBool(), false);
        QCOMPARE(raw->value(SettingsKeys::confirmAtExit).toBool(), true);
        QCOMPARE(raw->value("/appreance/GroupFontName").toString(), QString("Arial"));
        QCOMPARE(provider.GetCurrentSettings().signInAtRun, true);

        // Later reads do not overwrite what was stored meanwhile.
        provider.SetKeyByName(SettingsKeys::confirmAtExit, false);
        QCOMPARE(provider.GetCurrentSettings().confirmAtExit, false);
        QTest::qWait(SettingsProvider::firstRunWriteMs + 100);
        QCOMPARE(provider.GetCurrentSettings().confirmAtExit, false);
    }

    void everyFieldRoundTrips()
    {
        SettingsProvider provider;
        const SETTINGS expected = changedSettings();
        // Guard against a test record that accidentally keeps a default.
        const auto defaults = fields(SETTINGS());
        const auto changed = fields(expected);
        for (int i = 0; i < defaults.size(); ++i)
            QVERIFY2(defaults[i].second != changed[i].second, qPrintable(defaults[i].first));

        provider.SetCurrentSettings(expected);
        // Exactly the declared keys of the record are stored.
        QStringList declared;
        for (const SettingsTable::Key& key : SettingsTable::Keys()) {
            if (key.get)
                declared.append(key.name.mid(key.name.startsWith('/') ? 1 : 0));
        }
        QStringList stored = rawStore()->allKeys();
        std::sort(declared.begin(), declared.end());
        std::sort(stored.begin(), stored.end());
        QCOMPARE(stored, declared);
        compareSettings(provider.GetCurrentSettings(), expected);
        // Another instance over the same store sees the same.
        SettingsProvider other(nullptr, "Settings");
        compareSettings(other.GetCurrentSettings(), expected);

        // The next run parses the file afresh, where every value comes back as text.
        reloadStoreFile();
        QCOMPARE(rawStore()->value(SettingsKeys::keepMemoCount).type(), QVariant::String);
        compareSettings(provider.GetCurrentSettings(), expected);
    }

    void memoIntervalIsStoredAsFourWhileTheReminderIsOff()
    {
        SettingsProvider provider;
        SETTINGS s = provider.GetCurrentSettings();
        s.memoReminderType = 2;
        s.remindMode = 1;
        provider.SetCurrentSettings(s);
        const SETTINGS read = provider.GetCurrentSettings();
        QCOMPARE(read.remindMode, 4);
        QCOMPARE(read.remindModeIndex, 4);
    }

    void defaultSettingsResetOnlyTheGeneralOptions()
    {
        SettingsProvider provider;
        const SETTINGS changed = changedSettings();
        provider.SetCurrentSettings(changed);
        QVERIFY(AutostartEntry::IsInstalled());

        provider.SetDefaultSettings();
        const SETTINGS s = provider.GetCurrentSettings();
        // The three values that differ from a never-stored read.
        QCOMPARE(s.stopReminderTimeout, 0);
        QCOMPARE(s.memoReminderType, 1);
        QCOMPARE(s.totalLogSize, 1);
        // With the memo reminder on, the interval names the first entry.
        QCOMPARE(s.remindMode, 0);

        SETTINGS expected = changed;
        const SETTINGS d;
        expected.rosterWindowRect = d.rosterWindowRect;
        expected.runAtStartup = false;
        expected.signInAtRun = d.signInAtRun;
        expected.confirmAtExit = d.confirmAtExit;
        expected.openTeamRoomOrWorkWithTrackingTime = d.openTeamRoomOrWorkWithTrackingTime;
        expected.setReminderOnStop = d.setReminderOnStop;
        expected.stopWhileComputerIsLocked = d.stopWhileComputerIsLocked;
        expected.stopReminderType = d.stopReminderType;
        expected.stopReminderTimeout = 0;
        expected.memoReminderType = 1;
        expected.remindMode = 0;
        expected.remindModeIndex = 0;
        expected.memoEnterAction = d.memoEnterAction;
        expected.keepPrevMemo = d.keepPrevMemo;
        expected.keepMemoCount = d.keepMemoCount;
        expected.enableSnapshots = d.enableSnapshots;
        expected.popupTimeout = d.popupTimeout;
        expected.soundMode = d.soundMode;
        expected.ownSoundPath = d.ownSoundPath;
        expected.startMinimized = d.startMinimized;
        expected.displayWarnings = d.displayWarnings;
        expected.setMyChatStatusToPrivateWhenStop = d.setMyChatStatusToPrivateWhenStop;
        expected.setMyChatStatusToWorkingAtStart = d.setMyChatStatusToWorkingAtStart;
        expected.logLocation = d.logLocation;
        expected.isLimitLogSize = d.isLimitLogSize;
        expected.totalLogSize = 1;
        // Appearance, hotkeys, memos and the update date stay as stored.
        compareSettings(s, expected);
    }

    void hotkeyAndColourResetsKeepTheRest()
    {
        SettingsProvider provider;
        const SETTINGS changed = changedSettings();
        provider.SetCurrentSettings(changed);

        provider.SetDefaultHotkeys();
        SETTINGS expected = changed;
        expected.hotkeys = SettingsProvider::HOTKEYS();
        compareSettings(provider.GetCurrentSettings(), expected);

        provider.SetDefaultColors();
        const SETTINGS d;
        expected.groupFont = d.groupFont;
        expected.userNameActiveFont = d.userNameActiveFont;
        expected.memoActiveFont = d.memoActiveFont;
        expected.userNameInActiveFont = d.userNameInActiveFont;
        expected.memoInActiveFont = d.memoInActiveFont;
        expected.groupCursorBackground = d.groupCursorBackground;
        expected.groupCursorBorder = d.groupCursorBorder;
        expected.userCursorBackground = d.userCursorBackground;
        expected.userCursorBorder = d.userCursorBorder;
        expected.chatMessagesFont = d.chatMessagesFont;
        expected.chatRecentIncomingMessagesColor = d.chatRecentIncomingMessagesColor;
        expected.chatRecentOutgoingMessagesColor = d.chatRecentOutgoingMessagesColor;
        expected.chatIncomingMessagesColor = d.chatIncomingMessagesColor;
        expected.chatOutgoingMessagesColor = d.chatOutgoingMessagesColor;
        expected.historyMessagesFont = d.historyMessagesFont;
        expected.historyIncomingMessageColor = d.historyIncomingMessageColor;
        expected.historyOutgoingMessageColor = d.historyOutgoingMessageColor;
        expected.historySelectedMessageColor = d.historySelectedMessageColor;
        compareSettings(provider.GetCurrentSettings(), expected);
    }

    void coloursAreStoredAsHexText()
    {
        SettingsProvider provider;
        SETTINGS s = provider.GetCurrentSettings();
        s.groupCursorBorder = QColor(0x12, 0xAB, 0xEF);
        provider.SetCurrentSettings(s);
        QCOMPARE(rawStore()->value(SettingsKeys::groupCursorBorder).toString(), QString("#12abef"));
        // Upper-case hex written by hand reads as well.
        provider.SetKeyByName(SettingsKeys::userCursorBorder, "#A1B2C3");
        QCOMPARE(provider.GetCurrentSettings().userCursorBorder, QColor(0xA1, 0xB2, 0xC3));
    }

    void singleKeysWindowStateAndUpdateDate()
    {
        SettingsProvider* provider = SettingsProvider::instance();
        QCOMPARE(SettingsProvider::instance(), provider);

        provider->SaveWindowState(QRect(-5, 40, 600, 700));
        QCOMPARE(provider->GetCurrentSettings().rosterWindowRect, QRect(-5, 40, 600, 700));

        provider->SetKeyByName("CONFIRM_AT_EXIT", false);
        QCOMPARE(provider->GetCurrentSettings().confirmAtExit, false);

        provider->SetKeyByName("/update/date", QDate(2026, 12, 1));
        QCOMPARE(provider->GetCurrentSettings().updateDate, QDate(2026, 12, 1));
        reloadStoreFile();
        QCOMPARE(provider->GetCurrentSettings().updateDate, QDate(2026, 12, 1));
        // The date is kept through a whole-record write and can be cleared by one.
        SETTINGS s = provider->GetCurrentSettings();
        provider->SetCurrentSettings(s);
        QCOMPARE(provider->GetCurrentSettings().updateDate, QDate(2026, 12, 1));
        s.updateDate = QDate();
        provider->SetCurrentSettings(s);
        QVERIFY(provider->GetCurrentSettings().updateDate.isNull());
    }

    // Lines as earlier versions wrote them (every key, with the values of changedSettings, then
    // values as a previous run left them) read into the field, and written back they are stored
    // as they were, so that earlier versions read what is written now.
    void storeWrittenByAnotherProcessIsRead_data()
    {
        QTest::addColumn<QByteArray>("lines"); // under [General] unless they name a section
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value"); // as fields() gives it
        const auto font = [](const QByteArray& prefix, const char* name, const char* size,
                              const char* bold, const char* italic, const char* colour) {
            return "[appreance]\n" + prefix + "Bold=" + bold + "\n" + prefix + "Color=" + colour
                + "\n" + prefix + "Italic=" + italic + "\n" + prefix + "Name=" + name + "\n"
                + prefix + "Size=" + size;
        };
        const std::pair<const char*, QByteArray> written[] = {
            { "rosterWindowRect",
                "[interface]\nRosterWindowHeight=444\nRosterWindowWidth=333\nRosterWindowX=11\n"
                "RosterWindowY=22" },
            { "signInAtRun", "SIGN_IN_AT_RUN=true" },
            { "confirmAtExit", "CONFIRM_AT_EXIT=false" },
            { "openTeamRoomOrWorkWithTrackingTime",
                "OPEN_TEAM_ROOM_OR_WORK_WITH_TRACKING_TIME=false" },
            { "setReminderOnStop", "SET_REMINDER_ON_STOP=false" },
            { "stopWhileComputerIsLocked", "STOP_WHILE_COMPUTER_IS_LOCKED=true" },
            { "stopReminderType", "STOP_REMINDER_TYPE=1" },
            { "stopReminderTimeout", "STOP_REMINDER_TIMEOUT=4" },
            { "memoReminderType", "MEMO_REMINDER_TYPE=0" },
            { "remindMode", "MEMO_REMINDER_TYPE=0\nREMIND_MODE=3" },
            { "remindModeIndex", "MEMO_REMINDER_TYPE=0\nREMIND_MODE=3" },
            { "memoEnterAction", "MEMO_ENTER_ACTION=false" },
            { "keepPrevMemo", "KEEP_PREV_MEMO=false" },
            { "keepMemoCount", "KEEP_MEMO_COUNT=7" },
            { "enableSnapshots", "ENABLE_SNAPSHOTS=false" },
            { "popupTimeout", "POPUP_TIMEOUT=12" },
            { "soundMode", "SOUND_MODE=2" },
            { "ownSoundPath", "OWN_SOUND_PATH=\"/home/someone/sounds/ding, dong.wav\"" },
            { "startMinimized", "START_MINIMIZED=true" },
            { "displayWarnings", "DISPLAY_WARNINGS=false" },
            { "setMyChatStatusToPrivateWhenStop", "SET_MY_CHAT_STATUS_TO_PRIVATE_WHEN_STOP=false" },
            { "setMyChatStatusToWorkingAtStart", "SET_MY_CHAT_STATUS_TO_WORKING_AT_START=false" },
            { "logLocation", "[logging]\nLogLocation=/var/tmp/mq logs" },
            { "isLimitLogSize", "[logging]\nIsLimitLogSize=true" },
            { "totalLogSize", "[logging]\nTotalLogSize=30" },
            { "groupFont", font("GroupFont", "DejaVu Sans", "12", "false", "true", "#102030") },
            { "userNameActiveFont",
                font("UserNameActiveFont", "Courier", "9", "false", "true", "#a0b0c0") },
            { "memoActiveFont", font("MemoActiveFont", "Times", "11", "true", "true", "#010203") },
            { "userNameInActiveFont",
                font("UserNameInActiveFont", "Helvetica", "13", "false", "false", "#fefdfc") },
            { "memoInActiveFont",
                font("MemoInActiveFont", "Verdana", "8", "true", "false", "#123456") },
            { "groupCursorBackground", "[appreance]\nGroupCursorBackground=#111111" },
            { "groupCursorBorder", "[appreance]\nGroupCursorBorder=#222222" },
            { "userCursorBackground", "[appreance]\nUserCursorBackground=#333333" },
            { "userCursorBorder", "[appreance]\nUserCursorBorder=#444444" },
            { "chatMessagesFont",
                "[appreance]\nChatMessagesFontBold=true\nChatMessagesFontItalic=true\n"
                "ChatMessagesFontName=Georgia\nChatMessagesFontSize=14" },
            { "chatRecentIncomingMessagesColor",
                "[appreance]\nChatRecentIncomingMessagesColor=#555555" },
            { "chatRecentOutgoingMessagesColor",
                "[appreance]\nChatRecentOutgoingMessagesColor=#666666" },
            { "chatIncomingMessagesColor", "[appreance]\nChatIncomingMessagesColor=#777777" },
            { "chatOutgoingMessagesColor", "[appreance]\nChatOutgoingMessagesColor=#888888" },
            { "historyMessagesFont",
                "[appreance]\nHistoryMessagesFontBold=true\nHistoryMessagesFontItalic=false\n"
                "HistoryMessagesFontName=Tahoma\nHistoryMessagesFontSize=16" },
            { "historyIncomingMessageColor", "[appreance]\nHistoryIncomingMessageColor=#999999" },
            { "historyOutgoingMessageColor", "[appreance]\nHistoryOutgoingMessageColor=#aaaaaa" },
            { "historySelectedMessageColor", "[appreance]\nHistorySelectedMessageColor=#bbbbbb" },
            { "hotkeys",
                "[hotkeys]\nLastSnapshot=F5\nOpenMemo=Alt+M\nOpenPreferences=\"Ctrl+,\"\n"
                "OpenTeamRoom=Ctrl+1\nSnap1Display=Ctrl+Alt+1\nSnap2Display=Alt+Shift+2\n"
                "Snap3Display=Ctrl++\nSnapActiveWindow=Alt+W\nSnapAllDesktop=Alt+D\n"
                "StartTrackingTime=Ctrl+Alt+Shift+T\nStopTrackingTime=Ctrl+Shift+S" },
            { "prevMemo", "PREV_MEMO=[]" },
            { "updateDate", "[update]\ndate=2026-02-28" },
        };
        const SETTINGS changed = changedSettings();
        for (const auto& [field, lines] : written)
            QTest::newRow(field) << lines << QString(field) << valueOf(changed, field);
        QTest::newRow("memo count, previous run")
            << QByteArray("KEEP_MEMO_COUNT=3") << "keepMemoCount" << QVariant(3);
        QTest::newRow("update date, previous run") << QByteArray("[update]\ndate=2025-03-01")
                                                   << "updateDate" << QVariant(QDate(2025, 3, 1));
        QTest::newRow("font size, previous run")
            << QByteArray("[appreance]\nGroupFontSize=22") << "groupFont"
            << QVariant(QStringList { "Arial", "22", "bold", "", "#ffffff" });
        QTest::newRow("colour, previous run")
            << QByteArray("[appreance]\nGroupCursorBorder=#0a0b0c") << "groupCursorBorder"
            << QVariant("#0a0b0c");
    }

    void storeWrittenByAnotherProcessIsRead()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        SettingsProvider provider;
        provider.GetCurrentSettings();
        const QByteArray file = "[General]\nFIRST_RUN=false\n" + lines + "\n";
        writeStoreFile(file);
        const SETTINGS s = provider.GetCurrentSettings();
        QCOMPARE(valueOf(s, field), value);

        provider.SetCurrentSettings(s);
        QFile stored(rawStore()->fileName());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QSet<QString> written = fileLines(stored.readAll());
        for (const QString& line : fileLines(file))
            QVERIFY2(written.contains(line), qPrintable(line));
    }

    // Every key the table declares, once: a value it may take reads into one field of the record
    // and is written back as it was; a value it may not take reads as the default.
    void everyDeclaredKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("valid");
        QTest::addColumn<QStringList>("invalid");
        QSet<QString> names;
        for (const SettingsTable::Key& key : SettingsTable::Keys()) {
            QVERIFY2(!names.contains(key.name), qPrintable(key.name + " is declared twice"));
            names.insert(key.name);
            if (!key.get)
                continue; // kept outside the record
            const auto [valid, invalid] = storedValues(key);
            QTest::newRow(qPrintable(key.name)) << key.name << valid << invalid;
        }
    }

    void everyDeclaredKey()
    {
        QFETCH(QString, key);
        QFETCH(QString, valid);
        QFETCH(QStringList, invalid);
        SettingsProvider provider;
        writeStoreFile(storeFileWith(key, valid));
        const SETTINGS read = provider.GetCurrentSettings();
        const auto defaults = fields(SETTINGS());
        const auto values = fields(read);
        QStringList changed;
        for (int i = 0; i < values.size(); ++i) {
            if (values[i].second != defaults[i].second)
                changed.append(values[i].first);
        }
        QVERIFY2(changed.size() == 1, qPrintable(changed.join(", ")));

        provider.SetCurrentSettings(read);
        // The memo interval is stored as "never" while the memo reminder is off.
        QCOMPARE(rawStore()->value(key).toString(), key == SettingsKeys::remindMode ? "4" : valid);
        for (const QString& value : invalid) {
            writeStoreFile(storeFileWith(key, value));
            compareSettings(provider.GetCurrentSettings(), SETTINGS());
        }
    }

    void wrongTypedValuesReadAsDefaults()
    {
        SettingsProvider provider;
        provider.GetCurrentSettings();
        writeStoreFile("[General]\nFIRST_RUN=false\nCONFIRM_AT_EXIT=maybe\nKEEP_MEMO_COUNT=ten\n"
                       "POPUP_TIMEOUT=1, 2\nOWN_SOUND_PATH=a, b\n"
                       "[update]\ndate=someday\n"
                       "[interface]\nRosterWindowWidth=wide\n"
                       "[appreance]\nGroupFontSize=-4\nGroupFontName=\nGroupCursorBorder=red\n"
                       "UserCursorBorder=#12345\nGroupFontBold=@Invalid()\n");
        const SETTINGS s = provider.GetCurrentSettings();
        const SETTINGS d;
        QCOMPARE(s.confirmAtExit, d.confirmAtExit);
        QCOMPARE(s.keepMemoCount, d.keepMemoCount);
        QCOMPARE(s.popupTimeout, d.popupTimeout);
        QCOMPARE(s.ownSoundPath, d.ownSoundPath);
        QVERIFY(s.updateDate.isNull());
        QCOMPARE(s.rosterWindowRect.width(), d.rosterWindowRect.width());
        QCOMPARE(s.groupFont.size, d.groupFont.size);
        QCOMPARE(s.groupFont.name, d.groupFont.name);
        QCOMPARE(s.groupFont.bold, d.groupFont.bold);
        QCOMPARE(s.groupCursorBorder, d.groupCursorBorder);
        QCOMPARE(s.userCursorBorder, d.userCursorBorder);
    }

    void damagedValuesReadAsDefaults_data()
    {
        QTest::addColumn<QByteArray>("lines"); // under [General] unless they name a section
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("damage"); // must not be in the file after the first run

        const auto row = [](const char* name, const QByteArray& lines, const char* field) {
            QTest::newRow(name) << lines << QString(field)
                                << lines.mid(lines.lastIndexOf('\n') + 1) + '\n';
        };
        // Serialized values whose decoding would trust a count of 2^31 - 1 items.
        row("list of 2^31 items", "POPUP_TIMEOUT=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)",
            "popupTimeout");
        row("map of 2^31 items", "KEEP_MEMO_COUNT=@Variant(\\0\\0\\0\\b\\x7f\\xff\\xff\\xff)",
            "keepMemoCount");
        row("quoted list", "SOUND_MODE=\"@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\"",
            "soundMode");
        row("inside a list", "STOP_REMINDER_TYPE=1, @Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)",
            "stopReminderType");
        row("update date as a list", "[update]\ndate=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)",
            "updateDate");
        row("colour of an unknown kind",
            "[appreance]\nGroupCursorBorder=@Variant("
            "\\0\\0\\0\\x43\\t\\xff\\xff\\0\\x1\\0\\x2\\0\\x3\\0\\0)",
            "groupCursorBorder");
        row("cut-short value", "POPUP_TIMEOUT=@Variant(\\0\\0)", "popupTimeout");
        // The same, spelled with the escapes the store's reader resolves before it decodes.
        const QByteArray count = "\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)";
        row("@ as a hex escape", "POPUP_TIMEOUT=\\x40Variant(" + count, "popupTimeout");
        row("@ as an octal escape", "POPUP_TIMEOUT=\\100Variant(" + count, "popupTimeout");
        row("a letter escaped", "POPUP_TIMEOUT=@Vari\\x61nt(" + count, "popupTimeout");
        row("the bracket escaped", "POPUP_TIMEOUT=@Variant\\x28" + count, "popupTimeout");
        row("the closing bracket escaped",
            "POPUP_TIMEOUT=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff\\x29", "popupTimeout");
        row("hex escape of eight digits", "POPUP_TIMEOUT=\\x00000040Variant(" + count,
            "popupTimeout");
        row("hex escape past 16 bits", "POPUP_TIMEOUT=\\x10040Variant(" + count, "popupTimeout");
        row("octal escape of seven digits", "POPUP_TIMEOUT=\\0000100Variant(" + count,
            "popupTimeout");
        row("a line continued inside", "POPUP_TIMEOUT=@Vari\\\nant(" + count, "popupTimeout");
        row("escaped, inside a list", "STOP_REMINDER_TYPE=1, \\x40Variant(" + count,
            "stopReminderType");
        row("escaped, quoted", "SOUND_MODE=\"\\x40Variant(" + count + "\"", "soundMode");
        row("escaped key", "POPUP%5FTIMEOUT=\\x40Variant(" + count, "popupTimeout");
        // The reader decodes date-times too, with a newer stream that flags null values.
        row("serialized date-time", "POPUP_TIMEOUT=@DateTime(\\0\\0\\0\\t\\0\\x7f\\xff\\xff\\xff)",
            "popupTimeout");
        // A file that begins with a UTF-8 mark is read as UTF-8, which drops a mark that begins
        // a run of plain characters.
        row("UTF-8 file, a mark before the @",
            utf8Mark + "X=1\nPOPUP_TIMEOUT=" + utf8Mark + "@Variant(" + count, "popupTimeout");
        // Out of range: timers, indexes and sizes computed from them would overflow or miss.
        row("popup timeout overflowing in ms", "POPUP_TIMEOUT=3000000", "popupTimeout");
        row("negative popup timeout", "POPUP_TIMEOUT=-1", "popupTimeout");
        row("stop reminder type 9", "STOP_REMINDER_TYPE=9", "stopReminderType");
        row("stop reminder interval -1", "STOP_REMINDER_TIMEOUT=-1", "stopReminderTimeout");
        row("memo reminder type INT_MAX", "MEMO_REMINDER_TYPE=2147483647", "memoReminderType");
        row("remind mode 9", "REMIND_MODE=9", "remindMode");
        row("sound mode 9", "SOUND_MODE=9", "soundMode");
        row("memo count INT_MAX", "KEEP_MEMO_COUNT=2147483647", "keepMemoCount");
        row("log size not offered", "[logging]\nTotalLogSize=9", "totalLogSize");
        row("log size -1", "[logging]\nTotalLogSize=-1", "totalLogSize");
        row("font size INT_MAX", "[appreance]\nGroupFontSize=2147483647", "groupFont");
        row("window x INT_MAX", "[interface]\nRosterWindowX=2147483647", "rosterWindowRect");
        row("window y -INT_MAX", "[interface]\nRosterWindowY=-2147483647", "rosterWindowRect");
        row("window 3,000,000 wide", "[interface]\nRosterWindowWidth=3000000", "rosterWindowRect");
        row("window height 0", "[interface]\nRosterWindowHeight=0", "rosterWindowRect");
    }

    void damagedValuesReadAsDefaults()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, field);
        QFETCH(QByteArray, damage);
        // Intact neighbours prove that the rest of the store is still read. A byte-order mark
        // must begin the file.
        const QByteArray mark = lines.startsWith(utf8Mark) ? utf8Mark : QByteArray();
        writeStoreFile(mark + "[General]\nCONFIRM_AT_EXIT=false\n" + lines.mid(mark.size())
            + "\n[appreance]\nUserCursorBorder=#0a0b0c\n");
        SettingsProvider provider;
        const SETTINGS s = provider.GetCurrentSettings(); // the first run: writes back
        QTRY_VERIFY(rawStore()->contains(SettingsKeys::firstRun));
        QCOMPARE(s.confirmAtExit, false);
        QCOMPARE(s.userCursorBorder, QColor(0x0a, 0x0b, 0x0c));
        QCOMPARE(valueOf(s, field), valueOf(SETTINGS(), field));

        QFile file(rawStore()->fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QVERIFY2(!written.contains(damage), written.constData());
        reloadStoreFile();
        QCOMPARE(valueOf(provider.GetCurrentSettings(), field), valueOf(SETTINGS(), field));
    }

    // The screen decides on what the store's reader will make of a value, so both must unescape
    // alike: compared on values of the escapes, quotes, commas and blanks that matter, and on
    // random mixtures of them.
    void valuesUnescapeAsTheStoreReadsThem_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("utf8");
        const QList<QByteArray> forms { "\\x41", "\\x0041", "\\x10041", "\\xg", "\\x", "\\101",
            "\\0101", "\\1234567", "\\8", "\\q", "\\\\", "\\\"", "\\n\\t", "a\\", "\\x41BCDEFG",
            "\\x6162", "  lead and trail  ", "trail\\x20  ", "a, b ,c", "\"a, b\"",
            "\"a\" b, \"c\"", "\"open", "x\"y\"z", "a,", ",", "\\,", "1, \\x40V(", "\\\r\nx",
            "\\\n\rx", "\xc3\xa9\\x41", "\xef\xbb\xbf!", "\xef\xbb\xbf\xef\xbb\xbf!", "\xff\xfe" };
        for (const QByteArray& form : forms) {
            QTest::newRow(form.constData()) << form << false;
            QTest::newRow(("UTF-8: " + form).constData()) << form << true;
        }
        QRandomGenerator random(20261207);
        const QList<QByteArray> pieces { "\\", "x", "0", "1", "4", "7", "8", "a", "F", "f", "n",
            "\"", ",", " ", "\t", "A", "(", ")", "@", "\xc3", "\xa9", "\xef\xbb\xbf", "\xff" };
        for (int i = 0; i < 400; ++i) {
            QByteArray value;
            const int length = random.bounded(12);
            for (int n = 0; n < length; ++n)
                value += pieces.at(random.bounded(pieces.size()));
            QTest::newRow(qPrintable(QStringLiteral("random %1").arg(i))) << value << (i % 2 == 1);
        }
    }

    void valuesUnescapeAsTheStoreReadsThem()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, utf8);
        const IniValue::Text ours = IniValue::Unescape(value, utf8);
        // A text beginning with @ is the reader's to decode further: not compared here.
        for (const QString& part : ours.parts) {
            if (part.startsWith(QLatin1Char('@')))
                QSKIP("decoded further by the reader");
        }
        // A file of its own for every value: the reader keeps what it read of a file name.
        static int files = 0;
        const QString path = probeFolder.filePath(QStringLiteral("%1.conf").arg(++files));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((utf8 ? utf8Mark + "X=1\n" : QByteArray()) + "[s]\nk=" + value);
        file.close();
        const QVariant theirs = QSettings(path, QSettings::IniFormat).value("s/k");
        if (ours.isList)
            QCOMPARE(theirs.toStringList(), ours.parts);
        else
            QCOMPARE(theirs, QVariant(ours.parts.value(0)));
    }

    void datesOfEarlierVersionsRead()
    {
        // Written as a serialized date before dates were stored as text.
        writeStoreFile(
            "[General]\nFIRST_RUN=false\n[update]\ndate=@Variant(\\0\\0\\0\\xe\\0%\\x8e\\xc0)\n");
        SettingsProvider provider;
        QCOMPARE(provider.GetCurrentSettings().updateDate, QDate(2026, 12, 1));
        provider.SetKeyByName(SettingsKeys::updateDate, QDate(2027, 1, 2));
        QCOMPARE(rawStore()->value(SettingsKeys::updateDate).toString(), QString("2027-01-02"));
    }

    // Opening a pipe waits for its other end for good, and the store's lock waits for ever on
    // a folder: whatever is at the store's file or its lock is set aside, and the store works.
    void storeFilesThatAreNotFilesAreSetAside_data()
    {
        QTest::addColumn<QString>("suffix"); // after the store file's name
        QTest::addColumn<QString>("kind");
        for (const char* suffix : { "", ".lock", ".lock.rmlock" }) {
            for (const char* kind : { "pipe", "folder", "link to a pipe", "socket" }) {
                const QString name = QStringLiteral("store%1, %2").arg(suffix, kind);
                QTest::newRow(qPrintable(name)) << QString(suffix) << QString(kind);
            }
        }
    }

    void storeFilesThatAreNotFilesAreSetAside()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, kind);
        const QString store = rawStore()->fileName();
        QFile::remove(store);
        const QString path = store + suffix;
        QVERIFY(MakeNotAFile(path, kind));
        {
            const Deadline deadline(QTest::currentDataTag(), 10);
            SettingsProvider provider;
            QCOMPARE(provider.GetCurrentSettings().confirmAtExit, true);
            provider.SetKeyByName(SettingsKeys::confirmAtExit, false);
        }
        QVERIFY(QFileInfo(store).isFile() && !QFileInfo(store).isSymLink());
        QCOMPARE(rawStore()->value(SettingsKeys::confirmAtExit).toString(), QString("false"));
        const QStringList aside = SetAsideBeside(path);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(
            QFileInfo(QFileInfo(path).dir().filePath(aside.first())).isDir(), kind == "folder");
        QVERIFY(QDir(QFileInfo(path).path()).removeRecursively());
    }

    // A stored hotkey is bound for the whole desktop, so one that breaks the hotkey rule reads as
    // none, is said once, and is not written back.
    void storedHotkeysFollowTheRule_data()
    {
        QTest::addColumn<QByteArray>("stored"); // lines under [hotkeys]
        QTest::addColumn<QStringList>("read"); // the eleven in the order of the record
        QTest::addColumn<int>("warnings");
        const auto keys = [](std::initializer_list<std::pair<int, const char*>> set) {
            QStringList list;
            for (int i = 0; i < 11; ++i)
                list.append(QString());
            for (const auto& [index, text] : set)
                list[index] = text;
            return list;
        };
        // The rule's own cases are in tst_hotkeyrule; one of each kind here.
        for (const char* bare : { "a", "Shift+1", "Ctrl+", "Ctrl+NoSuchKey" })
            QTest::newRow(bare) << "OpenMemo=" + QByteArray(bare) << keys({}) << 1;
        QTest::newRow("100,000 characters")
            << "OpenMemo=Ctrl+" + QByteArray(100000, 'a') << keys({}) << 1;
        QTest::newRow("function keys alone or with Shift")
            << QByteArray("OpenMemo=F5\nSnap3Display=Shift+F35")
            << keys({ { 2, "F5" }, { 10, "Shift+F35" } }) << 0;
        // The first action keeps a hotkey two share, whatever order the file lists them in.
        QTest::newRow("twice: the earlier action keeps it")
            << QByteArray("Snap3Display=Ctrl+K\nOpenTeamRoom=Cmd+K\nSnap1Display=Ctrl+Alt+J\n"
                          "OpenMemo=Alt+Ctrl+J")
            << keys({ { 0, "Cmd+K" }, { 2, "Alt+Ctrl+J" } }) << 2;
        QTest::newRow("the active-window snap binds nothing, so it may repeat one")
            << QByteArray("OpenTeamRoom=Ctrl+1\nSnapActiveWindow=Ctrl+1")
            << keys({ { 0, "Ctrl+1" }, { 7, "Ctrl+1" } }) << 0;
        QTest::newRow("the active-window snap keeps the rule")
            << QByteArray("SnapActiveWindow=w") << keys({}) << 1;
    }

    void storedHotkeysFollowTheRule()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, read);
        QFETCH(int, warnings);
        writeStoreFile("[hotkeys]\n" + stored + "\n");
        warned.clear();
        const QtMessageHandler previous = qInstallMessageHandler(countWarnings);
        SettingsProvider provider;
        const SETTINGS first = provider.GetCurrentSettings(); // the first run: writes back
        const SETTINGS second = provider.GetCurrentSettings();
        QTRY_VERIFY(rawStore()->contains(SettingsKeys::firstRun));
        qInstallMessageHandler(previous);
        QCOMPARE(valueOf(first, "hotkeys").toStringList(), read);
        QCOMPARE(valueOf(second, "hotkeys").toStringList(), read);
        QCOMPARE(warned.size(), warnings);

        const QStringList written = valueOf(rereadStoreFile(provider), "hotkeys").toStringList();
        QCOMPARE(written, read);
        QVERIFY(QFileInfo(rawStore()->fileName()).size() < 10000);
    }

    void storeIsUserOnly()
    {
        SettingsProvider provider;
        provider.SetCurrentSettings(changedSettings());
        const QString file = rawStore()->fileName();
        QCOMPARE(fileMode(file), 0600);
        QCOMPARE(fileMode(QFileInfo(file).path()), 0700);
    }

    void passwordRoundTripsEncrypted()
    {
        SettingsProvider provider;
        const QString password = QString::fromUtf8("s3cr\xc3\xa9t & \"quoted\"");
        provider.SaveLoginName("someone@example.org");
        provider.SavePassword(password);
        QCOMPARE(provider.GetLoginName(), QString("someone@example.org"));
        QCOMPARE(provider.GetPassword(), password);

        // The store holds neither the text nor an encoding of it.
        QFile file(rawStore()->fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY(!content.contains(password.toUtf8()));
        QVERIFY(!content.contains("s3cr"));
        QVERIFY(!content.contains(password.toUtf8().toBase64()));
        // Encryption is randomised: saving again gives another ciphertext.
        const QString first = rawStore()->value(SettingsKeys::password).toString();
        provider.SavePassword(password);
        QVERIFY(rawStore()->value(SettingsKeys::password).toString() != first);
        QCOMPARE(provider.GetPassword(), password);

        SettingsProvider other;
        QCOMPARE(other.GetPassword(), password);

        provider.ForgetPassword();
        QVERIFY(provider.GetPassword().isEmpty());
        QVERIFY(!rawStore()->contains(SettingsKeys::password));
        QCOMPARE(provider.GetLoginName(), QString("someone@example.org"));
    }

    void damagedPasswordReadsEmpty()
    {
        SettingsProvider provider;
        provider.SavePassword("secret");
        QByteArray cipher = QByteArray::fromBase64(
            rawStore()->value(SettingsKeys::password).toString().toLatin1());
        cipher[cipher.size() / 2] = char(cipher[cipher.size() / 2] ^ 0x55);
        provider.SetKeyByName(SettingsKeys::password, QString::fromLatin1(cipher.toBase64()));
        QVERIFY(provider.GetPassword().isEmpty());

        provider.SetKeyByName(SettingsKeys::password, "not base64 at all!");
        QVERIFY(provider.GetPassword().isEmpty());
        provider.SetKeyByName(
            SettingsKeys::password, QString::fromLatin1(QByteArray(16, 'A').toBase64()));
        QVERIFY(provider.GetPassword().isEmpty());
        provider.SetKeyByName(SettingsKeys::password, 42);
        QVERIFY(provider.GetPassword().isEmpty());

        provider.SavePassword(QString());
        QVERIFY(!rawStore()->contains(SettingsKeys::password));
    }

    void autostartEntryFollowsRunAtStartup()
    {
        SettingsProvider provider;
        SETTINGS s = provider.GetCurrentSettings();
        QVERIFY(!s.runAtStartup);
        const QString entry = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"))
            + "/autostart/movarelquintash-client.desktop";
        if (!qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
            QCOMPARE(AutostartEntry::FilePath(), entry);

        s.runAtStartup = true;
        provider.SetCurrentSettings(s);
        QVERIFY(QFile::exists(AutostartEntry::FilePath()));
        QVERIFY(provider.GetCurrentSettings().runAtStartup);
        QFile file(AutostartEntry::FilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("\nType=Application\n"));
        QVERIFY(text.contains(
            "\nExec=" + AutostartEntry::ExecLine(QCoreApplication::applicationFilePath()) + "\n"));

        s.runAtStartup = false;
        provider.SetCurrentSettings(s);
        QVERIFY(!QFile::exists(AutostartEntry::FilePath()));
        QVERIFY(!provider.GetCurrentSettings().runAtStartup);
    }

    void execLineQuotesAndEscapes()
    {
        QCOMPARE(AutostartEntry::ExecLine("/usr/bin/client"), QString("\"/usr/bin/client\""));
        QCOMPARE(AutostartEntry::ExecLine("/opt/My App/client"), QString("\"/opt/My App/client\""));
        QCOMPARE(AutostartEntry::ExecLine("/a\"b$c`d%e\\f"),
            QString("\"/a\\\\\"b\\\\$c\\\\`d%%e\\\\\\\\f\""));
    }

    void memosAreKeptNewestFirstPerTeam()
    {
        SettingsProvider provider;
        SETTINGS s = provider.GetCurrentSettings();
        s.keepMemoCount = 2;
        provider.SetCurrentSettings(s);

        provider.AddMemo({ "first", "alpha" });
        provider.AddMemo({ "other team", "beta" });
        provider.AddMemo({ "second\nwith a line and \"quotes\"", "alpha" });
        provider.AddMemo({ "third", "alpha" });
        auto alpha = provider.GetMemos("alpha");
        QCOMPARE(alpha.size(), 2);
        QCOMPARE(alpha[0].memo, QString("third"));
        QCOMPARE(alpha[1].memo, QString("second\nwith a line and \"quotes\""));
        QCOMPARE(alpha[1].teamName, QString("alpha"));
        QCOMPARE(provider.GetMemos("beta").size(), 1);
        QVERIFY(provider.GetMemos("gamma").isEmpty());

        // A memo used again moves to the front instead of appearing twice; blanks are not kept.
        provider.AddMemo({ "second\nwith a line and \"quotes\"", "alpha" });
        provider.AddMemo({ "   ", "alpha" });
        alpha = provider.GetMemos("alpha");
        QCOMPARE(alpha.size(), 2);
        QCOMPARE(alpha[0].memo, QString("second\nwith a line and \"quotes\""));
        QCOMPARE(alpha[1].memo, QString("third"));

        // The raw text travels through the record unchanged.
        const QString raw = provider.GetCurrentSettings().prevMemo;
        QVERIFY(!raw.isEmpty());
        provider.SetCurrentSettings(provider.GetCurrentSettings());
        QCOMPARE(provider.GetMemos("alpha").size(), 2);
        reloadStoreFile();
        QCOMPARE(provider.GetMemos("alpha")[0].memo, QString("second\nwith a line and \"quotes\""));
        QCOMPARE(provider.GetMemos("beta")[0].memo, QString("other team"));

        s = provider.GetCurrentSettings();
        s.keepPrevMemo = false;
        provider.SetCurrentSettings(s);
        QVERIFY(provider.GetMemos("alpha").isEmpty());
        provider.AddMemo({ "ignored", "alpha" });
        provider.SetKeyByName(SettingsKeys::keepPrevMemo, true);
        QVERIFY(provider.GetMemos("alpha").isEmpty());
        QVERIFY(provider.GetMemos("beta").isEmpty());
    }

    void damagedMemoTextReadsAsNoMemos()
    {
        SettingsProvider provider;
        provider.SetKeyByName(SettingsKeys::prevMemo, "{not json");
        QVERIFY(provider.GetMemos("alpha").isEmpty());
        provider.AddMemo({ "fresh", "alpha" });
        QCOMPARE(provider.GetMemos("alpha").size(), 1);
    }

    void styleSheetComesFromTheResource()
    {
        QWidget widget;
        SettingsProvider::SetStyleToWidget(&widget, ":/design/mac.qss");
        QFile qss(":/design/mac.qss");
        QVERIFY(qss.open(QIODevice::ReadOnly));
        QCOMPARE(widget.styleSheet(), QString::fromUtf8(qss.readAll()));
        SettingsProvider::instance()->SetStyleToWidget(&widget, ":/design/missing.qss");
        QVERIFY(widget.styleSheet().isEmpty());
        SettingsProvider::SetStyleToWidget(nullptr, ":/design/mac.qss");
    }

private:
    QTemporaryDir probeFolder;
    static inline QStringList warned;

    static void countWarnings(
        QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtWarningMsg && QByteArray(context.category) == "movarelquintash.settings")
            warned.append(text);
    }

    // What a new process reads from the file as it is now.
    static SETTINGS rereadStoreFile(SettingsProvider& provider)
    {
        reloadStoreFile();
        return provider.GetCurrentSettings();
    }

    static QVariant valueOf(const SETTINGS& s, const QString& field)
    {
        const auto all = fields(s);
        for (const auto& pair : all) {
            if (pair.first == field)
                return pair.second;
        }
        qFatal("no field %s", qPrintable(field));
    }

    // Makes the store read its file again, as a new process would.
    static void reloadStoreFile()
    {
        QFile file(rawStore()->fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        writeStoreFile(file.readAll());
    }

    static void writeStoreFile(const QByteArray& content)
    {
        const QString path = rawStore()->fileName();
        // Make sure the modification time moves, so the store notices the new content.
        QTest::qWait(20);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        QFile(path).setFileTime(
            QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    }
};

QTEST_MAIN(TestSettingsProvider)
#include "tst_settingsprovider.moc"
