#include "SettingsProvider.h"

#include "AutostartEntry.h"
#include "HotkeyRule.h"
#include "LogCategories.h"
#include "PasswordCipher.h"
#include "RegularFile.h"
#include "ReminderSchedule.h"
#include "SettingsFileScreen.h"
#include "SettingsKeys.h"
#include "UserOnlyFiles.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <array>
#include <mutex>

namespace {

// The valid ranges of the numeric preferences: the choices the preferences offer, and for the
// window geometry what a desktop can hold.
constexpr int maxFontSize = 512; // points
constexpr int maxPopupTimeout = 99; // seconds, two digits
constexpr int maxKeepMemoCount = 99;
constexpr int lastStopReminderType = int(ReminderSchedule::Kind::None);
constexpr int lastStopReminderTimeout = 4;
constexpr int lastMemoReminderType = int(ReminderSchedule::Kind::None);
constexpr int lastRemindMode = 4;
constexpr int lastSoundMode = 2;
constexpr int maxWindowCoordinate = 32767;
const QList<int> logSizes { 1, 2, 3, 5, 10, 20, 30 }; // megabytes

// Reads typed values from the store. A value of the wrong type, or text that does not
// parse as the type, gives the default: a damaged store never breaks the client.
class StoreReader
{
public:
    explicit StoreReader(QSettings& store) : store(store) { }

    bool Bool(const QString& key, bool fallback) const
    {
        const QVariant value = store.value(key);
        switch (value.type()) {
        case QVariant::Bool:
            return value.toBool();
        case QVariant::Int:
        case QVariant::LongLong:
            if (value.toLongLong() == 0 || value.toLongLong() == 1)
                return value.toLongLong() == 1;
            return fallback;
        case QVariant::String: {
            const QString text = value.toString().trimmed().toLower();
            if (text == QLatin1String("true") || text == QLatin1String("1"))
                return true;
            if (text == QLatin1String("false") || text == QLatin1String("0"))
                return false;
            return fallback;
        }
        default:
            return fallback;
        }
    }

    int Int(const QString& key, int fallback) const
    {
        const QVariant value = store.value(key);
        bool ok = false;
        int result = 0;
        switch (value.type()) {
        case QVariant::Int:
        case QVariant::UInt:
        case QVariant::LongLong:
        case QVariant::ULongLong:
            result = value.toInt(&ok);
            break;
        case QVariant::String:
            result = value.toString().trimmed().toInt(&ok);
            break;
        default:
            break;
        }
        return ok ? result : fallback;
    }

    // A value outside min..max is damage, not a choice: it reads as the fallback.
    int Int(const QString& key, int fallback, int min, int max) const
    {
        const int value = Int(key, fallback);
        return value >= min && value <= max ? value : fallback;
    }

    QString Text(const QString& key, const QString& fallback) const
    {
        const QVariant value = store.value(key);
        return value.type() == QVariant::String ? value.toString() : fallback;
    }

