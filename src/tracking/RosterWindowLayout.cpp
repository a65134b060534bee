#include "RosterWindow.h"

#include "MainWindowLayout.h"
#include "ui_RosterWindow.h"

#include <QResizeEvent>
#include <QShowEvent>

namespace {

const QString searchPath = QStringLiteral("/Sites/1/Main/Brows_Jobs_Result.php");

} // namespace

// Once, at construction: the member row's menu, then the form's own menus and look.
void RosterWindow::ConstructInterface()
{
    itemMenu.clear();
    connect(itemMenu.addAction(tr("Start  conversation")), &QAction::triggered, this,
        [this] { StartConversation(); });
    connect(itemMenu.addAction(tr("Work diary...")), &QAction::triggered, this,
        &RosterWindow::onWorkDiary);
    // A right click on a member row offers the row's menu, as its menu button does.
    ui->lstRoster->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->lstRoster, &QWidget::customContextMenuRequested, this,
        &RosterWindow::ShowMemberRowMenu);

    connect(windowLayout.get(), &MainWindowLayout::RowStylesChanged, this,
        [this](const ListWidgetManager::ListWidgetGroup_Style& group,
            const ListWidgetManager::ListWidgetItem_Style& item) {
            rosterView->SetStyles(group, item);
            rosterView->Redraw();
        });
    connect(windowLayout.get(), &MainWindowLayout::SearchAsked, this, &RosterWindow::SearchJobs);
    windowLayout->Construct();
}

void RosterWindow::setVisible(bool visible)
{
    if (visible) {
        Build();
        windowLayout->PrepareLook();
    }
    QMainWindow::setVisible(visible);
}

void RosterWindow::showEvent(QShowEvent* event)
{
    windowLayout->SetInterface();
    event->accept();
    QMainWindow::showEvent(event);
}

void RosterWindow::resizeEvent(QResizeEvent* event)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start window resize event"));
    windowLayout->LayOutPanels();
    event->accept();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("End window resize event"));
    QMainWindow::resizeEvent(event);
}

// The layout goes with the window's members, before the widgets that it watches.
bool RosterWindow::eventFilter(QObject* watched, QEvent* event)
{
    return (windowLayout && windowLayout->Filter(watched, event))
        || QMainWindow::eventFilter(watched, event);
}

// The search text is percent-encoded, so "#" or "&" in it stay part of the search.
void RosterWindow::SearchJobs(const QString& text)
{
    misc.openLink(WebPage(searchPath,
        QStringLiteral("Filter_Keyword=") + QString::fromLatin1(QUrl::toPercentEncoding(text)))
                      .toString(QUrl::FullyEncoded));
}

void RosterWindow::on_btnMyTools_clicked()
{
    windowLayout->ShowMenuBeside(ui->btnMyTools, ui->menuTools);
}

void RosterWindow::on_btnCurrentStatus_clicked()
{
    windowLayout->ShowMenuBeside(ui->btnCurrentStatus, ui->menuStatus);
}

void RosterWindow::on_lblUserStatus_customContextMenuRequested(const QPoint& pos)
{
    windowLayout->ShowUserStatusMenu(pos);
}
