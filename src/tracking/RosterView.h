#pragma once

#include "ListWidgetManager.h"
#include "RosterDelegate.h"
#include "RosterManager.h"
#include "RosterRefreshCompare.h"
#include "RosterRowIndex.h"

#include <QList>
#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>

class LogManager;
class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QModelIndex;
class QPushButton;
class TrayIcon;

// The roster as the main window shows it: the model drawn into the list and kept up to date by
// the roster client's answers (the first roster of a sign-in, refreshes patched or reloaded as
// RosterMerge decides, the avatar and screenshot passes), the team selector, the team menu's
// entries and the view options. It writes only the widgets it is given; what is the window's to
// do (its look, the chat messages waiting for the roster, the refresh timers, a row's menu) it
// asks for through its signals, each emitted where the window used to do it.
class RosterView : public QObject
{
    Q_OBJECT
public:
    using GroupList = QList<RosterManager::ROSTER_GROUP_ITEM>;

    // The window's widgets the roster is drawn into, or enables and shows.
    struct Widgets
    {
        QListWidget* list = nullptr;
        QComboBox* teamSelector = nullptr;
        QMenu* teamMenu = nullptr; // its entries; tracking sets their checks
        QPushButton* trackButton = nullptr; // enabled while there are teams
        QAction* trackAction = nullptr;
        QLabel* noTeams = nullptr; // shown instead of the list while no teams can be had
        QAction* showOffline = nullptr; // the View menu's options, in step with the tray's
        QAction* groupByTeam = nullptr;
    };

    // `isTracking` tells whether time is tracked now: the team menu keeps the tracked team's
    // check through a refresh only then.
    RosterView(const Widgets& widgets, RosterManager& model, TrayIcon& tray, LogManager& log,
        std::function<bool()> isTracking);

    // The row styles the list is drawn with; the next drawing takes them.
    void SetStyles(const ListWidgetManager::ListWidgetGroup_Style& group,
        const ListWidgetManager::ListWidgetItem_Style& item);
    ListWidgetManager::ListWidgetGroup_Style GroupStyle() const;
    ListWidgetManager::ListWidgetItem_Style ItemStyle() const;

    // Sign-in and sign-out: the next complete roster is the first of a sign-in. Until it comes
    // no refresh is compared (signed out, none comes).
    void AwaitFirstRoster() { firstRosterAwaited = true; }
    bool AwaitsFirstRoster() const { return firstRosterAwaited; }

    // The roster client's answers, each with the roster the client holds then.
    void OnTeamsReceived(const GroupList& teams);
    void OnTeamMembersReceived(int teamId, const GroupList& received);
    void OnRosterReceived(const GroupList& received);
    void OnAvatarsReceived(const GroupList& received);
    // The screenshot pass: rows take the pictures that arrived and lose those no longer listed.
    void CheckForScreensUpdates(const GroupList& received);
    // Puts the avatars of `teams` into the rows and the model; members not in `teams`, and
    // avatars whose download failed, keep the one shown.
    void UpdateRosterAvatars(const GroupList& teams);
    // The list, or the no-teams notice with tracking disabled.
    void ShowRosterPage(bool teamsAvailable);
    // The team menu's entries (remade only when the teams changed), the tray's teams, and
    // tracking enabled while there is a team.
    void SetTeams(const GroupList& teams);

    // Draws the model anew with the tray's view options.
    void Redraw();
    // A click on a team row folds or unfolds it; any click redraws, keeping the current row and
    // the scroll position.
    void OnRowClicked(const QModelIndex& index);
    // The view options; the View menu's action and the tray's item follow whichever is used.
    void ShowOffline(bool show);
    void GroupByTeam(bool group);
    void ExpandAll();
    void CollapseAll();

signals:
    // Rows are about to be drawn: they take the roster's styles, which come with the window's
    // look.
    void AboutToDraw();
    // The first complete roster of a sign-in is shown: the refresh may start.
    void FirstRosterShown();
    // The avatar pass is shown: the next may be asked for.
    void AvatarsShown();
    // A team row or a member row's button was clicked (RosterDelegate::OnItemClickAction).
    void RowButtonClicked(
        int groupID, int contactID, RosterDelegate::BUTTON_TYPES button, QPoint mouseArea);

private:
    void RedrawRoster(bool groupByTeam, bool showOffline);
    void UpdateGroupsCombo();
    // Patches the rows of the members of `received` that changed: those `changed` names, or
    // every member when it is null.
    void CheckForRosterUpdates(
        const GroupList& received, const QVector<RosterRefreshCompare::Position>* changed);
    void UpdateRosterScreens();
    const RosterRowIndex& RowIndex();

    const Widgets widgets;
    RosterManager& model;
    TrayIcon& tray;
    LogManager& log;
    const std::function<bool()> isTracking;
    ListWidgetManager listWidgetManager;
    // The drawn rows by team and member id, made again after rows are added, removed or moved.
    std::optional<RosterRowIndex> rowIndex;
    bool firstRosterAwaited = true;
    // A refresh's members compared with the model as each team's arrive.
    RosterRefreshCompare refreshCompare;
    QByteArray teamMenuKey; // the teams the team menu was made from (RosterManager::TeamsKey)
    int teamsReceived = 0; // teams whose members arrived in this pass
};
