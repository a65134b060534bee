#include "TrackingEnvironment.h"

#include "DesktopGrab.h"
#include "NetworkChecker.h"
#include "WindowSystem.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScreen>
#include <QSystemTrayIcon>

#include <cstdlib>

namespace {

const int trayMessageMs = 10000;

} // namespace

TrackingEnvironment TrackingEnvironment::Desktop(
    const NetworkChecker& network, QSystemTrayIcon& tray)
{
    TrackingEnvironment environment;
    environment.grabDesktop = &TrackingEnvironment::GrabVirtualDesktop;
    environment.randomDraw = [] {
        return int(QRandomGenerator::global()->generate() & quint32(RAND_MAX));
    };
    environment.activeWindowTitle = &WindowSystem::GetActiveWindowTitle;
    environment.idleTime = &WindowSystem::GetIdleTime;
    environment.isSystemLocked = &WindowSystem::IsSystemLocked;
    environment.isScreensaverActive = &WindowSystem::IsScreensaverActive;
    environment.universeFlagState = &WindowSystem::GetUniverseFlagState;
    environment.isNetworkEnabled = [&network] {
        return network.IsNetworkEnabled();
    };
    environment.isServerEnabled = [&network] {
        return network.IsServerEnabled();
    };
    environment.showTrayWarning = [&tray](const QString& title, const QString& text) {
        tray.showMessage(title, text, QSystemTrayIcon::Warning, trayMessageMs);
    };
    environment.showTrayNotice = [&tray](const QString& title, const QString& text) {
        tray.showMessage(title, text, QSystemTrayIcon::Information, trayMessageMs);
    };
    environment.isTrayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    return environment;
}

QImage TrackingEnvironment::GrabVirtualDesktop()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QImage();
    const QRect desktop = screen->virtualGeometry();
    // The grab stands between two events of the window: the fast road when the server has it.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QImage picture = DesktopGrab::SharedMemoryGrab(desktop);
        if (!picture.isNull())
            return picture;
    }
    // Window 0 is the root window, which spans every screen.
    return screen->grabWindow(0, desktop.x(), desktop.y(), desktop.width(), desktop.height())
        .toImage();
}
