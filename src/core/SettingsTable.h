#pragma once

#include "SettingsProvider.h"

#include <QLatin1String>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

// Every key of the preferences store, declared once: what it holds, what it reads as when it is
// missing or damaged, the values it may take, and the field of the record it fills. Reading and
// writing the record, the resets and the preferences' controls all go by this table, so a key,
// a default or a range is written down in one place. The font blocks and the hotkeys are
// declared as groups that make their keys.
namespace SettingsTable {

using SETTINGS = SettingsProvider::SETTINGS;
using HOTKEYS = SettingsProvider::HOTKEYS;

// How the file keeps the value: true or false, a decimal number, text, #rrggbb, an ISO date.
enum class Type
{
    Bool,
    Int,
    Text,
    Colour,
    Date,
};

// The keys that are written, and reset, together.
enum class Section
{
    Window, // the main window's place: written alone as it moves, reset with the general options
    General, // the general, time tracking, snapshot and advanced pages (SetDefaultSettings)
    Appearance, // fonts and colours (SetDefaultColors)
    Hotkeys, // read through the hotkey rule (SetDefaultHotkeys)
    Memos, // the stored memos, carried through the record whole
    Update, // the last update check; a null date is not stored
    Session, // outside the record, kept by operations of their own: first run, saved sign-in
};

struct Key
{
    QString name;
    Section section {};
    Type type {};
    std::function<QVariant()> fallback; // what a missing or damaged value reads as
    QVariant reset; // what SetDefaultSettings writes when it is not the fallback; else invalid
    // Int: the valid range, and, when not empty, the only values within it that are offered.
    int min = 0;
    int max = 0;
    QList<int> choices;
    bool notBlank = false; // Text: a blank text reads as the fallback
    // The record's field; none for a key of the Session section.
    std::function<QVariant(const SETTINGS&)> get;
    std::function<void(SETTINGS&, const QVariant&)> set;

    // Whether a value read as the key's type is one the key may take.
    bool Allows(const QVariant& value) const;
};

// Every stored key, each once.
const std::vector<Key>& Keys();
// The key of this name (a SettingsKeys name); a name the table lacks is a fault of the program.
const Key& Declared(const QString& name);

// A hotkey's name under SettingsKeys::hotkeys and its field.
struct Hotkey
{
    QLatin1String name;
    QString HOTKEYS::*field;
};
// The hotkeys bound to actions, in the order of the actions (the preferences' rows), which
// decides which of two equal ones stays.
const std::vector<Hotkey>& BoundHotkeys();
// Stored with the others but bound to nothing, so it takes no key from another action.
const Hotkey& UnboundHotkey();

} // namespace SettingsTable
