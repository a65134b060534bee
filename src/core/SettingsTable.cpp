#include "SettingsTable.h"

#include "AppInfo.h"
#include "ReminderSchedule.h"
#include "SettingsKeys.h"

#include <QColor>
#include <QDate>
#include <QRect>

#include <optional>
#include <type_traits>

namespace SettingsTable {
namespace {

using S = SETTINGS;
using FONT_BLOCK = SettingsProvider::FONT_BLOCK;
using Kind = ReminderSchedule::Kind;
using StopInterval = ReminderSchedule::StopIntervalIndex;
using MemoInterval = ReminderSchedule::MemoIntervalIndex;
using SoundMode = SettingsProvider::SoundMode;

constexpr int maxFontSize = 512; // points
// The preferences' two-digit fields: the popup's seconds, the memos kept.
constexpr int maxTwoDigits = 99;
// What a desktop can hold; beyond it, sizes computed from the window would overflow.
constexpr int maxWindowCoordinate = 32767;

template<typename T> constexpr Type TypeOf()
{
    if constexpr (std::is_same_v<T, bool>)
        return Type::Bool;
    else if constexpr (std::is_same_v<T, int>)
        return Type::Int;
    else if constexpr (std::is_same_v<T, QString>)
        return Type::Text;
    else if constexpr (std::is_same_v<T, QColor>)
        return Type::Colour;
    else {
        static_assert(std::is_same_v<T, QDate>, "a type the store file does not keep");
        return Type::Date;
    }
}

Key Declare(const QString& name, Section section, Type type, std::function<QVariant()> fallback)
{
    Key key;
    key.name = name;
    key.section = section;
    key.type = type;
    key.fallback = std::move(fallback);
    return key;
}

// A key whose field of type T the two functions read and write.
template<typename T, typename Get, typename Set>
Key Field(const QString& name, Section section, const T& fallback, Get get, Set set)
{
    Key key
        = Declare(name, section, TypeOf<T>(), [fallback] { return QVariant::fromValue(fallback); });
    key.get = [get](const S& s) {
        return QVariant::fromValue(get(s));
    };
    key.set = [set](S& s, const QVariant& value) {
        set(s, value.value<T>());
    };
    return key;
}

template<typename T> Key Member(const QString& name, Section section, T S::*member, T fallback)
{
    return Field<T>(
        name, section, fallback, [member](const S& s) { return s.*member; },
        [member](S& s, const T& value) { s.*member = value; });
}

Key Flag(const QString& name, bool S::*member, bool fallback)
{
    return Member(name, Section::General, member, fallback);
}

Key Number(const QString& name, int S::*member, int fallback, int min, int max)
{
    Key key = Member(name, Section::General, member, fallback);
    key.min = min;
    key.max = max;
    return key;
}

// A number that names one of an enumeration's choices, `first` to `last`.
template<typename E>
Key Code(const QString& name, int S::*member, E fallback, E first, E last,
    std::optional<E> reset = std::nullopt)
{
    Key key = Number(name, member, int(fallback), int(first), int(last));
    if (reset)
        key.reset = int(*reset);
    return key;
}

// A number that must be one of `choices`, which are in rising order.
Key Choice(const QString& name, int S::*member, int fallback, const QList<int>& choices, int reset)
{
    Key key = Number(name, member, fallback, choices.first(), choices.last());
    key.choices = choices;
    key.reset = reset;
    return key;
}

// A folder that reads as `fallback` also when blank; found anew for every record.
Key Folder(const QString& name, QString S::*member, QString (*fallback)())
{
    Key key = Member(name, Section::General, member, QString());
    key.fallback = [fallback] {
        return QVariant(fallback());
    };
    key.notBlank = true;
    return key;
}

Key Colour(const QString& name, QColor S::*member, const QColor& fallback)
{
    return Member(name, Section::Appearance, member, fallback);
}

// One of the main window's coordinates.
template<typename Get, typename Set>
Key WindowPart(const QString& name, int fallback, int min, Get get, Set set)
{
    Key key = Field<int>(
        name, Section::Window, fallback, [get](const S& s) { return (s.rosterWindowRect.*get)(); },
        [set](S& s, int value) { (s.rosterWindowRect.*set)(value); });
    key.min = min;
    key.max = maxWindowCoordinate;
    return key;
}

// A key kept outside the record.
Key Outside(const QString& name, Type type, const QVariant& fallback)
{
    return Declare(name, Section::Session, type, [fallback] { return fallback; });
}

template<typename T>
Key FontPart(const QString& prefix, const char* part, FONT_BLOCK S::*block, T FONT_BLOCK::*field,
    const FONT_BLOCK& fallback)
{
    return Field<T>(
        prefix + QLatin1String(part), Section::Appearance, fallback.*field,
        [block, field](const S& s) { return (s.*block).*field; },
        [block, field](S& s, const T& value) { (s.*block).*field = value; });
}

enum FontColour
{
    WithColour, // the roster's blocks
    WithoutColour,
};

// A font block: <prefix>Name (not blank), Size, Bold, Italic and, with a colour, Color.
std::vector<Key> Font(
    const QString& prefix, FONT_BLOCK S::*block, const FONT_BLOCK& fallback, FontColour colour)
{
    Key name = FontPart(prefix, "Name", block, &FONT_BLOCK::name, fallback);
    name.notBlank = true;
    Key size = FontPart(prefix, "Size", block, &FONT_BLOCK::size, fallback);
    size.min = 1;
    size.max = maxFontSize;
    std::vector<Key> keys { name, size,
        FontPart(prefix, "Bold", block, &FONT_BLOCK::bold, fallback),
        FontPart(prefix, "Italic", block, &FONT_BLOCK::italic, fallback) };
    if (colour == WithColour)
        keys.push_back(FontPart(prefix, "Color", block, &FONT_BLOCK::colour, fallback));
    return keys;
}

// Every hotkey under SettingsKeys::hotkeys; none by default.
std::vector<Key> HotkeyKeys()
{
    std::vector<Hotkey> hotkeys = BoundHotkeys();
    hotkeys.push_back(UnboundHotkey());
    std::vector<Key> keys;
    for (const Hotkey& hotkey : hotkeys) {
        QString HOTKEYS::*field = hotkey.field;
        keys.push_back(Field<QString>(
            SettingsKeys::hotkeys + hotkey.name, Section::Hotkeys, QString(),
            [field](const S& s) { return s.hotkeys.*field; },
            [field](S& s, const QString& value) { s.hotkeys.*field = value; }));
    }
    return keys;
}

struct Declaration
{
    Declaration& operator<<(const Key& key)
    {
        keys.push_back(key);
        return *this;
    }
    Declaration& operator<<(const std::vector<Key>& group)
    {
        keys.insert(keys.end(), group.begin(), group.end());
        return *this;
    }
    std::vector<Key> keys;
};

std::vector<Key> DeclareAll()
{
    namespace K = SettingsKeys;
    const QString arial = QStringLiteral("Arial");
    const QColor black(0, 0, 0);
    Declaration d;
    d << Outside(K::firstRun, Type::Bool, true) << Outside(K::loginName, Type::Text, QString())
      << Outside(K::password, Type::Text, QString()); // encrypted (PasswordCipher)

    d << WindowPart(K::rosterWindowX, 0, -maxWindowCoordinate, &QRect::x, &QRect::moveLeft)
      << WindowPart(K::rosterWindowY, 0, -maxWindowCoordinate, &QRect::y, &QRect::moveTop)
      << WindowPart(K::rosterWindowWidth, 304, 1, &QRect::width, &QRect::setWidth)
      << WindowPart(K::rosterWindowHeight, 425, 1, &QRect::height, &QRect::setHeight);

    // The resets of the stop interval, the memo reminder and the log size are not what a
    // never-stored value reads as. With the memo reminder on after a reset, its interval must
    // name an entry of the list.
    d << Flag(K::signInAtRun, &S::signInAtRun, false)
      << Flag(K::confirmAtExit, &S::confirmAtExit, true)
      << Flag(K::openTeamRoomOrWorkWithTrackingTime, &S::openTeamRoomOrWorkWithTrackingTime, true)
      << Flag(K::setReminderOnStop, &S::setReminderOnStop, true)
      << Flag(K::stopWhileComputerIsLocked, &S::stopWhileComputerIsLocked, false)
      << Code(K::stopReminderType, &S::stopReminderType, Kind::Dialog, Kind::Dialog, Kind::None)
      << Code(K::stopReminderTimeout, &S::stopReminderTimeout, StopInterval::Minutes15,
             StopInterval::Minutes2, StopInterval::Minutes30, { StopInterval::Minutes2 })
      << Code(K::memoReminderType, &S::memoReminderType, Kind::None, Kind::Dialog, Kind::None,
             { Kind::Notice })
      << Code(K::remindMode, &S::remindMode, MemoInterval::Never, MemoInterval::Minutes15,
             MemoInterval::Never, { MemoInterval::Minutes15 })
      << Flag(K::memoEnterAction, &S::memoEnterAction, true)
      << Flag(K::keepPrevMemo, &S::keepPrevMemo, true)
      << Number(K::keepMemoCount, &S::keepMemoCount, 10, 0, maxTwoDigits)
      << Flag(K::enableSnapshots, &S::enableSnapshots, true)
      << Number(K::popupTimeout, &S::popupTimeout, 5, 0, maxTwoDigits)
      << Code(K::soundMode, &S::soundMode, SoundMode::BuiltIn, SoundMode::Off, SoundMode::OwnFile)
      << Member(K::ownSoundPath, Section::General, &S::ownSoundPath, QString())
      << Flag(K::startMinimized, &S::startMinimized, false)
      << Flag(K::displayWarnings, &S::displayWarnings, true)
      << Flag(K::setMyChatStatusToPrivateWhenStop, &S::setMyChatStatusToPrivateWhenStop, true)
      << Flag(K::setMyChatStatusToWorkingAtStart, &S::setMyChatStatusToWorkingAtStart, true)
      << Folder(K::logLocation, &S::logLocation, &AppInfo::userDataFolder)
      << Flag(K::isLimitLogSize, &S::isLimitLogSize, false)
      << Choice(K::totalLogSize, &S::totalLogSize, 20, { 1, 2, 3, 5, 10, 20, 30 }, 1);

    d << Font(K::groupFont, &S::groupFont, { arial, 15, true, false, QColor(0xFF, 0xFF, 0xFF) },
        WithColour)
      << Font(K::userNameActiveFont, &S::userNameActiveFont, { arial, 15, true, false, black },
             WithColour)
      << Font(K::memoActiveFont, &S::memoActiveFont,
             { arial, 10, false, false, QColor(0xAC, 0xAC, 0xAC) }, WithColour)
      << Font(K::userNameInActiveFont, &S::userNameInActiveFont, { arial, 15, true, false, black },
             WithColour)
      << Font(K::memoInActiveFont, &S::memoInActiveFont, { arial, 10, false, false, black },
             WithColour)
      << Colour(K::groupCursorBackground, &S::groupCursorBackground, QColor(0x32, 0x32, 0x32))
      << Colour(K::groupCursorBorder, &S::groupCursorBorder, black)
      << Colour(K::userCursorBackground, &S::userCursorBackground, QColor(0xFF, 0xFF, 0xFF))
      << Colour(K::userCursorBorder, &S::userCursorBorder, black)
      << Font(K::chatMessagesFont, &S::chatMessagesFont, { arial, 10, false, false, QColor() },
             WithoutColour)
      << Colour(K::chatRecentIncomingMessagesColor, &S::chatRecentIncomingMessagesColor,
             QColor(0x00, 0xC8, 0xA0))
      << Colour(K::chatRecentOutgoingMessagesColor, &S::chatRecentOutgoingMessagesColor,
             QColor(0x64, 0xFF, 0xFF))
      << Colour(
             K::chatIncomingMessagesColor, &S::chatIncomingMessagesColor, QColor(0x00, 0x80, 0x00))
      << Colour(
             K::chatOutgoingMessagesColor, &S::chatOutgoingMessagesColor, QColor(0x00, 0x00, 0x80))
      << Font(K::historyMessagesFont, &S::historyMessagesFont,
             { arial, 10, false, false, QColor() }, WithoutColour)
      << Colour(K::historyIncomingMessageColor, &S::historyIncomingMessageColor,
             QColor(0x00, 0x80, 0x80))
      << Colour(K::historyOutgoingMessageColor, &S::historyOutgoingMessageColor,
             QColor(0x00, 0x00, 0x80))
      << Colour(K::historySelectedMessageColor, &S::historySelectedMessageColor,
             QColor(0xB3, 0xB6, 0xB0));

    d << HotkeyKeys();
    d << Member(K::prevMemo, Section::Memos, &S::prevMemo, QString())
      << Member(K::updateDate, Section::Update, &S::updateDate, QDate());
    return d.keys;
}

} // namespace

bool Key::Allows(const QVariant& value) const
{
    switch (type) {
    case Type::Int: {
        const int number = value.toInt();
        return number >= min && number <= max && (choices.isEmpty() || choices.contains(number));
    }
    case Type::Text:
        return !notBlank || !value.toString().trimmed().isEmpty();
    case Type::Bool:
    case Type::Colour:
    case Type::Date:
        break;
    }
    return true;
}

const std::vector<Key>& Keys()
{
    static const std::vector<Key> keys = DeclareAll();
    return keys;
}

const Key& Declared(const QString& name)
{
    for (const Key& key : Keys()) {
        if (key.name == name)
            return key;
    }
    qFatal("The preference %s is not declared", qPrintable(name));
}

const std::vector<Hotkey>& BoundHotkeys()
{
    static const std::vector<Hotkey> hotkeys {
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
    };
    return hotkeys;
}

const Hotkey& UnboundHotkey()
{
    static const Hotkey hotkey { QLatin1String("SnapActiveWindow"), &HOTKEYS::SnapActiveWindow };
    return hotkey;
}

} // namespace SettingsTable
