#include "RosterWindow.h"

#include "RosterDelegate.h"
#include "RosterMerge.h"
#include "RosterRowIndex.h"
#include "ui_RosterWindow.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QScrollBar>

namespace {

using GroupList = QList<RosterManager::ROSTER_GROUP_ITEM>;
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

void RosterWindow::ConstructRosterList()
{
    rosterDelegate = new RosterDelegate(ui->lstRoster);
    ui->lstRoster->setItemDelegate(rosterDelegate);
    connect(
        rosterDelegate, &RosterDelegate::OnItemClickAction, this, &RosterWindow::OnItemMenuRequest);
    // Whatever adds, removes or moves rows, or gives a row other ids, outdates the index.
    const QAbstractItemModel* rows = ui->lstRoster->model();
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

const RosterRowIndex& RosterWindow::RowIndex()
{
    if (!rowIndex)
        rowIndex.emplace(ui->lstRoster);
    return *rowIndex;
}

void RosterWindow::SetSignedIn(bool signedIn)
{
    isSignedIn = signedIn;
    isFirstRosterLoad = true;
}

void RosterWindow::SetTeams(const GroupList& teams)
{
    QMenu* menu = ui->menuSelect_team;
    QString trackedTeam;
    if (tracking.IsTracking()) {
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
    misc.GetTrayIcon().SetTeams(teams);
    ui->btnTimeControl->setEnabled(!teams.isEmpty());
    menu->setEnabled(!teams.isEmpty());
}

void RosterWindow::updateGroupsCombo()
{
    QComboBox* combo = ui->cmbCurrentCompany;
    int index = 0;
    QString text;
    int count = 0;
    if (combo->count() > 0) {
        index = combo->currentIndex();
        text = combo->currentText();
        count = combo->count();
    }
    const GroupList teams = rosterManager.GetRosterList();
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

void RosterWindow::RedrawRoster(bool groupByTeam, bool showOffline)
{
    // Rows are drawn with the roster's styles, which come with the window's look.
    windowLayout->PrepareLook();
    QListWidget* list = ui->lstRoster;
    const int currentRow = list->currentRow();
    updateGroupsCombo();
    listWidgetManager.DrawRosterToListWidget(
        list, rosterManager.GetRosterList(), groupByTeam, showOffline);
    if (!groupByTeam)
        ListWidgetManager::RemoveDoubleEntry(list);
    list->setCurrentRow(currentRow);
}

void RosterWindow::RedrawRosterAsShown()
{
    const TrayIcon& tray = misc.GetTrayIcon();
    RedrawRoster(tray.GetGroupCheckState(), tray.GetOfflineCheckState());
}

void RosterWindow::OnRosterReceived()
{
    logManager.AddToLog(LogManager::LOG_ROSTER_RECEIVED);
    const GroupList received = restApi.GetRosterList();
    if (isFirstRosterLoad) {
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("First list load - read team members"));
        rosterManager.SetRosterList(received, true);
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Read team members - ok. Full roster readraw"));
        RedrawRosterAsShown();
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Full readraw completed"));
        isFirstRosterLoad = false;
        conversations.RosterCame();
        restTimer.start();
    } else {
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Get next list load"));
        GroupList shown = rosterManager.GetRosterList();
        // Compared as the teams' members arrived, unless that cannot be vouched for.
        const std::optional<RosterRefreshCompare::Outcome> compared
            = refreshCompare.Finish(received, rosterManager);
        const RosterMerge::Plan plan
            = compared ? compared->plan : RosterMerge::PlanFor(shown, received);
        if (plan == RosterMerge::Plan::PatchRows) {
            // The model is written member by member: a copy of its list held here would have the
            // first write copy every team.
            shown.clear();
            logManager.AddToLog(
                LogManager::LOG_TEXT, QStringLiteral("Start checking for roster updates"));
            CheckForRosterUpdates(received, compared ? &compared->changed : nullptr);
            logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Checking completed"));
        } else {
            logManager.AddToLog(LogManager::LOG_TEXT,
                QStringLiteral("Need full roster redraw. Read roster from API object"));
            rosterManager.SetRosterList(RosterMerge::WithPicturesKept(received, shown), false);
            logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start roster redraw"));
            RedrawRosterAsShown();
            logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Roster readraw completed"));
        }
    }
    updateGroupsCombo();
}

void RosterWindow::OnTeamMembersReceived(int teamId)
{
    const int position = teamsReceived++;
    if (!isSignedIn || isFirstRosterLoad)
        return;
    const GroupList received = restApi.GetRosterList();
    // A team at another position is left unseen: the complete roster is then compared whole.
    if (position < received.size() && received.at(position).groupID == teamId)
        refreshCompare.AddTeam(position, received.at(position), rosterManager);
}

void RosterWindow::CheckForRosterUpdates(
    const GroupList& received, const QVector<RosterRefreshCompare::Position>* changed)
{
    const TrayIcon& tray = misc.GetTrayIcon();
    const bool groupByTeam = tray.GetGroupCheckState();
    const bool showOffline = tray.GetOfflineCheckState();
    QListWidget* list = ui->lstRoster;
    // With offline members hidden, a member crossing offline gets or loses a row.
    bool rowsChange = false;
    // Rows are found through the index (a shared copy, which a change of rows meanwhile cannot
    // take away), not by walking the list for each member, and only the members that changed
    // are copied.
    const RosterRowIndex rows = RowIndex();
    RosterMerge::ForEachPatch(
        received, changed, rosterManager, RowsOf(rows), [&](const RosterMerge::Patch& patch) {
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
            rosterManager.SetRosterItemByIndexrs(update.groupID, update.contactID, member);
        });
    if (rowsChange)
        RedrawRoster(groupByTeam, showOffline);
    else if (!groupByTeam)
        ListWidgetManager::RemoveDoubleEntry(list);
}

void RosterWindow::on_lstRoster_clicked(const QModelIndex& index)
{
    QListWidget* list = ui->lstRoster;
    QListWidgetItem* item = index.isValid() ? list->item(index.row()) : nullptr;
    if (!item)
        return;
    const int currentRow = list->currentRow();
    if (ListWidgetManager::isGroup(item)) {
        const int groupID = item->data(ListWidgetManager::ROLE_GROUP_ID).toInt();
        RosterManager::ROSTER_GROUP_ITEM team = rosterManager.GetGroupRosterByID(groupID);
        team.isExpanded = team.isExpanded ? 0 : 1;
        const int position = rosterManager.GetGroupIndexByID(groupID);
        if (position == -1)
            return;
        rosterManager.SetListItemByIndex(position, team);
    }
    const int scroll = list->verticalScrollBar()->value();
    RedrawRosterAsShown();
    UpdateRosterScreens();
    list->setCurrentRow(currentRow);
    list->verticalScrollBar()->setValue(scroll);
}

// The View menu and the tray menu offer the same two options; whichever is used, both follow.
void RosterWindow::on_actionShow_offline_users_triggered(bool show)
{
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Change offline users state in roster render"));
    misc.GetTrayIcon().SetOfflineCheckState(show);
    ui->actionShow_offline_users->setChecked(show);
    RedrawRosterAsShown();
}

void RosterWindow::on_actionGroup_users_by_team_triggered(bool show)
{
    misc.GetTrayIcon().SetGroupCheckState(show);
    ui->actionGroup_users_by_team->setChecked(show);
    RedrawRosterAsShown();
}

void RosterWindow::on_actionExpand_all_triggered()
{
    rosterManager.ExpandAll();
    RedrawRosterAsShown();
}

void RosterWindow::on_actionCollapse_all_triggered()
{
    rosterManager.CollapseAll();
    RedrawRosterAsShown();
}

void RosterWindow::OnAvatarsReceived()
{
    logManager.AddToLog(LogManager::LOG_AVATARS_RECEIVED);
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Avatars for user's roster list was recieved"));
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Read current list"));
    const GroupList previous = rosterManager.GetRosterList();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Set current list from API object"));
    const GroupList received = restApi.GetRosterList();
    rosterManager.SetRosterList(received, true);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Copy avatars"));
    rosterManager.CopyAvatarsFromListWidget(ui->lstRoster);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Copy screenshots"));
    rosterManager.CopyScreenshotsFromRosterList(previous);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Redraw roster"));
    RedrawRosterAsShown();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Update avatars"));
    UpdateRosterAvatars(received);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Turn avatars off"));
    restApi.SetIsNeedAvatars(false);
    avatarsTimer.start();
}

void RosterWindow::UpdateRosterAvatars(const GroupList& teams)
{
    RosterManager lookup;
    lookup.SetRosterList(teams, false);
    QListWidget* list = ui->lstRoster;
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
        Member member = rosterManager.GetRosterItemByIndexes(ids.at(0), ids.at(1));
        if (!IsFound(member))
            continue;
        member.avatar = *avatar;
        rosterManager.SetRosterItemByIndexrs(ids.at(0), ids.at(1), member);
    }
}

void RosterWindow::CheckForScreensUpdates()
{
    QListWidget* list = ui->lstRoster;
    const RosterRowIndex rows = RowIndex();
    RosterMerge::ForEachScreenshotPatch(restApi.GetRosterList(), rosterManager, RowsOf(rows),
        [&](const RosterMerge::ScreenshotPatch& patch) {
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
            rosterManager.SetRosterItemByIndexrs(
                patch.received->groupID, patch.received->contactID, member);
        });
}

void RosterWindow::UpdateRosterScreens()
{
    RosterManager lookup;
    lookup.SetRosterList(rosterManager.GetRosterList(), false);
    QListWidget* list = ui->lstRoster;
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
