#include "RosterView.h"

#include "LogManager.h"
#include "RosterMerge.h"
#include "TrayIcon.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

#include <utility>

namespace {

using GroupList = RosterView::GroupList;
using Member = RosterManager::ROSTER_ITEM;

// Lookups answer a record with both ids -1 when the member is not there.
bool IsFound(const Member& member)
{
    return member.contactID != -1 || member.groupID != -1;
}

// The rows of the index, as the merge rules ask for them.
RosterMerge::RowOf RowsOf(const RosterRowIndex& rows)
{
    return [&rows](int groupID, int contactID) {
        return rows.Row(groupID, contactID);
    };
}

// Whether the selector lists exactly these teams' names, in order.
bool HasTeamNames(const QComboBox* combo, const GroupList& teams)
{
    if (combo->count() != teams.size())
        return false;
    for (int index = 0; index < teams.size(); ++index) {
        if (combo->itemText(index) != teams.at(index).name)
            return false;
    }
    return true;
}

} // namespace

RosterView::RosterView(const Widgets& widgets, RosterManager& model, TrayIcon& tray,
    LogManager& log, std::function<bool()> isTracking)
    : widgets(widgets), model(model), tray(tray), log(log), isTracking(std::move(isTracking))
{
    auto* delegate = new RosterDelegate(widgets.list); // owned by the list
    widgets.list->setItemDelegate(delegate);
    connect(delegate, &RosterDelegate::OnItemClickAction, this, &RosterView::RowButtonClicked);
    // Whatever adds, removes or moves rows, or gives a row other ids, outdates the index.
    const QAbstractItemModel* rows = widgets.list->model();
    const auto outdated = [this] {
        rowIndex.reset();
    };
    connect(rows, &QAbstractItemModel::rowsInserted, this, outdated);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, outdated);
    connect(rows, &QAbstractItemModel::rowsMoved, this, outdated);
    connect(rows, &QAbstractItemModel::modelReset, this, outdated);
    connect(rows, &QAbstractItemModel::layoutChanged, this, outdated);
    connect(rows, &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex&, const QModelIndex&, const QVector<int>& roles) {
            if (roles.isEmpty() || roles.contains(ListWidgetManager::ROLE_GROUP_ID)
                || roles.contains(ListWidgetManager::ROLE_CONTACT_ID))
                rowIndex.reset();
        });
}

void RosterView::SetStyles(const ListWidgetManager::ListWidgetGroup_Style& group,
    const ListWidgetManager::ListWidgetItem_Style& item)
{
    listWidgetManager.SetGroupStyle(group);
    listWidgetManager.SetItemStyle(item);
}

ListWidgetManager::ListWidgetGroup_Style RosterView::GroupStyle() const
{
    return listWidgetManager.GetGroupStyle();
}

ListWidgetManager::ListWidgetItem_Style RosterView::ItemStyle() const
{
    return listWidgetManager.GetItemStyle();
}

const RosterRowIndex& RosterView::RowIndex()
{
    if (!rowIndex)
        rowIndex.emplace(widgets.list);
    return *rowIndex;
}

void RosterView::OnTeamsReceived(const GroupList& teams)
{
    log.AddToLog(LogManager::LOG_GET_GROUPS, teams.size());
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Read teams from API object"));
    SetTeams(teams);
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Read tems from API object - ok"));
    ShowRosterPage(true);
    refreshCompare.Start(model);
    teamsReceived = 0;
}

void RosterView::ShowRosterPage(bool teamsAvailable)
{
    widgets.list->setVisible(teamsAvailable);
    widgets.noTeams->setVisible(!teamsAvailable);
    widgets.trackButton->setEnabled(teamsAvailable);
    widgets.trackAction->setEnabled(teamsAvailable);
    tray.BlockTrackTimeMenu(teamsAvailable);
}