    // Colours are stored as #rrggbb.
    QColor Colour(const QString& key, const QColor& fallback) const
    {
        static const QRegularExpression pattern(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
        const QVariant value = store.value(key);
        if (value.type() == QVariant::Color && value.value<QColor>().isValid())
            return value.value<QColor>();
        if (value.type() == QVariant::String) {
            const QString text = value.toString().trimmed();
            if (pattern.match(text).hasMatch())
                return QColor(text);
        }
        return fallback;
    }

    QDate Date(const QString& key) const
    {
        const QVariant value = store.value(key);
        switch (value.type()) {
        case QVariant::Date:
            return value.toDate();
        case QVariant::DateTime:
            return value.toDateTime().date();
        case QVariant::String:
            return QDate::fromString(value.toString().trimmed(), Qt::ISODate);
        default:
            return QDate();
        }
    }

    SettingsProvider::FONT_BLOCK Font(
        const QString& prefix, const SettingsProvider::FONT_BLOCK& fallback, bool withColour) const
    {
        SettingsProvider::FONT_BLOCK font;
        font.name = Text(prefix + QLatin1String("Name"), fallback.name);
        if (font.name.trimmed().isEmpty())
            font.name = fallback.name;
        font.size = Int(prefix + QLatin1String("Size"), fallback.size, 1, maxFontSize);
        font.bold = Bool(prefix + QLatin1String("Bold"), fallback.bold);
        font.italic = Bool(prefix + QLatin1String("Italic"), fallback.italic);
        font.colour = withColour ? Colour(prefix + QLatin1String("Color"), fallback.colour)
                                 : fallback.colour;
        return font;
    }

private:
    QSettings& store;
};

// The memos are kept as one JSON text: an array of {"team", "memo"} objects, newest first.
QList<SettingsProvider::MEMO_ITEM> parseMemos(const QString& raw)
{
    QList<SettingsProvider::MEMO_ITEM> memos;
    const QJsonDocument document = QJsonDocument::fromJson(raw.toUtf8());
    const QJsonArray entries = document.array();
    for (const QJsonValue& entry : entries) {
        const QJsonObject object = entry.toObject();
        const QString memo = object.value(QLatin1String("memo")).toString();
        if (!memo.isEmpty())
            memos.append({ memo, object.value(QLatin1String("team")).toString() });
    }
    return memos;
}

QString serializeMemos(const QList<SettingsProvider::MEMO_ITEM>& memos)
{
    QJsonArray entries;
    for (const SettingsProvider::MEMO_ITEM& item : memos)
        entries.append(QJsonObject {
            { QStringLiteral("team"), item.teamName }, { QStringLiteral("memo"), item.memo } });
    return QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact));
}

// The memo reminder interval the store keeps while the reminder is off.
constexpr int remindModeWhenOff = 4;
constexpr int memoReminderOff = int(ReminderSchedule::Kind::None);

using HOTKEYS = SettingsProvider::HOTKEYS;

// The bound hotkeys in the order of their actions, which decides which of two equal ones stays.
const std::array<std::pair<QLatin1String, QString HOTKEYS::*>, 10> boundHotkeys { {
    { QLatin1String("OpenTeamRoom"), &HOTKEYS::OpenTeamRoom },
    { QLatin1String("OpenPreferences"), &HOTKEYS::OpenPreferences },
    { QLatin1String("OpenMemo"), &HOTKEYS::OpenMemo },
    { QLatin1String("StopTrackingTime"), &HOTKEYS::StopTrackingTime },
    { QLatin1String("StartTrackingTime"), &HOTKEYS::StartTrackingTime },
    { QLatin1String("LastSnapshot"), &HOTKEYS::LastSnapshot },
    { QLatin1String("SnapAllDesktop"), &HOTKEYS::SnapAllDesktop },
    { QLatin1String("Snap1Display"), &HOTKEYS::Snap1Display },
    { QLatin1String("Snap2Display"), &HOTKEYS::Snap2Display },
    { QLatin1String("Snap3Display"), &HOTKEYS::Snap3Display },
} };

QString ProblemText(HotkeyRule::PROBLEM problem)
{
    switch (problem) {
    case HotkeyRule::HOTKEY_NO_KEY:
        return QStringLiteral("it has no key");
    case HotkeyRule::HOTKEY_NOT_A_KEY:
        return QStringLiteral("it names no key a hotkey can use");
    case HotkeyRule::HOTKEY_NO_MODIFIER:
        return QStringLiteral("it needs Ctrl or Alt");
    case HotkeyRule::HOTKEY_TAKEN:
        return QStringLiteral("an earlier action has it");
    case HotkeyRule::HOTKEY_OK:
        break;
    }
    return QString();
}

