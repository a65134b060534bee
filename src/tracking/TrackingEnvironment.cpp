#include "TrackingEnvironment.h"

#include "DesktopGrab.h"
#include "NetworkChecker.h"
#include "WindowSystem.h"

#include <QRandomGenerator>
#include <QSystemTrayIcon>

#include <cstdlib>
#include <memory>

namespace {

const int trayMessageMs = 10000;

} // namespace

TrackingEnvironment TrackingEnvironment::Desktop(
    const NetworkChecker& network, std::function<QSystemTrayIcon&()> tray)
{
    TrackingEnvironment environment;
    environment.grabDesktop = [grabber = std::make_shared<DesktopGrabber>()] {
        return grabber->Grab();
    };
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
    environment.showTrayWarning = [tray](const QString& title, const QString& text) {
        tray().showMessage(title, text, QSystemTrayIcon::Warning, trayMessageMs);
    };
    environment.showTrayNotice = [tray](const QString& title, const QString& text) {
        tray().showMessage(title, text, QSystemTrayIcon::Information, trayMessageMs);
    };
    environment.isTrayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    return environment;
}
