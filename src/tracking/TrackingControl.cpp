#include "TrackingControl.h"

#include "LogManager.h"
#include "MiscFunctions.h"
#include "RestAPI.h"
#include "RosterManager.h"
#include "SettingsProvider.h"
#include "popupWindow.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

const char teamIdProperty[] = "PropertyIDForIDStorage";
const int workingTimeTickMs = 1000;
const int stopPopupSlideMs = 5;

} // namespace

bool TrackingControl::Toggles(Request request, bool tracking)
{
    switch (request) {
    case Request::Start:
        return !tracking;
    case Request::Stop:
        return tracking;
    case Request::Toggle:
        break;
    }
    return true;
}

TrackingControl::TeamChoice TrackingControl::ChooseTeam(
    const QString& chosen, const QString& current)
{
    if (chosen.isEmpty())
        return TeamChoice::Blank;
    if (chosen == current)
        return TeamChoice::Current;
    return TeamChoice::Other;
}

TrackingControl::TrackingControl(const Services& services, QObject* owner)
    : QObject(owner), services(services)
{ }

void TrackingControl::Attach(const Widgets& widgets, const Hooks& hooks)
{
    ui = widgets;
    this->hooks = hooks;
    // A named child of the window, as its other timers are; not started here.
    ticks.setParent(parent());
    ticks.setObjectName(QStringLiteral("workingTimeTimer"));
    connect(&ticks, &QTimer::timeout, this, &TrackingControl::Tick);
    ticks.setInterval(workingTimeTickMs);
}

void TrackingControl::WorkNoticeAnswered()
{
    workNoticesPending = qMax(0, workNoticesPending - 1);
}

void TrackingControl::Ask(Request request)
{
    if (!Toggles(request, tracking))
        return;
    if (tracking)
        Stop();
    else
        Start();
}

void TrackingControl::Start()
{
    MiscFunctions& misc = services.misc;
    LogManager& log = services.log;
    tracking = true;
    const QString team = ui.teams->currentText();
    misc.SetUserCompany(services.roster.GetCompanyIDbyShortName(team), team);
    // No team, or one the roster does not know: there is nothing to track time for, and the
    // service must not hear of a team -1.
    if (misc.GetUserCompany().isEmpty() || misc.GetUserCompanyID() == -1) {
        misc.SetUserCompany(-1, QString());
        tracking = false;
        return;
    }
    hooks.starting();

    ui.button->setText(tr("Log time OFF"));
    ui.state->setText(tr("Log time: ON"));
    log.AddToLog(LogManager::LOG_MEMO_DIALOG_OPENED);
    hooks.captures(true);
    ui.trackingEntry->setText(tr("Stop tracking time"));
    ui.memoEntry->setEnabled(true);
    ui.snapMenu->setEnabled(true);

    hooks.status(true);

    ResetWorkingTime();
    ticks.setInterval(workingTimeTickMs);
    ticks.start();
    SetTeam(misc.GetUserCompany());

    log.AddToLog(LogManager::LOG_TRACKING_STARTED, misc.GetUserCompany());
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Send start work notify for server"));
    services.api.StartWork(QTime::currentTime(), misc.GetUserCompanyID());
    ++workNoticesPending;
    ShowState();
}

void TrackingControl::Stop()
{
    MiscFunctions& misc = services.misc;
    LogManager& log = services.log;
    tracking = false;
    hooks.stopping();

    ui.button->setText(tr("LOG TIME ON"));
    ui.state->setText(tr("Log time: OFF"));
    misc.GetTrayIcon().ChangeUserTeam(QString());
    // No team is tracked now, so none stays checked in the main window's menu either.
    UncheckTeamMenu();

    hooks.status(false);
    if (SettingsProvider::instance()->GetCurrentSettings().enableSnapshots && stopPopupShown)
        ShowStoppedPopup();

    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Send stop work notify to server"));
    services.api.StopWork(QTime::currentTime(), misc.GetUserCompanyID());
    ++workNoticesPending;
    log.AddToLog(LogManager::LOG_TRACKING_STOPPED, misc.GetUserCompany());
    misc.SetUserCompany(-1, QString());

    ui.trackingEntry->setText(tr("Start tracking time"));
    ui.memoEntry->setEnabled(false);
    ui.lastSnapshotEntry->setEnabled(false);
    ui.snapMenu->setEnabled(false);
    misc.GetTrayIcon().SetLastSnapshotEnabled(false);

    misc.StopCountEvents();
    misc.ResetAllStatistic();
    stopPopupShown = true;

    if (ticks.isActive()) {
        ResetWorkingTime();
        ticks.stop();
    }
    hooks.captures(false);
    ShowState();
}