void RosterView::SetTeams(const GroupList& teams)
{
    QMenu* menu = widgets.teamMenu;
    QString trackedTeam;
    if (isTracking()) {
        const QList<QAction*> actions = menu->actions();
        for (const QAction* action : actions) {
            if (action->isChecked())
                trackedTeam = action->text();
        }
    }
    // Every refresh lists the teams again, mostly the same: remaking hundreds of actions in two
    // menus held the window for milliseconds each time, and only the checks need setting.
    const QByteArray key = RosterManager::TeamsKey(teams);
    if (key != teamMenuKey || menu->actions().size() != teams.size()) {
        teamMenuKey = key;
        menu->clear();
        for (const RosterManager::ROSTER_GROUP_ITEM& team : teams) {
            QAction* action = menu->addAction(team.name);
            action->setProperty("PropertyIDForIDStorage", team.groupID);
            action->setCheckable(true);
        }
    }
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions)
        action->setChecked(!trackedTeam.isEmpty() && action->text() == trackedTeam);
    tray.SetTeams(teams);
    widgets.trackButton->setEnabled(!teams.isEmpty());
    menu->setEnabled(!teams.isEmpty());
}

void RosterView::UpdateGroupsCombo()
{
    QComboBox* combo = widgets.teamSelector;
    int index = 0;
    QString text;
    int count = 0;
    if (combo->count() > 0) {
        index = combo->currentIndex();
        text = combo->currentText();
        count = combo->count();
    }
    const GroupList teams = model.GetRosterList();
    // The same teams under the same names: refilling would end where the selector is now.
    if (!HasTeamNames(combo, teams)) {
        combo->clear();
        for (const RosterManager::ROSTER_GROUP_ITEM& team : teams)
            combo->addItem(team.name);
    }
    if (index != -1) {
        if (combo->count() == count) {
            combo->setCurrentIndex(index);
        } else {
            const int found = combo->findText(text);
            if (found >= 0)
                combo->setCurrentIndex(found);
        }
    }
}

void RosterView::RedrawRoster(bool groupByTeam, bool showOffline)
{
    emit AboutToDraw();
    QListWidget* list = widgets.list;
    const int currentRow = list->currentRow();
    UpdateGroupsCombo();
    listWidgetManager.DrawRosterToListWidget(list, model.GetRosterList(), groupByTeam, showOffline);
    if (!groupByTeam)
        ListWidgetManager::RemoveDoubleEntry(list);
    list->setCurrentRow(currentRow);
}

void RosterView::Redraw()
{
    RedrawRoster(tray.GetGroupCheckState(), tray.GetOfflineCheckState());
}

void RosterView::OnRosterReceived(const GroupList& received)
{
    log.AddToLog(LogManager::LOG_ROSTER_RECEIVED);
    if (firstRosterAwaited) {
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("First list load - read team members"));
        model.SetRosterList(received, true);
        log.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Read team members - ok. Full roster readraw"));
        Redraw();
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Full readraw completed"));
        firstRosterAwaited = false;
        emit FirstRosterShown();
    } else {
        log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Get next list load"));
        GroupList shown = model.GetRosterList();
        // Compared as the teams' members arrived, unless that cannot be vouched for.
        const std::optional<RosterRefreshCompare::Outcome> compared
            = refreshCompare.Finish(received, model);
        const RosterMerge::Plan plan
            = compared ? compared->plan : RosterMerge::PlanFor(shown, received);
        if (plan == RosterMerge::Plan::PatchRows) {
            // The model is written member by member: a copy of its list held here would have the
            // first write copy every team.
            shown.clear();
            log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start checking for roster updates"));
            CheckForRosterUpdates(received, compared ? &compared->changed : nullptr);
            log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Checking completed"));
        } else {
            log.AddToLog(LogManager::LOG_TEXT,
                QStringLiteral("Need full roster redraw. Read roster from API object"));
            model.SetRosterList(RosterMerge::WithPicturesKept(received, shown), false);
            log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start roster redraw"));
            Redraw();
            log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Roster readraw completed"));
        }
    }
    UpdateGroupsCombo();
}

