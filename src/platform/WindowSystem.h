#pragma once

#include <QString>

class QWidget;

// Queries of the desktop the client runs on and the window style of its dialogs. Every query is
// cheap enough for the four-times-a-second state check; without an X display each returns its
// safe default (idle 0, not locked, no screen saver, no input counting, empty title).
class WindowSystem
{
public:
    // Milliseconds since the last keyboard or mouse input anywhere on the display.
    static int GetIdleTime();
    // The login session is locked or switched away (logind); false where logind is absent.
    static bool IsSystemLocked();
    // The display's screen saver runs.
    static bool IsScreensaverActive();
    // System-wide input counting works here: the X Input extension 2 is present and the session
    // is not Wayland, where X clients see only their own input.
    static bool GetUniverseFlagState();
    // The title of the active window; empty when it cannot be read.
    static QString GetActiveWindowTitle();
    // Replaces the widget's window flags with a title bar whose only button is close; without
    // dialogStyle the window is also a tool window.
    static void SetWindowTitleDialogStyle(QWidget* widget, bool dialogStyle);
};