// Once per stored text, not at every read of the store.
void ReportDroppedHotkey(const QString& name, const QString& text, HotkeyRule::PROBLEM problem)
{
    static std::mutex lock;
    static QSet<QString> reported;
    const std::lock_guard<std::mutex> locked(lock);
    const QString entry = name + QLatin1Char('=') + text;
    if (reported.contains(entry))
        return;
    reported.insert(entry);
    const QString shown = text.size() > 40
        ? text.left(40) + QStringLiteral("... (%1 characters)").arg(text.size())
        : text;
    qCWarning(settingsLog).noquote()
        << QStringLiteral("The stored hotkey %1 \"%2\" is not bound: %3")
               .arg(name, shown, ProblemText(problem));
}

// A stored hotkey that breaks the rule reads as none: it is neither bound nor written back.
HOTKEYS ReadHotkeys(const StoreReader& read)
{
    HOTKEYS hotkeys;
    const QString& prefix = SettingsKeys::hotkeys;
    QStringList texts;
    for (const auto& [name, field] : boundHotkeys)
        texts.append(read.Text(prefix + name, QString()));
    const QList<HotkeyRule::PROBLEM> problems = HotkeyRule::CheckAll(texts);
    for (int i = 0; i < texts.size(); ++i) {
        const auto& [name, field] = boundHotkeys.at(size_t(i));
        if (problems.at(i) == HotkeyRule::HOTKEY_OK)
            hotkeys.*field = texts.at(i);
        else
            ReportDroppedHotkey(name, texts.at(i), problems.at(i));
    }
    // The active-window snap is bound to nothing, so it takes no key from another action.
    const QLatin1String active("SnapActiveWindow");
    const QString activeText = read.Text(prefix + active, QString());
    const HotkeyRule::PROBLEM problem
        = activeText.isEmpty() ? HotkeyRule::HOTKEY_OK : HotkeyRule::Check(activeText);
    if (problem == HotkeyRule::HOTKEY_OK)
        hotkeys.SnapActiveWindow = activeText;
    else
        ReportDroppedHotkey(active, activeText, problem);
    return hotkeys;
}

// The file of the native store under the organisation and application names. The store is
// opened on it by name, so that it can be checked before the store reads it.
QString StoreFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + AppInfo::organizationName + QLatin1Char('/') + AppInfo::applicationName
        + QStringLiteral(".conf");
}

// The store reads its file, and locks a write with "<file>.lock" (and, to take a stale lock
// over, "<file>.lock.rmlock"): a pipe at any of them would block it for good, a folder at a
// lock would keep it waiting. Anything but a regular file there is set aside.
bool ClearStoreFiles(const QString& path)
{
    const QString files[]
        = { path, path + QStringLiteral(".lock"), path + QStringLiteral(".lock.rmlock") };
    return std::all_of(std::begin(files), std::end(files),
        [](const QString& file) { return RegularFile::SetAsideUnlessRegular(file); });
}

// The store's file, made user-only before the first value is written (the store keeps the mode
// on rewrite). When what is there cannot be set aside, the preferences live in a throwaway file
// for this session, so the client still starts.
QString UsableStoreFile()
{
    const QString path = StoreFilePath();
    const QString folder = QFileInfo(path).path();
    if (UserOnlyFiles::MakeFolder(folder))
        UserOnlyFiles::RestrictFolder(folder);
    if (ClearStoreFiles(path)) {
        UserOnlyFiles::PrepareFile(path);
        return path;
    }
    static QTemporaryDir throwaway;
    const QString session = throwaway.filePath(QStringLiteral("preferences.conf"));
    qCWarning(settingsLog).noquote()
        << "The preferences are kept in" << session << "for this session only";
    return session;
}

} // namespace

SettingsProvider* SettingsProvider::instance()
{
    static SettingsProvider provider;
    return &provider;
}

SettingsProvider::SettingsProvider(QObject* parent, const QString& path)
    : QObject(parent), store(UsableStoreFile(), QSettings::IniFormat)
{
    Q_UNUSED(path) // every instance works on the one native store
}

