#include "RosterWindow.h"

#include "ui_RosterWindow.h"

#include <QListWidget>

namespace {

const QString workDiaryPath = QStringLiteral("/Sites/1/Main/Work_Diary.php");

enum Page
{
    RosterPage = 0,
    AboutPage = 1,
    ToolsPage = 3
};

} // namespace

void RosterWindow::OnItemMenuRequest(
    int groupID, int contactID, RosterDelegate::BUTTON_TYPES button, QPoint mouseArea)
{
    switch (button) {
    case RosterDelegate::BUTTON_MENU:
        itemMenu.popup(ui->lstRoster->mapToGlobal(mouseArea));
        break;
    case RosterDelegate::BUTTON_WORK_DIARY:
        OpenWorkDiary(contactID, groupID);
        break;
    case RosterDelegate::BUTTON_CHAT:
        // With the pressed row current, whichever row the press began on.
        ui->lstRoster->setCurrentRow(ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(
            ui->lstRoster, groupID, contactID));
        StartConversation();
        break;
    case RosterDelegate::BUTTON_ROW:
        break;
    }
}

// `listPos` is in the viewport's coordinates, as a context menu request gives it.
void RosterWindow::ShowMemberRowMenu(const QPoint& listPos)
{
    QListWidget* list = ui->lstRoster;
    QListWidgetItem* item = list->itemAt(listPos);
    if (!item || ListWidgetManager::isGroup(item))
        return;
    list->setCurrentItem(item);
    itemMenu.popup(list->viewport()->mapToGlobal(listPos));
}

void RosterWindow::onWorkDiary()
{
    const QList<int> ids = ListWidgetManager::GetGroupAndContactID(ui->lstRoster->currentItem());
    if (ids.size() == 2)
        OpenWorkDiary(ids.at(1), ids.at(0));
}

void RosterWindow::OpenWorkDiary(int contactID, int groupID)
{
    misc.openLink(
        WebPage(workDiaryPath, QStringLiteral("ID=%1&Room_ID=%2").arg(contactID).arg(groupID))
            .toString(QUrl::FullyEncoded));
}

void RosterWindow::OpenWebPage(const QString& logText, const QString& path, const QString& query)
{
    logManager.AddToLog(LogManager::LOG_TEXT, logText);
    misc.openLink(WebPage(path, query).toString(QUrl::FullyEncoded));
    logManager.AddToLog(LogManager::LOG_TEXT, logText + QStringLiteral(" - success"));
}

void RosterWindow::on_actionTime_logs_triggered()
{
    OpenWebPage(
        QStringLiteral("Open time logs"), QStringLiteral("/Sites/1/Main/Work_DiaryLogs.php"));
}

void RosterWindow::on_actionMessage_center_triggered()
{
    OpenWebPage(QStringLiteral("Open message center"), QStringLiteral("/Sites/1/Main/My_Mail.php"));
}

void RosterWindow::on_actionWork_diary_triggered()
{
    OpenWebPage(QStringLiteral("Open user work diary"), workDiaryPath);
}

void RosterWindow::on_btnMyFinance_clicked()
{
    OpenWebPage(QStringLiteral("Open financial activity"),
        QStringLiteral("/Sites/1/Main/Financial_Activity.php"));
}

void RosterWindow::on_actionProfile_triggered()
{
    OpenWebPage(QStringLiteral("Open user profile"), QStringLiteral("/Sites/1/Main/Profile.php"),
        QStringLiteral("ID=%1").arg(restApi.GetCurrentUserInfo().memberId));
}

// A second press on the same button goes back to the roster.
void RosterWindow::TogglePage(int page, const QString& logText)
{
    logManager.AddToLog(LogManager::LOG_TEXT, logText);
    QStackedWidget* area = ui->showArea;
    area->setCurrentIndex(area->currentIndex() == page ? RosterPage : page);
    logManager.AddToLog(LogManager::LOG_TEXT, logText + QStringLiteral(" - success"));
}

void RosterWindow::on_btnAboutMQT_released()
{
    TogglePage(AboutPage, QStringLiteral("Show about dialog"));
}

void RosterWindow::on_btnTeamWorksTools_clicked()
{
    TogglePage(ToolsPage, QStringLiteral("Show team work tools"));
}

void RosterWindow::on_btnRoomView_clicked()
{
    ui->showArea->setCurrentIndex(RosterPage);
}

void RosterWindow::on_lstTeamWorkTools_itemClicked(QListWidgetItem* item)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Launch team work tool"));
    misc.openLink(item->data(ROLE_TOOL_URL).toString());
    ui->lstTeamWorkTools->clearSelection();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Launch team work tool - success"));
}

// A window nobody is signed in to has nothing to show.
void RosterWindow::OpenTeamRoom()
{
    if (!isSignedIn)
        return;
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show team room window"));
    if (!isHidden() && !isMinimized()) {
        setWindowState(windowState() | Qt::WindowActive);
        setVisible(true);
        raise();
        activateWindow();
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Show team room window was successed"));
        return;
    }
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
    raise();
    activateWindow();
}

void RosterWindow::on_actionPreferences_triggered()
{
    misc.ShowPreferences();
}

void RosterWindow::on_actionClose_triggered()
{
    close();
}