// Only a refresh is compared: the first roster of a sign-in is drawn whole, and sign-out awaits
// the next first one, so nothing is compared while signed out.
void RosterView::OnTeamMembersReceived(int teamId, const GroupList& received)
{
    const int position = teamsReceived++;
    if (firstRosterAwaited)
        return;
    // A team at another position is left unseen: the complete roster is then compared whole.
    if (position < received.size() && received.at(position).groupID == teamId)
        refreshCompare.AddTeam(position, received.at(position), model);
}

void RosterView::CheckForRosterUpdates(
    const GroupList& received, const QVector<RosterRefreshCompare::Position>* changed)
{
    const bool groupByTeam = tray.GetGroupCheckState();
    const bool showOffline = tray.GetOfflineCheckState();
    QListWidget* list = widgets.list;
    // With offline members hidden, a member crossing offline gets or loses a row.
    bool rowsChange = false;
    // Rows are found through the index (a shared copy, which a change of rows meanwhile cannot
    // take away), not by walking the list for each member, and only the members that changed
    // are copied.
    const RosterRowIndex rows = RowIndex();
    RosterMerge::ForEachPatch(
        received, changed, model, RowsOf(rows), [&](const RosterMerge::Patch& patch) {
            const Member& update = *patch.received;
            const RosterMerge::Changes changes = patch.changes;
            const int row = patch.row;
            QListWidgetItem* item = list->item(row);
            Member member = *patch.shown;
            if (changes & RosterMerge::WorkingChanged) {
                member.isWorking = update.isWorking;
                listWidgetManager.UpdateItemByIndex(
                    list, row, ListWidgetManager::ROLE_WORKING, member.isWorking);
            }
            if (changes & RosterMerge::MemoChanged) {
                member.memo = update.memo;
                listWidgetManager.UpdateItemByIndex(
                    list, row, ListWidgetManager::ROLE_MEMO, member.memo);
            }
            if (changes & RosterMerge::WorkedTimeChanged) {
                member.workedTime = update.workedTime;
                listWidgetManager.UpdateItemByIndex(
                    list, row, ListWidgetManager::ROLE_WORKED_TIME, member.workedTime);
            }
            if (changes & RosterMerge::ScreenshotArrived) {
                member.screenshot = update.screenshot;
                listWidgetManager.ConstructListWidgetItemWithScreenshot(item, member);
            }
            if (changes & RosterMerge::StatusChanged) {
                member.status = update.status;
                listWidgetManager.ConstructListWidgetItemWithUserStatus(item, member);
                if (!showOffline && (changes & RosterMerge::CrossedOffline))
                    rowsChange = true;
            }
            model.SetRosterItemByIndexrs(update.groupID, update.contactID, member);
        });
    if (rowsChange)
        RedrawRoster(groupByTeam, showOffline);
    else if (!groupByTeam)
        ListWidgetManager::RemoveDoubleEntry(list);
}

void RosterView::OnRowClicked(const QModelIndex& index)
{
    QListWidget* list = widgets.list;
    QListWidgetItem* item = index.isValid() ? list->item(index.row()) : nullptr;
    if (!item)
        return;
    const int currentRow = list->currentRow();
    if (ListWidgetManager::isGroup(item)) {
        const int groupID = item->data(ListWidgetManager::ROLE_GROUP_ID).toInt();
        RosterManager::ROSTER_GROUP_ITEM team = model.GetGroupRosterByID(groupID);
        team.isExpanded = team.isExpanded ? 0 : 1;
        const int position = model.GetGroupIndexByID(groupID);
        if (position == -1)
            return;
        model.SetListItemByIndex(position, team);
    }
    const int scroll = list->verticalScrollBar()->value();
    Redraw();
    UpdateRosterScreens();
    list->setCurrentRow(currentRow);
    list->verticalScrollBar()->setValue(scroll);
}

// The View menu and the tray menu offer the same two options; whichever is used, both follow.
void RosterView::ShowOffline(bool show)
{
    log.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Change offline users state in roster render"));
    tray.SetOfflineCheckState(show);
    widgets.showOffline->setChecked(show);
    Redraw();
}