SettingsProvider::SETTINGS SettingsProvider::GetCurrentSettings()
{
    const bool writable = Reload();
    const SETTINGS s = ReadSettings();
    if (writable && !firstRunCompletion && StoreReader(store).Bool(SettingsKeys::firstRun, true)) {
        firstRunCompletion = true;
        if (QCoreApplication::instance())
            QTimer::singleShot(firstRunWriteMs, this, &SettingsProvider::CompleteFirstRun);
        else
            CompleteFirstRun();
    }
    return s;
}

void SettingsProvider::CompleteFirstRun()
{
    if (!Reload() || !StoreReader(store).Bool(SettingsKeys::firstRun, true))
        return;
    const SETTINGS s = ReadSettings();
    Store(SettingsKeys::firstRun, false);
    WriteSettings(s);
    Flush();
}

SettingsProvider::SETTINGS SettingsProvider::ReadSettings()
{
    const StoreReader read(store);
    const SETTINGS d;
    SETTINGS s;

    const QRect& r = d.rosterWindowRect;
    const int c = maxWindowCoordinate;
    s.rosterWindowRect = QRect(read.Int(SettingsKeys::rosterWindowX, r.x(), -c, c),
        read.Int(SettingsKeys::rosterWindowY, r.y(), -c, c),
        read.Int(SettingsKeys::rosterWindowWidth, r.width(), 1, c),
        read.Int(SettingsKeys::rosterWindowHeight, r.height(), 1, c));
    s.runAtStartup = AutostartEntry::IsInstalled();
    s.signInAtRun = read.Bool(SettingsKeys::signInAtRun, d.signInAtRun);
    s.confirmAtExit = read.Bool(SettingsKeys::confirmAtExit, d.confirmAtExit);
    s.openTeamRoomOrWorkWithTrackingTime = read.Bool(
        SettingsKeys::openTeamRoomOrWorkWithTrackingTime, d.openTeamRoomOrWorkWithTrackingTime);
    s.setReminderOnStop = read.Bool(SettingsKeys::setReminderOnStop, d.setReminderOnStop);
    s.stopWhileComputerIsLocked
        = read.Bool(SettingsKeys::stopWhileComputerIsLocked, d.stopWhileComputerIsLocked);
    s.stopReminderType
        = read.Int(SettingsKeys::stopReminderType, d.stopReminderType, 0, lastStopReminderType);
    s.stopReminderTimeout = read.Int(
        SettingsKeys::stopReminderTimeout, d.stopReminderTimeout, 0, lastStopReminderTimeout);
    s.memoReminderType
        = read.Int(SettingsKeys::memoReminderType, d.memoReminderType, 0, lastMemoReminderType);
    s.remindMode = read.Int(SettingsKeys::remindMode, d.remindMode, 0, lastRemindMode);
    s.remindModeIndex = read.Int(SettingsKeys::remindMode, d.remindModeIndex, 0, lastRemindMode);
    s.memoEnterAction = read.Bool(SettingsKeys::memoEnterAction, d.memoEnterAction);
    s.keepPrevMemo = read.Bool(SettingsKeys::keepPrevMemo, d.keepPrevMemo);
    s.keepMemoCount = read.Int(SettingsKeys::keepMemoCount, d.keepMemoCount, 0, maxKeepMemoCount);
    s.enableSnapshots = read.Bool(SettingsKeys::enableSnapshots, d.enableSnapshots);
    s.popupTimeout = read.Int(SettingsKeys::popupTimeout, d.popupTimeout, 0, maxPopupTimeout);
    s.soundMode = read.Int(SettingsKeys::soundMode, d.soundMode, 0, lastSoundMode);
    s.ownSoundPath = read.Text(SettingsKeys::ownSoundPath, d.ownSoundPath);
    s.startMinimized = read.Bool(SettingsKeys::startMinimized, d.startMinimized);
    s.displayWarnings = read.Bool(SettingsKeys::displayWarnings, d.displayWarnings);
    s.setMyChatStatusToPrivateWhenStop = read.Bool(
        SettingsKeys::setMyChatStatusToPrivateWhenStop, d.setMyChatStatusToPrivateWhenStop);
    s.setMyChatStatusToWorkingAtStart = read.Bool(
        SettingsKeys::setMyChatStatusToWorkingAtStart, d.setMyChatStatusToWorkingAtStart);
    s.logLocation = read.Text(SettingsKeys::logLocation, d.logLocation);
    if (s.logLocation.trimmed().isEmpty())
        s.logLocation = d.logLocation;
    s.isLimitLogSize = read.Bool(SettingsKeys::isLimitLogSize, d.isLimitLogSize);
    s.totalLogSize = read.Int(SettingsKeys::totalLogSize, d.totalLogSize);
    if (!logSizes.contains(s.totalLogSize))
        s.totalLogSize = d.totalLogSize;

    s.groupFont = read.Font(SettingsKeys::groupFont, d.groupFont, true);
    s.userNameActiveFont = read.Font(SettingsKeys::userNameActiveFont, d.userNameActiveFont, true);
    s.memoActiveFont = read.Font(SettingsKeys::memoActiveFont, d.memoActiveFont, true);
    s.userNameInActiveFont
        = read.Font(SettingsKeys::userNameInActiveFont, d.userNameInActiveFont, true);
    s.memoInActiveFont = read.Font(SettingsKeys::memoInActiveFont, d.memoInActiveFont, true);
    s.groupCursorBackground
        = read.Colour(SettingsKeys::groupCursorBackground, d.groupCursorBackground);
    s.groupCursorBorder = read.Colour(SettingsKeys::groupCursorBorder, d.groupCursorBorder);
    s.userCursorBackground
        = read.Colour(SettingsKeys::userCursorBackground, d.userCursorBackground);
    s.userCursorBorder = read.Colour(SettingsKeys::userCursorBorder, d.userCursorBorder);
    s.chatMessagesFont = read.Font(SettingsKeys::chatMessagesFont, d.chatMessagesFont, false);
    s.chatRecentIncomingMessagesColor = read.Colour(
        SettingsKeys::chatRecentIncomingMessagesColor, d.chatRecentIncomingMessagesColor);
    s.chatRecentOutgoingMessagesColor = read.Colour(
        SettingsKeys::chatRecentOutgoingMessagesColor, d.chatRecentOutgoingMessagesColor);
    s.chatIncomingMessagesColor
        = read.Colour(SettingsKeys::chatIncomingMessagesColor, d.chatIncomingMessagesColor);
    s.chatOutgoingMessagesColor
        = read.Colour(SettingsKeys::chatOutgoingMessagesColor, d.chatOutgoingMessagesColor);
    s.historyMessagesFont
        = read.Font(SettingsKeys::historyMessagesFont, d.historyMessagesFont, false);
    s.historyIncomingMessageColor
        = read.Colour(SettingsKeys::historyIncomingMessageColor, d.historyIncomingMessageColor);
    s.historyOutgoingMessageColor
        = read.Colour(SettingsKeys::historyOutgoingMessageColor, d.historyOutgoingMessageColor);
    s.historySelectedMessageColor
        = read.Colour(SettingsKeys::historySelectedMessageColor, d.historySelectedMessageColor);

    s.hotkeys = ReadHotkeys(read);

    s.prevMemo = read.Text(SettingsKeys::prevMemo, d.prevMemo);
    s.updateDate = read.Date(SettingsKeys::updateDate);
    return s;
}

