#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Which hotkey texts the client binds. A hotkey text is the modifiers "Ctrl+" (also written
// "Cmd+"), "Alt+" and "Shift+", then one key's name: "Ctrl+Shift+K", "F5". A global hotkey takes
// its keys from every program on the desktop, so:
// - it needs a key, and a key the hotkey layer can bind;
// - it needs Ctrl or Alt, except the function keys F1 to F35, which may stand alone: a bare key,
//   or one with Shift alone, is what typing, selecting and moving between fields use everywhere;
// - two actions never share one: of two equal hotkeys the first in the order of the actions
//   keeps it and the later one is dropped.
// The preferences dialog refuses what breaks the rule; the store reads it as no hotkey.
class HotkeyRule
{
public:
    enum PROBLEM
    {
        HOTKEY_OK,
        HOTKEY_NO_KEY, // modifiers alone, or nothing
        HOTKEY_NOT_A_KEY, // the rest is not the name of one key the hotkey layer binds
        HOTKEY_NO_MODIFIER, // a key other than F1 to F35 without Ctrl or Alt
        HOTKEY_TAKEN, // an earlier action has the same hotkey
    };

    struct PARTS
    {
        bool ctrl = false;
        bool alt = false;
        bool shift = false;
        QString key;
    };

    // Modifiers are read off the front, so the plus key itself survives ("Ctrl++").
    static PARTS Parse(const QString& text);
    // "Ctrl+", "Alt+", "Shift+" (each only when set, in this order), then the key.
    static QString Text(const PARTS& parts);
    // Whether `name` names one key, without modifiers, that a global hotkey can be bound to.
    static bool IsKeyName(const QString& name);

    static PROBLEM Check(const PARTS& parts);
    static PROBLEM Check(const QString& text) { return Check(Parse(text)); }
    // The texts of the actions, in their order; an empty text is no hotkey and is fine.
    static QList<PROBLEM> CheckAll(const QStringList& texts);
    // The earlier entry whose hotkey `texts[index]` repeats; -1 when none does.
    static int EarlierHolder(const QStringList& texts, int index);
};
