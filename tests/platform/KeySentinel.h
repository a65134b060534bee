#pragma once

#include "GlobalShortcut.h"
#include "XdoTool.h"

#include <QSignalSpy>
#include <QStringList>

// A hotkey typed after the keys under test: once it fires, the grabber has read every key before
// it, so "did not fire" is checked after the fact, not after a sleep.
class KeySentinel
{
public:
    bool Bind() { return shortcut.SetShortcut(QStringLiteral("Ctrl+Shift+F12")); }

    // Types the keys, then the sentinel, and waits until the sentinel fires.
    bool PressThenSync(const QStringList& keys)
    {
        QSignalSpy fired(&shortcut, &GlobalShortcut::Activated);
        if (!xdotool(QStringList { "key" } + keys + QStringList { "ctrl+shift+F12" }))
            return false;
        return fired.count() > 0 || fired.wait(5000);
    }

private:
    GlobalShortcut shortcut;
};
