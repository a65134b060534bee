#pragma once

#include <QImage>
#include <QString>

#include <functional>

class NetworkChecker;
class QSystemTrayIcon;

// What the main window asks of the desktop and the network while a member works, and the tray
// notice it gives: each a replaceable function, the desktop's own in the client, a test's own
// in tests.
struct TrackingEnvironment
{
    // The whole virtual desktop, opaque. Called on worker threads (the captures' and the
    // snaps'), never on the GUI thread, so a replacement must be safe to call from any thread.
    std::function<QImage()> grabDesktop;
    std::function<int()> randomDraw; // 0 to RAND_MAX
    std::function<QString()> activeWindowTitle;
    std::function<int()> idleTime; // milliseconds since the last input anywhere
    std::function<bool()> isSystemLocked;
    std::function<bool()> isScreensaverActive;
    std::function<bool()> universeFlagState; // system-wide input counting works
    std::function<bool()> isNetworkEnabled;
    std::function<bool()> isServerEnabled;
    std::function<void(const QString& title, const QString& text)> showTrayWarning;
    std::function<void(const QString& title, const QString& text)> showTrayNotice; // information
    std::function<bool()> isTrayAvailable; // a system tray shows the client's icon

    // The window system's queries, the checker's network answers and the tray's balloon; the
    // grabs through an X connection of their own (DesktopGrabber). The tray icon is asked for
    // only when a balloon shows.
    static TrackingEnvironment Desktop(
        const NetworkChecker& network, std::function<QSystemTrayIcon&()> tray);
};
