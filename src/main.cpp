#include "AppInfo.h"
#include "AutostartEntry.h"
#include "FirstShow.h"
#include "LogCategories.h"
#include "ServiceConfig.h"
#include "SingleApplication.h"
#include "TerminalFilter.h"
#include "TerminationSignals.h"
#include "tracking/RosterWindow.h"

#include <QDebug>
#include <QMessageBox>

#include <malloc.h>

int main(int argc, char* argv[])
{
    // Small freed blocks are merged with their neighbours as they are freed, not kept aside until
    // something asks for a large block and then merged all at once: after a roster refresh that
    // was a whole slice of the old pass's blocks in one go, on memory lying cold, 10 to 20 ms of
    // the GUI thread. The per-thread caches of small blocks stay.
    mallopt(M_MXFAST, 0);
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
    // The lock file (it names the application) is written through to the disk while the rest of
    // the set-up runs; isRunning() below waits for it.
    app.StartTakingLock();
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
        qCCritical(configLog).noquote() << serviceProblem;
        QMessageBox::critical(nullptr, AppInfo::applicationName, serviceProblem);
        return 1;
    }

    // A second instance leaves before any window of the client is made: a window built behind
    // its box would be built once the box is drawn, open the activity log and hold the process
    // at its end.
    if (app.isRunning()) {
        QMessageBox::information(nullptr, AppInfo::applicationName,
            AppInfo::applicationName + QStringLiteral(" already running!"));
        return -1;
    }
    // The session ending (SIGTERM), Ctrl+C and a terminal gone end the run as the Exit does,
    // without asking (no one is there to answer); one that comes while the window is built is
    // handled once the event loop runs.
    TerminationSignals terminationSignals;
    QObject::connect(
        &terminationSignals, &TerminationSignals::Received, &app, &QCoreApplication::quit);
    // The controller makes the services hub with the sign-in dialog; the rest of the window,
    // which the dialog hides, and the tray icon are built once the dialog has been drawn.
    RosterWindow window(nullptr, RosterWindow::Building::AfterFirstWindowDrawn);
    // A start-at-login entry written by an earlier copy (a build folder, an older place)
    // follows the client to where it is installed now.
    AutostartEntry::Refresh(QCoreApplication::applicationFilePath());
    window.showLoginDialog();
    return app.exec();
}
