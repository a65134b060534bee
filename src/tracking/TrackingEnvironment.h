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
    std::function<QImage()> grabDesktop; // the whole virtual desktop
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

    // The window system's queries, the checker's network answers and the tray's balloon.
    static TrackingEnvironment Desktop(const NetworkChecker& network, QSystemTrayIcon& tray);
    // Every screen in one picture, as they lie in the virtual desktop.
    static QImage GrabVirtualDesktop();
};