void SettingsProvider::SetCurrentSettings(const SETTINGS& settings)
{
    if (!Reload())
        return;
    WriteSettings(settings);
    Flush();
    if (settings.runAtStartup)
        AutostartEntry::Install(QCoreApplication::applicationFilePath());
    else
        AutostartEntry::Remove();
}

void SettingsProvider::WriteSettings(const SETTINGS& s)
{
    WriteWindowRect(s.rosterWindowRect);
    WriteGeneralOptions(s);
    WriteAppearance(s);
    WriteHotkeys(s.hotkeys);
    Store(SettingsKeys::prevMemo, s.prevMemo);
    if (s.updateDate.isValid())
        Store(SettingsKeys::updateDate, s.updateDate);
    else
        store.remove(SettingsKeys::updateDate);
}

void SettingsProvider::WriteWindowRect(const QRect& rect)
{
    Store(SettingsKeys::rosterWindowX, rect.x());
    Store(SettingsKeys::rosterWindowY, rect.y());
    Store(SettingsKeys::rosterWindowWidth, rect.width());
    Store(SettingsKeys::rosterWindowHeight, rect.height());
}

void SettingsProvider::WriteGeneralOptions(const SETTINGS& s)
{
    Store(SettingsKeys::signInAtRun, s.signInAtRun);
    Store(SettingsKeys::confirmAtExit, s.confirmAtExit);
    Store(SettingsKeys::openTeamRoomOrWorkWithTrackingTime, s.openTeamRoomOrWorkWithTrackingTime);
    Store(SettingsKeys::setReminderOnStop, s.setReminderOnStop);
    Store(SettingsKeys::stopWhileComputerIsLocked, s.stopWhileComputerIsLocked);
    Store(SettingsKeys::stopReminderType, s.stopReminderType);
    Store(SettingsKeys::stopReminderTimeout, s.stopReminderTimeout);
    Store(SettingsKeys::memoReminderType, s.memoReminderType);
    Store(SettingsKeys::remindMode,
        s.memoReminderType == memoReminderOff ? remindModeWhenOff : s.remindMode);
    Store(SettingsKeys::memoEnterAction, s.memoEnterAction);
    Store(SettingsKeys::keepPrevMemo, s.keepPrevMemo);
    Store(SettingsKeys::keepMemoCount, s.keepMemoCount);
    Store(SettingsKeys::enableSnapshots, s.enableSnapshots);
    Store(SettingsKeys::popupTimeout, s.popupTimeout);
    Store(SettingsKeys::soundMode, s.soundMode);
    Store(SettingsKeys::ownSoundPath, s.ownSoundPath);
    Store(SettingsKeys::startMinimized, s.startMinimized);
    Store(SettingsKeys::displayWarnings, s.displayWarnings);
    Store(SettingsKeys::setMyChatStatusToPrivateWhenStop, s.setMyChatStatusToPrivateWhenStop);
    Store(SettingsKeys::setMyChatStatusToWorkingAtStart, s.setMyChatStatusToWorkingAtStart);
    Store(SettingsKeys::logLocation, s.logLocation);
    Store(SettingsKeys::isLimitLogSize, s.isLimitLogSize);
    Store(SettingsKeys::totalLogSize, s.totalLogSize);
}

