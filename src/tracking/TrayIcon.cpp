#include "TrayIcon.h"

#include "AppInfo.h"
#include "SettingsProvider.h"

#include <array>

namespace {

using Slot = ListWidgetManager::STATUS_ICON;

// Pictures for the status slots the roster style leaves empty (the idle ones among them), by slot.
const std::array<const char*, 6> builtInStatusIcons { ":/tray/trackTimeNormal.ico",
    ":/tray/trackTimeBusy.ico", ":/tray/trackTimeIdle.ico", ":/tray/normal.ico", ":/tray/idle.ico",
    ":/tray/busy.ico" };

Slot IconSlot(RosterManager::STATUS status)
{
    switch (status) {
    case RosterManager::STATUS_ONLINE_WORKING:
        return ListWidgetManager::STATUS_ICON_WORKING;
    case RosterManager::STATUS_DND_WORKING:
        return ListWidgetManager::STATUS_ICON_WORKING_BUSY;
    case RosterManager::STATUS_IDLE_WORKING:
        return ListWidgetManager::STATUS_ICON_WORKING_IDLE;
    case RosterManager::STATUS_ONLINE:
        return ListWidgetManager::STATUS_ICON_AVAILABLE;
    case RosterManager::STATUS_IDLE:
        return ListWidgetManager::STATUS_ICON_IDLE;
    default:
        return ListWidgetManager::STATUS_ICON_BUSY;
    }
}

} // namespace

TrayIcon::TrayIcon(QObject* parent)
    : QSystemTrayIcon(parent), openTeamRoomAction(tr("Open Team Room")),
      availableAction(tr("Available")), busyAction(tr("Busy")), memoAction(tr("Memo...")),
      trackingAction(tr("Start tracking time")), lastSnapshotAction(tr("Last snapshot")),
      showOfflineAction(tr("Show offline users")), groupByTeamAction(tr("Group users by team")),
      expandAllAction(tr("Expand all")), collapseAllAction(tr("Collapse all")),
      signOutAction(tr("Sign out")), exitAction(tr("Exit"))
{
    chatStatusMenu.setTitle(tr("Chat status"));
    teamsMenu.setTitle(tr("Select team"));
    // The main window's "Screensnap" entries, in the order of their picture modes.
    screensnapMenu.setTitle(tr("Screensnap"));
    const QString snaps[] = { tr("Snap the whole desktop"), tr("Snap 1 display..."),
        tr("Snap 2 display..."), tr("Snap 3 display...") };
    for (int mode = 0; mode < 4; ++mode)
        connect(screensnapMenu.addAction(snaps[mode]), &QAction::triggered, this,
            [this, mode] { emit Screensnap_Signal(mode); });
    availableAction.setCheckable(true);
    busyAction.setCheckable(true);
    showOfflineAction.setCheckable(true);
    groupByTeamAction.setCheckable(true);
    groupByTeamAction.setChecked(true);

    setIcon(QIcon(QString::fromLatin1(builtInStatusIcons[ListWidgetManager::STATUS_ICON_BUSY])));
    setToolTip(AppInfo::applicationName);
    ConnectActions();
    connect(this, &QSystemTrayIcon::activated, this, &TrayIcon::OnTrayDoubleClick);
    SetContextMenu();
    UpdateEnabled();
}

void TrayIcon::ConnectActions()
{
    connect(&openTeamRoomAction, &QAction::triggered, this, &TrayIcon::OpenTeamRoom_Signal);
    // Which status a choice means depends on whether time is being tracked.
    connect(&availableAction, &QAction::triggered, this, [this] {
        emit ChatStatusChange_Signal(
            tracking ? RosterManager::STATUS_ONLINE_WORKING : RosterManager::STATUS_ONLINE);
    });
    connect(&busyAction, &QAction::triggered, this, [this] {
        emit ChatStatusChange_Signal(
            tracking ? RosterManager::STATUS_DND_WORKING : RosterManager::STATUS_DND);
    });
    connect(&memoAction, &QAction::triggered, this, &TrayIcon::OpenMemo_Signal);
    connect(&trackingAction, &QAction::triggered, this, &TrayIcon::TrackingTime_Signal);
    connect(&lastSnapshotAction, &QAction::triggered, this, &TrayIcon::LastSnapshot_Signal);
    connect(&showOfflineAction, &QAction::triggered, this, &TrayIcon::ShowOfflineUsers_Signal);
    connect(&groupByTeamAction, &QAction::triggered, this, &TrayIcon::ShowGroups_Signal);
    connect(&expandAllAction, &QAction::triggered, this, &TrayIcon::ExpandAll_Signal);
    connect(&collapseAllAction, &QAction::triggered, this, &TrayIcon::CollapseAll_Signal);
    connect(&signOutAction, &QAction::triggered, this, &TrayIcon::SingOut_Signal);
    connect(&exitAction, &QAction::triggered, this, &TrayIcon::ExitApp_Singal);
    connect(&teamsMenu, &QMenu::triggered, this, &TrayIcon::OnTeamTriggered);
}

