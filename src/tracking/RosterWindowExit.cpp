#include "RosterWindow.h"

#include "SettingsProvider.h"

#include <QCoreApplication>

// A second exit while the confirmation is pending (shown, or cancelled) quits without asking.
void RosterWindow::ExitApp()
{
    if (exitConfirmPending) {
        exitConfirmPending = false;
        logManager.AddToLog(LogManager::LOG_APPLICATION_QUIT);
        QCoreApplication::quit();
        return;
    }
    if (!SettingsProvider::instance()->GetCurrentSettings().confirmAtExit) {
        logManager.AddToLog(LogManager::LOG_APPLICATION_QUIT);
        QCoreApplication::quit();
        return;
    }
    exitConfirmPending = true;
    if (isMinimized()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        raise();
    }
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show exit confirm"));
    ExitConfirm& confirm = misc.GetExitConfirm();
    confirm.setModal(true);
    confirm.show();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show exit confirm - ok"));
}
