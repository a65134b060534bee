#pragma once

#include "ListWidgetManager.h"
#include "RosterManager.h"

#include <QAction>
#include <QList>
#include <QMenu>
#include <QString>
#include <QSystemTrayIcon>

// The client's icon in the system tray and its menu. The menu mirrors the main window's status,
// team and view menus; every choice leaves as a signal for the main window to act on. Desktops
// without a tray still get a working object: the menu and its state are kept all the same.
class TrayIcon : public QSystemTrayIcon
{
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);

    // Checks "Available" or "Busy" and shows the status's picture from `style.statusIcons`
    // (built-in pictures stand in for slots the style leaves empty).
    void ChangeUserStatus(
        RosterManager::STATUS status, const ListWidgetManager::ListWidgetItem_Style& style);
    // The tracking item's text; the chat status choices follow the tracking state.
    void ChangeTrackingTime(bool tracking);
    // Checks the team of this short name in "Select team"; an empty name checks none.
    void ChangeUserTeam(const QString& name);
    void SetTeams(const QList<RosterManager::ROSTER_GROUP_ITEM>& teams);
    // Enables the items that need a signed-in member.
    void ChangeSign(bool signedIn);
    // Builds the menu and makes it the icon's context menu.
    void SetContextMenu();
    void SetLastSnapshotEnabled(bool enabled);
    void BlockTrackTimeMenu(bool enable);

    bool GetGroupCheckState() const;
    bool GetOfflineCheckState() const;
    // Tick the view options without emitting their signals, when the main window's View menu
    // changed them.
    void SetGroupCheckState(bool checked);
    void SetOfflineCheckState(bool checked);

public slots:
    void OnTrayDoubleClick(QSystemTrayIcon::ActivationReason reason);

signals:
    void OpenTeamRoom_Signal();
    void ChatStatusChange_Signal(RosterManager::STATUS status);
    void OpenMemo_Signal();
    void SelectTeam_Signal(QString teamName);
    void TrackingTime_Signal();
    void LastSnapshot_Signal();
    // One of the "Screensnap" entries, by its MiscFunctions::SCREENSNAP_PICTURE_MODE.
    void Screensnap_Signal(int mode);
    void SingOut_Signal();
    void ExitApp_Singal();
    void ShowOfflineUsers_Signal(bool show);
    void ShowGroups_Signal(bool show);
    void ExpandAll_Signal();
    void CollapseAll_Signal();

private:
    void ConnectActions();
    void OnTeamTriggered(QAction* action);
    void ApplyTeamChecks();
    // Whether the teams menu was made from exactly these teams, in order.
    bool ListsTeams(const QList<RosterManager::ROSTER_GROUP_ITEM>& teams) const;
    void UpdateEnabled();

    QMenu menu;
    QMenu chatStatusMenu;
    QMenu teamsMenu;
    QByteArray teamsMenuKey; // the teams it was made from (RosterManager::TeamsKey)
    QMenu screensnapMenu;
    QAction openTeamRoomAction;
    QAction availableAction;
    QAction busyAction;
    QAction memoAction;
    QAction trackingAction;
    QAction lastSnapshotAction;
    QAction showOfflineAction;
    QAction groupByTeamAction;
    QAction expandAllAction;
    QAction collapseAllAction;
    QAction signOutAction;
    QAction exitAction;

    QString currentTeam;
    bool signedIn = false;
    bool tracking = false;
    bool trackingAllowed = true;
    bool lastSnapshotEnabled = false;
};