void TrayIcon::ChangeUserStatus(
    RosterManager::STATUS status, const ListWidgetManager::ListWidgetItem_Style& style)
{
    switch (status) {
    case RosterManager::STATUS_ONLINE_CACHED:
        return;
    case RosterManager::STATUS_ONLINE_WORKING:
    case RosterManager::STATUS_ONLINE:
        availableAction.setChecked(true);
        busyAction.setChecked(false);
        break;
    case RosterManager::STATUS_DND_WORKING:
    case RosterManager::STATUS_DND:
    case RosterManager::STATUS_OFFLINE:
        availableAction.setChecked(false);
        busyAction.setChecked(true);
        break;
    default:
        break;
    }
    const Slot slot = IconSlot(status);
    const QIcon& icon = style.statusIcons[slot];
    setIcon(icon.isNull() ? QIcon(QString::fromLatin1(builtInStatusIcons[slot])) : icon);
}

void TrayIcon::ChangeTrackingTime(bool isTracking)
{
    tracking = isTracking;
    trackingAction.setText(tracking ? tr("Stop tracking time") : tr("Start tracking time"));
}

void TrayIcon::ChangeUserTeam(const QString& name)
{
    currentTeam = name;
    ApplyTeamChecks();
}

void TrayIcon::SetTeams(const QList<RosterManager::ROSTER_GROUP_ITEM>& teams)
{
    // Each refresh lists the same teams as a rule: their actions stay, and so do their marks,
    // which every change of the team or click sets.
    if (ListsTeams(teams)) {
        UpdateEnabled();
        return;
    }
    teamsMenuKey = RosterManager::TeamsKey(teams);
    teamsMenu.clear();
    for (const RosterManager::ROSTER_GROUP_ITEM& team : teams) {
        // A short name is shown as typed: an ampersand is no mnemonic here.
        QAction* action = teamsMenu.addAction(
            QString(team.name).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setData(team.name);
        action->setCheckable(true);
    }
    ApplyTeamChecks();
    UpdateEnabled();
}

void TrayIcon::ChangeSign(bool isSignedIn)
{
    signedIn = isSignedIn;
    UpdateEnabled();
}

void TrayIcon::SetContextMenu()
{
    menu.clear();
    chatStatusMenu.clear();
    chatStatusMenu.addAction(&availableAction);
    chatStatusMenu.addAction(&busyAction);

    menu.addAction(&openTeamRoomAction);
    menu.addSeparator();
    menu.addMenu(&chatStatusMenu);
    menu.addAction(&memoAction);
    menu.addMenu(&teamsMenu);
    menu.addAction(&trackingAction);
    menu.addAction(&lastSnapshotAction);
    menu.addMenu(&screensnapMenu);
    menu.addSeparator();
    menu.addAction(&showOfflineAction);
    menu.addAction(&groupByTeamAction);
    menu.addAction(&expandAllAction);
    menu.addAction(&collapseAllAction);
    menu.addSeparator();
    menu.addAction(&signOutAction);
    menu.addAction(&exitAction);
    setContextMenu(&menu);
}

void TrayIcon::SetLastSnapshotEnabled(bool enabled)
{
    lastSnapshotEnabled = enabled;
    UpdateEnabled();
}

void TrayIcon::BlockTrackTimeMenu(bool enable)
{
    trackingAllowed = enable;
    UpdateEnabled();
}

bool TrayIcon::GetGroupCheckState() const
{
    return groupByTeamAction.isChecked();
}

bool TrayIcon::GetOfflineCheckState() const
{
    return showOfflineAction.isChecked();
}

void TrayIcon::SetGroupCheckState(bool checked)
{
    groupByTeamAction.setChecked(checked);
}

void TrayIcon::SetOfflineCheckState(bool checked)
{
    showOfflineAction.setChecked(checked);
}

void TrayIcon::OnTrayDoubleClick(QSystemTrayIcon::ActivationReason reason)
{
    if (!signedIn || (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Trigger))
        return;
    if (SettingsProvider::instance()->GetCurrentSettings().openTeamRoomOrWorkWithTrackingTime)
        emit OpenTeamRoom_Signal();
    else
        emit TrackingTime_Signal();
}

void TrayIcon::OnTeamTriggered(QAction* action)
{
    // The click toggled the entry's mark; only the main window's answer (ChangeUserTeam) moves
    // the marks, so a choice it turns down leaves them as they were.
    ApplyTeamChecks();
    emit SelectTeam_Signal(action->data().toString());
}

bool TrayIcon::ListsTeams(const QList<RosterManager::ROSTER_GROUP_ITEM>& teams) const
{
    return teamsMenu.actions().size() == teams.size()
        && RosterManager::TeamsKey(teams) == teamsMenuKey;
}

void TrayIcon::ApplyTeamChecks()
{
    const QList<QAction*> actions = teamsMenu.actions();
    for (QAction* action : actions)
        action->setChecked(!currentTeam.isEmpty() && action->data().toString() == currentTeam);
}

void TrayIcon::UpdateEnabled()
{
    for (QAction* action :
        { &openTeamRoomAction, &availableAction, &busyAction, &memoAction, &showOfflineAction,
            &groupByTeamAction, &expandAllAction, &collapseAllAction, &signOutAction })
        action->setEnabled(signedIn);
    chatStatusMenu.menuAction()->setEnabled(signedIn);
    screensnapMenu.menuAction()->setEnabled(signedIn);
    teamsMenu.menuAction()->setEnabled(signedIn && !teamsMenu.isEmpty());
    trackingAction.setEnabled(signedIn && trackingAllowed);
    lastSnapshotAction.setEnabled(signedIn && lastSnapshotEnabled);
}
