#include "RosterWindow.h"

#include "ServiceConfig.h"
#include "SettingsKeys.h"
#include "SettingsProvider.h"
#include "TimerPhase.h"
#include "WindowPlacement.h"
#include "ui_RosterWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>

namespace {

const int stateCheckMs = 250;
// The check's ticks fall halfway between the quarter-second marks the whole-second timers (the
// roster refresh, captures, the working-time tick) fire on, each in a turn of its own.
const int stateCheckOffsetMs = stateCheckMs / 2;
const int updateCheckDays = 8;
// What the store answers for a window geometry that was never saved.
const QRect unsavedWindowRect(0, 0, 304, 425);

// "I LAST WORKED AT: " and the time of day: the tail from the last blank on, or the whole text
// when it holds no blank.
QString LastWorkedTail(const QString& lastWork)
{
    const int blank = lastWork.lastIndexOf(QLatin1Char(' '));
    return blank < 0 ? lastWork : lastWork.mid(blank);
}

QList<QRect> AvailableAreas()
{
    QList<QRect> areas;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* screen : screens)
        areas.append(screen->availableGeometry());
    return areas;
}

} // namespace

void RosterWindow::OnAuthCompete(QString userName, RestAPI::SecurityUserInfo info)
{
    Build();
    show();
    misc.SetUserName(userName);
    misc.GetMemoDialog().SetCurrentUserAndCompany(userName, QString());

    SetSignedIn(true);
    logManager.AddToLog(LogManager::LOG_SIGNED_IN, misc.GetUsername());
    currentStatus = StatusRestore::AtSignIn();

    if (SettingsProvider::instance()->GetCurrentSettings().setReminderOnStop)
        StartStopReminderCheck();

    restApi.SetApiSecurityInfo(info);
    infoApi.SetApiSecurityInfo(info);
    infoApi.User_LoadAvatar();
    infoApi.GetAboutInfo();
    infoApi.GetTeamworkTools();
    restApi.SetIsNeedAvatars(true);
    restApi.SetIsNeedScreenshots(true);
    restApi.Roster_GetTeams();
    misc.SetApiHandle(&restApi);

    // The service's texts, shown as written: as markup a picture they name would be read.
    ui->lblUserName->setTextFormat(Qt::PlainText);
    ui->lblUserName->setText(info.fullName);
    windowLayout->KeepRoomForName();
    ui->line->show();
    ui->lstRoster->show();
    ui->lblNoTeams->hide();
    stateTimer.setInterval(stateCheckMs);
    TimerPhase::StartOffGrid(stateTimer, stateCheckOffsetMs);
    ui->showArea->setCurrentIndex(0);

    TrayIcon& tray = misc.GetTrayIcon();
    tray.ChangeSign(true);
    tray.SetContextMenu();
    ChangeStatus(StatusRestore::AtSignIn());
    rosterView->Redraw();

    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start connect to jabber server"));
    Chat().connectToServer(
        info.memberUsername + QLatin1Char('@') + ServiceConfig::chatDomain(), info.password);

    ui->lstRoster->setFocus(Qt::OtherFocusReason);
    ui->menuScreensnap->setEnabled(false);
    if (ui->lstRoster->count() > 0)
        ui->lstRoster->setCurrentRow(0);

    tray.ChangeTrackingTime(false);
    tray.ChangeUserTeam(QString());
    ChangeTeam(QString());
    StartStopReminderCheck();

    ui->lblUserName->show();
    ui->cmbCurrentCompany->show();
    ui->userPanelWidget->show();
    ui->lstRoster->verticalScrollBar()->show();
    ui->lblUserStatus->show();
    ui->menuMain->show();
    ui->userPanelWidget->setEnabled(true);
    ui->leftPanelWidget->setEnabled(true);
    // Enabled again when the teams and the about text arrive.
    ui->btnTimeControl->setEnabled(false);
    ui->btnAboutMQT->setEnabled(false);

    ui->lblUserLastWorked->setTextFormat(Qt::PlainText);
    ui->lblUserLastWorked->setText(tr("I LAST WORKED AT: ") + LastWorkedTail(info.lastWork));

    CheckForUpdates();
    RestoreWindowGeometry();
}

// The date is stored by the update window when the member takes or refuses an update.
void RosterWindow::CheckForUpdates()
{
    const QDate today = QDate::currentDate();
    SettingsProvider* settings = SettingsProvider::instance();
    const QDate lastCheck = settings->GetCurrentSettings().updateDate;
    // A date after today (stored while the clock was ahead) counts as a check made today, and
    // is kept as one: else no check would come until that day.
    if (lastCheck > today) {
        settings->SetKeyByName(SettingsKeys::updateDate, today);
        return;
    }
    if (lastCheck.isValid() && lastCheck.daysTo(today) < updateCheckDays)
        return;
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start cheking of updates"));
    infoApi.CheckUpdates();
}

void RosterWindow::RestoreWindowGeometry()
{
    QRect rect = SettingsProvider::instance()->GetCurrentSettings().rosterWindowRect;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (rect == unsavedWindowRect && !isMinimized() && screen) {
        const QRect desktop = screen->availableGeometry();
        rect = frameGeometry();
        rect.moveCenter(
            QPoint((desktop.left() + desktop.right()) / 2, (desktop.top() + desktop.bottom()) / 2));
        move(rect.topLeft());
    }
    // A size saved on a larger desktop, or a damaged one, still fits this desktop.
    const QScreen* target = QGuiApplication::screenAt(rect.center());
    if (!target)
        target = screen;
    if (target)
        rect.setSize(rect.size().boundedTo(target->availableGeometry().size()));
    if (rect.width() > 0 && rect.height() > 0)
        resize(rect.size());
    // Saved on a monitor that is gone, or with only a sliver left on the desktop: the window
    // comes back where it can be taken by its title bar.
    QRect frame(rect.topLeft(), frameGeometry().size());
    if (screen)
        frame = WindowPlacement::Restored(frame, AvailableAreas(), screen->availableGeometry());
    move(frame.topLeft());
}