// A screenshot popup still on screen goes first: hiding it saves its capture.
void TrackingControl::ShowStoppedPopup()
{
    LogManager& log = services.log;
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Try to show time tracking stop message"));
    const int lifeTimeMs = SettingsProvider::instance()->GetCurrentSettings().popupTimeout * 1000;
    const auto showPopup = [&] {
        return hooks.popup().ShowPopup(services.misc.GetUsername(), services.misc.GetUserCompany(),
            tr("Time tracking has been stopped"), lifeTimeMs, stopPopupSlideMs, false);
    };
    if (!showPopup())
        return;
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Close prev popup"));
    hooks.popup().hide();
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show popup"));
    showPopup();
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Popup was showed"));
}

// The common end of start and stop.
void TrackingControl::ShowState()
{
    services.misc.GetTrayIcon().ChangeTrackingTime(tracking);

    QLabel* state = ui.state;
    const QFontMetrics metrics(state->font());
    state->resize(metrics.horizontalAdvance(state->text()), metrics.height());
    const QRect button = ui.button->geometry();
    state->move(button.x() + button.width() - state->width(), state->y());

    ui.avatar->setPixmap(services.misc.GetUserAvatar(tracking));
}

void TrackingControl::UncheckTeamMenu()
{
    const QList<QAction*> actions = ui.teamMenu->actions();
    for (QAction* action : actions)
        action->setChecked(false);
}

void TrackingControl::SetTeam(const QString& shortTeamName)
{
    MiscFunctions& misc = services.misc;
    const int id = services.roster.GetCompanyIDbyShortName(shortTeamName);
    if (id == -1)
        return;
    const QList<QAction*> actions = ui.teamMenu->actions();
    for (QAction* action : actions) {
        const QVariant actionId = action->property(teamIdProperty);
        action->setChecked(actionId.isValid() && actionId.toInt() == id);
    }

    hooks.teamSet();
    misc.SetUserCompany(id, shortTeamName);

    // Every start asks for a memo, without taking the keyboard from the member.
    Memo& memo = misc.GetMemoDialog();
    memo.SetCurrentUserAndCompany(misc.GetUsername(), misc.GetUserCompany());
    memo.setModal(false);
    memo.show();

    misc.GetTrayIcon().ChangeUserTeam(misc.GetUserCompany());
    misc.ResetStatistic();
    misc.StartCountEvents();
}

void TrackingControl::ChangeTeam(const QString& shortTeamName)
{
    LogManager& log = services.log;
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Change team"));
    switch (ChooseTeam(shortTeamName, services.misc.GetUserCompany())) {
    case TeamChoice::Blank:
        UncheckTeamMenu();
        Ask(Request::Stop);
        log.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Team name is blank - stop tracking time"));
        return;
    case TeamChoice::Current:
        UncheckTeamMenu();
        log.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Team name is current team - stop tracking time"));
        Ask(Request::Stop);
        return;
    case TeamChoice::Other:
        break;
    }

    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Change team - start seatch for teams"));
    const QList<RosterManager::ROSTER_GROUP_ITEM> groups = services.roster.GetRosterList();
    for (const RosterManager::ROSTER_GROUP_ITEM& group : groups) {
        if (group.name != shortTeamName)
            continue;
        if (tracking) {
            // A switch, not an end of work: no stop popup.
            QuietNextStop();
            Stop();
        }
        const int index = ui.teams->findText(shortTeamName, Qt::MatchExactly);
        if (index >= 0) {
            ui.teams->setCurrentIndex(index);
            Ask(Request::Toggle);
        }
        return;
    }
}

void TrackingControl::OnTeamMenuClick(QAction* action)
{
    if (action->isChecked()) {
        ChangeTeam(action->text());
    } else if (tracking) {
        Stop();
        ChangeTeam(QString());
        services.misc.GetTrayIcon().ChangeUserTeam(QString());
    }
}

void TrackingControl::ResetWorkingTime()
{
    services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Reset working time"));
    workingTime = QTime(0, 0, 0, 0);
    services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Reset working time - ok"));
}

// The log tells when the clock starts counting from zero, not every second it counts on: the
// activity log grows with events, not with time.
void TrackingControl::Tick()
{
    const bool fromZero = workingTime == QTime(0, 0);
    if (fromZero)
        services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Working timer  - try to tick"));
    workingTime = workingTime.addSecs(1);
    if (fromZero)
        services.log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Working timer - success"));
}