void SettingsProvider::WriteAppearance(const SETTINGS& s)
{
    const auto writeFont = [this](const QString& prefix, const FONT_BLOCK& font, bool withColour) {
        Store(prefix + QLatin1String("Name"), font.name);
        Store(prefix + QLatin1String("Size"), font.size);
        Store(prefix + QLatin1String("Bold"), font.bold);
        Store(prefix + QLatin1String("Italic"), font.italic);
        if (withColour)
            Store(prefix + QLatin1String("Color"), font.colour.name());
    };
    const auto writeColour = [this](const QString& key, const QColor& colour) {
        Store(key, colour.name());
    };

    writeFont(SettingsKeys::groupFont, s.groupFont, true);
    writeFont(SettingsKeys::userNameActiveFont, s.userNameActiveFont, true);
    writeFont(SettingsKeys::memoActiveFont, s.memoActiveFont, true);
    writeFont(SettingsKeys::userNameInActiveFont, s.userNameInActiveFont, true);
    writeFont(SettingsKeys::memoInActiveFont, s.memoInActiveFont, true);
    writeColour(SettingsKeys::groupCursorBackground, s.groupCursorBackground);
    writeColour(SettingsKeys::groupCursorBorder, s.groupCursorBorder);
    writeColour(SettingsKeys::userCursorBackground, s.userCursorBackground);
    writeColour(SettingsKeys::userCursorBorder, s.userCursorBorder);
    writeFont(SettingsKeys::chatMessagesFont, s.chatMessagesFont, false);
    writeColour(SettingsKeys::chatRecentIncomingMessagesColor, s.chatRecentIncomingMessagesColor);
    writeColour(SettingsKeys::chatRecentOutgoingMessagesColor, s.chatRecentOutgoingMessagesColor);
    writeColour(SettingsKeys::chatIncomingMessagesColor, s.chatIncomingMessagesColor);
    writeColour(SettingsKeys::chatOutgoingMessagesColor, s.chatOutgoingMessagesColor);
    writeFont(SettingsKeys::historyMessagesFont, s.historyMessagesFont, false);
    writeColour(SettingsKeys::historyIncomingMessageColor, s.historyIncomingMessageColor);
    writeColour(SettingsKeys::historyOutgoingMessageColor, s.historyOutgoingMessageColor);
    writeColour(SettingsKeys::historySelectedMessageColor, s.historySelectedMessageColor);
}

