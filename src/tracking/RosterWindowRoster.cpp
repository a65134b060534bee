#include "RosterWindow.h"

#include "ui_RosterWindow.h"

void RosterWindow::ConstructRosterList()
{
    const RosterView::Widgets widgets { ui->lstRoster, ui->cmbCurrentCompany, ui->menuSelect_team,
        ui->btnTimeControl, ui->actionTrackingTime, ui->lblNoTeams, ui->actionShow_offline_users,
        ui->actionGroup_users_by_team };
    rosterView.emplace(widgets, rosterManager, misc.GetTrayIcon(), logManager,
        [this] { return tracking.IsTracking(); });
    RosterView* view = &*rosterView;
    connect(view, &RosterView::RowButtonClicked, this, &RosterWindow::OnItemMenuRequest);
    // Rows are drawn with the roster's styles, which come with the window's look.
    connect(view, &RosterView::AboutToDraw, windowLayout.get(), &MainWindowLayout::PrepareLook);
    connect(view, &RosterView::FirstRosterShown, this, [this] {
        conversations.RosterCame();
        restTimer.start();
    });
    connect(view, &RosterView::AvatarsShown, this, [this] {
        restApi.SetIsNeedAvatars(false);
        avatarsTimer.start();
    });
}

void RosterWindow::SetSignedIn(bool signedIn)
{
    isSignedIn = signedIn;
    // Signed in or out before the window is built, its roster awaits the first one anyway.
    if (rosterView)
        rosterView->AwaitFirstRoster();
}

void RosterWindow::on_lstRoster_clicked(const QModelIndex& index)
{
    rosterView->OnRowClicked(index);
}

void RosterWindow::on_actionShow_offline_users_triggered(bool show)
{
    rosterView->ShowOffline(show);
}

void RosterWindow::on_actionGroup_users_by_team_triggered(bool show)
{
    rosterView->GroupByTeam(show);
}

void RosterWindow::on_actionExpand_all_triggered()
{
    rosterView->ExpandAll();
}

void RosterWindow::on_actionCollapse_all_triggered()
{
    rosterView->CollapseAll();
}

void RosterWindow::UpdateRosterAvatars(const QList<RosterManager::ROSTER_GROUP_ITEM>& teams)
{
    rosterView->UpdateRosterAvatars(teams);
}