void RosterView::GroupByTeam(bool group)
{
    tray.SetGroupCheckState(group);
    widgets.groupByTeam->setChecked(group);
    Redraw();
}

void RosterView::ExpandAll()
{
    model.ExpandAll();
    Redraw();
}

void RosterView::CollapseAll()
{
    model.CollapseAll();
    Redraw();
}

void RosterView::OnAvatarsReceived(const GroupList& received)
{
    log.AddToLog(LogManager::LOG_AVATARS_RECEIVED);
    log.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Avatars for user's roster list was recieved"));
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Read current list"));
    const GroupList previous = model.GetRosterList();
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Set current list from API object"));
    model.SetRosterList(received, true);
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Copy avatars"));
    model.CopyAvatarsFromListWidget(widgets.list);
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Copy screenshots"));
    model.CopyScreenshotsFromRosterList(previous);
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Redraw roster"));
    Redraw();
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Update avatars"));
    UpdateRosterAvatars(received);
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Turn avatars off"));
    emit AvatarsShown();
}

void RosterView::UpdateRosterAvatars(const GroupList& teams)
{
    RosterManager lookup;
    lookup.SetRosterList(teams, false);
    QListWidget* list = widgets.list;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        if (ListWidgetManager::isGroup(item))
            continue;
        const QList<int> ids = ListWidgetManager::GetGroupAndContactID(item);
        if (ids.size() != 2)
            continue;
        const QPixmap* avatar = RosterMerge::AvatarFor(lookup, ids.at(0), ids.at(1));
        if (!avatar)
            continue;
        listWidgetManager.UpdateItemByIndex(
            list, row, ListWidgetManager::ROLE_AVATAR, QVariant::fromValue(*avatar));
        // Only the avatar: the model's screenshot and the rest are newer than this answer's.
        Member member = model.GetRosterItemByIndexes(ids.at(0), ids.at(1));
        if (!IsFound(member))
            continue;
        member.avatar = *avatar;
        model.SetRosterItemByIndexrs(ids.at(0), ids.at(1), member);
    }
}

void RosterView::CheckForScreensUpdates(const GroupList& received)
{
    QListWidget* list = widgets.list;
    const RosterRowIndex rows = RowIndex();
    RosterMerge::ForEachScreenshotPatch(
        received, model, RowsOf(rows), [&](const RosterMerge::ScreenshotPatch& patch) {
            QListWidgetItem* item = list->item(patch.row);
            if (!item)
                return;
            Member member = *patch.shown;
            switch (patch.step) {
            case RosterMerge::ScreenshotStep::Keep:
                return;
            case RosterMerge::ScreenshotStep::Take:
                member.screenshot = patch.received->screenshot;
                listWidgetManager.ConstructListWidgetItemWithScreenshot(item, member);
                break;
            case RosterMerge::ScreenshotStep::StoppedWorking:
                member.isWorking = false;
                member.memo.clear();
                member.screenshot = QPixmap();
                item->setData(ListWidgetManager::ROLE_WORKING, false);
                item->setData(ListWidgetManager::ROLE_MEMO, QString());
                listWidgetManager.UpdateItemByIndex(list, patch.row,
                    ListWidgetManager::ROLE_SCREENSHOT, QVariant::fromValue(QPixmap()));
                break;
            }
            model.SetRosterItemByIndexrs(
                patch.received->groupID, patch.received->contactID, member);
        });
}

void RosterView::UpdateRosterScreens()
{
    RosterManager lookup;
    lookup.SetRosterList(model.GetRosterList(), false);
    QListWidget* list = widgets.list;
    for (int row = 0; row < list->count(); ++row) {
        const QList<int> ids = ListWidgetManager::GetGroupAndContactID(list->item(row));
        if (ids.size() != 2)
            continue;
        const Member member = lookup.GetRosterItemByIndexes(ids.at(0), ids.at(1));
        if (IsFound(member))
            listWidgetManager.UpdateItemByIndex(list, row, ListWidgetManager::ROLE_SCREENSHOT,
                QVariant::fromValue(member.screenshot));
    }
}