void SettingsProvider::WriteHotkeys(const HOTKEYS& k)
{
    const QString& h = SettingsKeys::hotkeys;
    Store(h + QLatin1String("OpenTeamRoom"), k.OpenTeamRoom);
    Store(h + QLatin1String("OpenPreferences"), k.OpenPreferences);
    Store(h + QLatin1String("OpenMemo"), k.OpenMemo);
    Store(h + QLatin1String("StopTrackingTime"), k.StopTrackingTime);
    Store(h + QLatin1String("StartTrackingTime"), k.StartTrackingTime);
    Store(h + QLatin1String("LastSnapshot"), k.LastSnapshot);
    Store(h + QLatin1String("SnapAllDesktop"), k.SnapAllDesktop);
    Store(h + QLatin1String("SnapActiveWindow"), k.SnapActiveWindow);
    Store(h + QLatin1String("Snap1Display"), k.Snap1Display);
    Store(h + QLatin1String("Snap2Display"), k.Snap2Display);
    Store(h + QLatin1String("Snap3Display"), k.Snap3Display);
}

void SettingsProvider::Store(const QString& key, const QVariant& value)
{
    // Dates as text: the store file then holds no serialized values at all.
    if (value.type() == QVariant::Date)
        store.setValue(key, value.toDate().toString(Qt::ISODate));
    else
        store.setValue(key, value);
}

bool SettingsProvider::Reload()
{
    if (!ClearStoreFiles(store.fileName()))
        return false;
    SettingsFileScreen::Screen(store.fileName());
    store.sync();
    return true;
}

void SettingsProvider::Flush()
{
    store.sync();
    if (store.status() != QSettings::NoError)
        qCDebug(settingsLog) << "The preferences could not be written to" << store.fileName();
}

void SettingsProvider::SetKeyByName(const QString& key, const QVariant& value)
{
    if (!Reload())
        return;
    Store(key, value);
    Flush();
}

void SettingsProvider::SaveWindowState(const QRect& rect)
{
    if (!Reload())
        return;
    WriteWindowRect(rect);
    Flush();
}

