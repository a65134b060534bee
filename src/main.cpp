#include "AppInfo.h"
#include "AutostartEntry.h"
#include "FirstShow.h"
#include "ServiceConfig.h"
#include "SingleApplication.h"
#include "TerminalFilter.h"
#include "tracking/RosterWindow.h"

#include <QDebug>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    // The client draws nothing with OpenGL. Without this the first window loads the system's
    // GL driver only to pick a visual for GL content, which takes longer than building every
    // window of the client.
    QApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    TerminalFilter::Install();
    SingleApplication app(argc, argv, AppInfo::applicationId);
    Q_INIT_RESOURCE(Res);
    QCoreApplication::setApplicationName(AppInfo::applicationName);
    QCoreApplication::setOrganizationName(AppInfo::organizationName);
    QCoreApplication::setApplicationVersion(AppInfo::version());
    // The desktop matches the windows to the launcher entry. Every window carries the icon, given
    // them once the first window has been drawn: asking the icon theme reads the whole index of
    // the desktop's icons (and the pictures are decoded), which would keep the sign-in dialog
    // from the screen for longer than the rest of the client's start. A window manager takes the
    // icon as it comes.
    QGuiApplication::setDesktopFileName(AppInfo::desktopFileName);
    AfterFirstWindowDrawn(&app, [] { QApplication::setWindowIcon(AppInfo::icon()); });
    QApplication::setQuitOnLastWindowClosed(false);

    const QString serviceProblem = ServiceConfig::apiBaseUrlProblem();
    if (!serviceProblem.isEmpty()) {
        qCritical().noquote() << serviceProblem;
        QMessageBox::critical(nullptr, AppInfo::applicationName, serviceProblem);
        return 1;
    }

    // The instance lock is taken meanwhile: its file is written through to the disk. The
    // controller makes the services hub with the sign-in dialog; the rest of the window, which
    // the dialog hides, and the tray icon are built once the dialog has been drawn. A second
    // instance leaves before that.
    app.StartTakingLock();
    RosterWindow window(nullptr, RosterWindow::Building::AfterFirstWindowDrawn);
    if (app.isRunning()) {
        QMessageBox::information(nullptr, AppInfo::applicationName,
            AppInfo::applicationName + QStringLiteral(" already running!"));
        return -1;
    }
    // A start-at-login entry written by an earlier copy (a build folder, an older place)
    // follows the client to where it is installed now.
    AutostartEntry::Refresh(QCoreApplication::applicationFilePath());
    window.showLoginDialog();
    return app.exec();
}
