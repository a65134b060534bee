#include "SettingsProvider.h"

#include "AutostartEntry.h"
#include "HotkeyRule.h"
#include "LogCategories.h"
#include "PasswordCipher.h"
#include "RegularFile.h"
#include "ReminderSchedule.h"
#include "SettingsFileScreen.h"
#include "SettingsKeys.h"
#include "SettingsTable.h"
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

using SettingsTable::Key;
using SettingsTable::Section;
using SettingsTable::Type;

// Stored values as the types of the table. A value of another type, or text that does not parse
// as the type, is invalid: a damaged store never breaks the client.
QVariant BoolOf(const QVariant& value)
{
    switch (value.type()) {
    case QVariant::Bool:
        return value.toBool();
    case QVariant::Int:
    case QVariant::LongLong:
        if (value.toLongLong() == 0 || value.toLongLong() == 1)
            return value.toLongLong() == 1;
        return QVariant();
    case QVariant::String: {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return QVariant();
    }
    default:
        return QVariant();
    }
}

QVariant IntOf(const QVariant& value)
{
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
    return ok ? QVariant(result) : QVariant();
}

QVariant TextOf(const QVariant& value)
{
    return value.type() == QVariant::String ? QVariant(value.toString()) : QVariant();
}

// Colours are stored as #rrggbb.
QVariant ColourOf(const QVariant& value)
{
    static const QRegularExpression pattern(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (value.type() == QVariant::Color && value.value<QColor>().isValid())
        return value;
    if (value.type() == QVariant::String) {
        const QString text = value.toString().trimmed();
        if (pattern.match(text).hasMatch())
            return QColor(text);
    }
    return QVariant();
}

QVariant DateOf(const QVariant& value)
{
    QDate date;
    switch (value.type()) {
    case QVariant::Date:
        date = value.toDate();
        break;
    case QVariant::DateTime:
        date = value.toDateTime().date();
        break;
    case QVariant::String:
        date = QDate::fromString(value.toString().trimmed(), Qt::ISODate);
        break;
    default:
        break;
    }
    return date.isValid() ? QVariant(date) : QVariant();
}

// Reads the keys of the table from the store.
class StoreReader
{
public:
    explicit StoreReader(QSettings& store) : store(store) { }

    // The stored value when it is one the key may take; invalid when it is missing, damaged or
    // out of its range, which is damage, not a choice.
    QVariant Value(const Key& key) const
    {
        const QVariant stored = store.value(key.name);
        QVariant value;
        switch (key.type) {
        case Type::Bool:
            value = BoolOf(stored);
            break;
        case Type::Int:
            value = IntOf(stored);
            break;
        case Type::Text:
            value = TextOf(stored);
            break;
        case Type::Colour:
            value = ColourOf(stored);
            break;
        case Type::Date:
            value = DateOf(stored);
            break;
        }
        return value.isValid() && key.Allows(value) ? value : QVariant();
    }

    // The value of the key of this name, or what it reads as when damaged.
    QVariant Setting(const QString& name) const
    {
        const Key& key = SettingsTable::Declared(name);
        const QVariant value = Value(key);
        return value.isValid() ? value : key.fallback();
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

using HOTKEYS = SettingsProvider::HOTKEYS;

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
    const auto text = [&read](const SettingsTable::Hotkey& hotkey) {
        return read.Setting(SettingsKeys::hotkeys + hotkey.name).toString();
    };
    const std::vector<SettingsTable::Hotkey>& bound = SettingsTable::BoundHotkeys();
    QStringList texts;
    for (const SettingsTable::Hotkey& hotkey : bound)
        texts.append(text(hotkey));
    const QList<HotkeyRule::PROBLEM> problems = HotkeyRule::CheckAll(texts);
    for (int i = 0; i < texts.size(); ++i) {
        const SettingsTable::Hotkey& hotkey = bound.at(size_t(i));
        if (problems.at(i) == HotkeyRule::HOTKEY_OK)
            hotkeys.*hotkey.field = texts.at(i);
        else
            ReportDroppedHotkey(hotkey.name, texts.at(i), problems.at(i));
    }
    // The active-window snap is bound to nothing, so it takes no key from another action.
    const SettingsTable::Hotkey& active = SettingsTable::UnboundHotkey();
    const QString activeText = text(active);
    const HotkeyRule::PROBLEM problem
        = activeText.isEmpty() ? HotkeyRule::HOTKEY_OK : HotkeyRule::Check(activeText);
    if (problem == HotkeyRule::HOTKEY_OK)
        hotkeys.*active.field = activeText;
    else
        ReportDroppedHotkey(active.name, activeText, problem);
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

SettingsProvider::SETTINGS::SETTINGS()
{
    for (const Key& key : SettingsTable::Keys()) {
        if (key.set)
            key.set(*this, key.fallback());
    }
}

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
    if (writable && !firstRunCompletion
        && StoreReader(store).Setting(SettingsKeys::firstRun).toBool()) {
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
    if (!Reload() || !StoreReader(store).Setting(SettingsKeys::firstRun).toBool())
        return;
    const SETTINGS s = ReadSettings();
    Store(SettingsKeys::firstRun, false);
    WriteSettings(s);
    Flush();
}

SettingsProvider::SETTINGS SettingsProvider::ReadSettings()
{
    const StoreReader read(store);
    SETTINGS s;
    for (const Key& key : SettingsTable::Keys()) {
        // The hotkeys are read together, by their rule.
        if (!key.set || key.section == Section::Hotkeys)
            continue;
        const QVariant value = read.Value(key);
        if (value.isValid())
            key.set(s, value);
    }
    s.runAtStartup = AutostartEntry::IsInstalled();
    // The memo dialog's interval list takes the stored interval too, but a damaged one as its
    // first entry, not as "never".
    const QVariant remindMode = read.Value(SettingsTable::Declared(SettingsKeys::remindMode));
    if (remindMode.isValid())
        s.remindModeIndex = remindMode.toInt();
    s.hotkeys = ReadHotkeys(read);
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
    WriteGeneralOptions(s);
    for (const Section section :
        { Section::Window, Section::Appearance, Section::Hotkeys, Section::Memos, Section::Update })
        WriteSection(section, s);
}

void SettingsProvider::WriteGeneralOptions(const SETTINGS& s)
{
    // While the memo reminder is off no interval is chosen: the store keeps "never".
    SETTINGS stored = s;
    if (s.memoReminderType == int(ReminderSchedule::Kind::None))
        stored.remindMode = int(ReminderSchedule::MemoIntervalIndex::Never);
    WriteSection(Section::General, stored);
}

void SettingsProvider::WriteSection(Section section, const SETTINGS& s)
{
    for (const Key& key : SettingsTable::Keys()) {
        if (key.section == section && key.get)
            Store(key, s);
    }
}

void SettingsProvider::Store(const Key& key, const SETTINGS& s)
{
    const QVariant value = key.get(s);
    switch (key.type) {
    case Type::Colour:
        Store(key.name, value.value<QColor>().name());
        break;
    case Type::Date:
        if (value.toDate().isValid())
            Store(key.name, value);
        else
            store.remove(key.name);
        break;
    case Type::Bool:
    case Type::Int:
    case Type::Text:
        Store(key.name, value);
        break;
    }
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
    SETTINGS s;
    s.rosterWindowRect = rect;
    WriteSection(Section::Window, s);
    Flush();
}

void SettingsProvider::SetDefaultSettings()
{
    if (!Reload())
        return;
    SETTINGS defaults;
    for (const Key& key : SettingsTable::Keys()) {
        if (key.reset.isValid())
            key.set(defaults, key.reset);
    }
    WriteSection(Section::Window, defaults);
    WriteGeneralOptions(defaults);
    Flush();
    AutostartEntry::Remove();
}

void SettingsProvider::SetDefaultHotkeys()
{
    if (!Reload())
        return;
    WriteSection(Section::Hotkeys, SETTINGS());
    Flush();
}

void SettingsProvider::SetDefaultColors()
{
    if (!Reload())
        return;
    WriteSection(Section::Appearance, SETTINGS());
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
    if (!read.Setting(SettingsKeys::keepPrevMemo).toBool())
        return memos;
    const QList<MEMO_ITEM> all = parseMemos(read.Setting(SettingsKeys::prevMemo).toString());
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
    if (!read.Setting(SettingsKeys::keepPrevMemo).toBool()) {
        store.remove(SettingsKeys::prevMemo);
        Flush();
        return;
    }
    const int keep = read.Setting(SettingsKeys::keepMemoCount).toInt();
    const QList<MEMO_ITEM> old = parseMemos(read.Setting(SettingsKeys::prevMemo).toString());

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
    return StoreReader(store).Setting(SettingsKeys::loginName).toString();
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
    const QString cipher = StoreReader(store).Setting(SettingsKeys::password).toString();
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