void SettingsProvider::SetDefaultSettings()
{
    if (!Reload())
        return;
    SETTINGS defaults;
    defaults.stopReminderTimeout = 0;
    defaults.memoReminderType = 1;
    defaults.totalLogSize = 1;
    // With the memo reminder on, the interval must name an entry of the interval list.
    defaults.remindMode = 0;
    WriteWindowRect(defaults.rosterWindowRect);
    WriteGeneralOptions(defaults);
    Flush();
    AutostartEntry::Remove();
}

void SettingsProvider::SetDefaultHotkeys()
{
    if (!Reload())
        return;
    WriteHotkeys(HOTKEYS());
    Flush();
}

void SettingsProvider::SetDefaultColors()
{
    if (!Reload())
        return;
    WriteAppearance(SETTINGS());
    Flush();
}

void SettingsProvider::SetStyleToWidget(QWidget* widget, const QString& path)
{
    if (!widget)
        return;
    QFile file(path);
    QString styleSheet;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        styleSheet = QString::fromUtf8(file.readAll());
    else
        qCDebug(settingsLog) << "Cannot open the style sheet" << path;
    widget->setStyleSheet(styleSheet);
}

QList<SettingsProvider::MEMO_ITEM> SettingsProvider::GetMemos(const QString& teamName)
{
    Reload();
    const StoreReader read(store);
    QList<MEMO_ITEM> memos;
    if (!read.Bool(SettingsKeys::keepPrevMemo, SETTINGS().keepPrevMemo))
        return memos;
    const QList<MEMO_ITEM> all = parseMemos(read.Text(SettingsKeys::prevMemo, QString()));
    for (const MEMO_ITEM& item : all) {
        if (item.teamName == teamName)
            memos.append(item);
    }
    return memos;
}

void SettingsProvider::AddMemo(const MEMO_ITEM& item)
{
    if (!Reload())
        return;
    const StoreReader read(store);
    const SETTINGS d;
    if (!read.Bool(SettingsKeys::keepPrevMemo, d.keepPrevMemo)) {
        store.remove(SettingsKeys::prevMemo);
        Flush();
        return;
    }
    const int keep = read.Int(SettingsKeys::keepMemoCount, d.keepMemoCount, 0, maxKeepMemoCount);
    const QList<MEMO_ITEM> old = parseMemos(read.Text(SettingsKeys::prevMemo, QString()));

    QList<MEMO_ITEM> memos;
    const bool adding = !item.memo.trimmed().isEmpty() && keep > 0;
    if (adding)
        memos.append(item);
    int kept = adding ? 1 : 0;
    for (const MEMO_ITEM& memo : old) {
        if (memo.teamName != item.teamName) {
            memos.append(memo);
        } else if (memo.memo != item.memo && kept < keep) {
            // A memo used again moves to the front instead of being listed twice.
            memos.append(memo);
            ++kept;
        }
    }
    Store(SettingsKeys::prevMemo, serializeMemos(memos));
    Flush();
}

QString SettingsProvider::GetLoginName()
{
    Reload();
    return StoreReader(store).Text(SettingsKeys::loginName, QString());
}

void SettingsProvider::SaveLoginName(const QString& loginName)
{
    if (!Reload())
        return;
    if (loginName.isEmpty())
        store.remove(SettingsKeys::loginName);
    else
        Store(SettingsKeys::loginName, loginName);
    Flush();
}

QString SettingsProvider::GetPassword()
{
    Reload();
    const QString cipher = StoreReader(store).Text(SettingsKeys::password, QString());
    return PasswordCipher::Decrypt(cipher.toLatin1());
}

void SettingsProvider::SavePassword(const QString& password)
{
    if (!Reload())
        return;
    const QByteArray cipher = PasswordCipher::Encrypt(password);
    if (cipher.isEmpty())
        store.remove(SettingsKeys::password);
    else
        Store(SettingsKeys::password, QString::fromLatin1(cipher));
    Flush();
}

void SettingsProvider::ForgetPassword()
{
    if (!Reload())
        return;
    store.remove(SettingsKeys::password);
    Flush();
}
