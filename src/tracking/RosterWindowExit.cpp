#include "RosterWindow.h"

#include "AppInfo.h"
#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

namespace {

// How long the end of the run waits for the service to confirm the stop of work.
const int quitWaitMs = 3000;

} // namespace

// A second exit while the confirmation is shown quits without asking.
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

// However the run ends (the exit, the confirmation's own Exit), the service hears that work
// stopped, and no capture is lost.
void RosterWindow::OnAboutToQuit()
{
    if (tracking.IsTracking()) {
        EndTracking();
        if (environment.isNetworkEnabled())
            WaitForWorkNotices(quitWaitMs);
    }
    KeepUnsavedCaptures();
    conversations.Quit();
}

// The event loop has ended; a loop of its own lets the answers in.
void RosterWindow::WaitForWorkNotices(int timeoutMs)
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto quitWhenAnswered = [this, &loop] {
        if (tracking.WorkNoticesPending() == 0)
            loop.quit();
    };
    connect(&restApi, &RestAPI::ApiDataOk, &loop, quitWhenAnswered);
    connect(&restApi, &RestAPI::ApiDataError, &loop, quitWhenAnswered);
    deadline.start(timeoutMs);
    if (tracking.WorkNoticesPending() > 0)
        loop.exec();
}

// Tracking ends as the toggle ends it (the stop notice, counting stopped), without the stop
// notice popup; the capture still in its popup is kept, not uploaded by the popup's closing.
void RosterWindow::EndTracking()
{
    captureQueue.KeepPendingInCache();
    if (!tracking.IsTracking())
        return;
    tracking.QuietNextStop();
    tracking.Stop();
}

void RosterWindow::on_actionSign_out_triggered()
{
    SignOut();
}

void RosterWindow::SignOut()
{
    logManager.AddToLog(LogManager::LOG_SIGNED_OUT);
    EndTracking();
    for (QTimer* timer : { &screenshotTimer, &stopReminderTimer, &stateTimer, &memoReminderTimer,
             &restTimer, &screensTimer })
        timer->stop();
    DismissStopReminder();
    ResetWorkingTime();
    SetSignedIn(false);
    // The session ends, the client's relays stay: the next sign-in chats again.
    conversations.SignOut();

    ui->cmbCurrentCompany->clear();
    ui->lstRoster->clear();
    rosterManager.ClearRoster();
    TrayIcon& tray = misc.GetTrayIcon();
    tray.ChangeTrackingTime(false);
    ChangeTeam(QString());
    tray.ChangeUserTeam(QString());
    rosterView->SetTeams(rosterManager.GetRosterList());
    tray.ChangeSign(false);
    ForgetMember();
    ChangeStatus(RosterManager::STATUS_DND);
    SetMemo(QString(), 0);

    windowLayout->ShowSignedOutLook();
    ui->lstRoster->horizontalScrollBar()->hide();
    ui->menuScreensnap->setEnabled(false);
    tray.setToolTip(AppInfo::applicationName);
    logManager.AddToLog(LogManager::LOG_SIGNED_OUT);
    misc.GetAuthDialog().showAuthDialogWithPrompt(false);
    close();
}

// Nothing of the member who leaves shows for the next one: the own picture, the team, the
// cached or idle status and what the service said for them.
void RosterWindow::ForgetMember()
{
    misc.SetUserAvatar(QPixmap());
    ui->picUserAvatar->clear();
    ui->lblUserName->clear();
    misc.SetUserCompany(-1, QString());
    if (Memo* memo = misc.MemoHolder().IfMade())
        memo->hide();
    if (RemindDialog* reminder = misc.RemindDialogHolder().IfMade())
        reminder->hide();
    cacheStatusText.clear();
    statusRestore.Forget();
    ui->lblTessivanorAboutText->clear();
    ui->lstTeamWorkTools->clear();
    ui->showArea->setCurrentIndex(0);
}

void RosterWindow::StartOrStopLogging()
{
    if (logManager.IsLogsEnabled()) {
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Disable logs by user"));
        logManager.SetLogsEnabled(false);
    } else {
        logManager.SetLogsEnabled(true);
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Enable warning window"));
    }
}

// Closing keeps the client running. Without a system tray nothing could bring a hidden window
// back while captures go on, so a signed-in window is minimised instead.
void RosterWindow::closeEvent(QCloseEvent* event)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to close\\hide window"));
    SettingsProvider::instance()->SaveWindowState(QRect(frameGeometry().topLeft(), size()));
    if (isSignedIn && !environment.isTrayAvailable()) {
        showMinimized();
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Window is minimized"));
    } else {
        hide();
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Window is hidden"));
    }
    event->ignore();
}
