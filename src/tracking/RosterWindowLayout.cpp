#include "RosterWindow.h"

#include "FormFit.h"
#include "MacTitleWidget.h"
#include "WindowEdges.h"
#include "ui_RosterWindow.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocumentFragment>

#include <algorithm>

namespace {

const QString searchPath = QStringLiteral("/Sites/1/Main/Brows_Jobs_Result.php");
const QString logoPath = QStringLiteral(":/design/movarelquintash_logo.png");

// The strips along the window's edges that resize it, and how far from a corner it resizes both.
const int edgeThickness = 5;
const int edgeCorner = 16;
// Between the member's name, status and last work and the time button beside them.
const int userBlockGap = 6;

int LineHeight(const QWidget* widget)
{
    return QFontMetrics(widget->font()).height();
}

} // namespace

// Once, at construction: the two own menus and the look of a window nobody is signed in to.
void RosterWindow::ConstructInterface()
{
    ui->lblUserStatus->move(
        ui->lblUserStatus->x(), ui->lblUserName->y() + ui->lblUserName->height() + 2);
    ui->lblUserLastWorked->move(
        ui->lblUserLastWorked->x(), ui->lblUserStatus->y() + ui->lblUserStatus->height() + 2);

    itemMenu.clear();
    connect(itemMenu.addAction(tr("Start  conversation")), &QAction::triggered, this,
        [this] { StartConversation(); });
    connect(itemMenu.addAction(tr("Work diary...")), &QAction::triggered, this,
        &RosterWindow::onWorkDiary);

    userStatusMenu = new QMenu(this);
    userStatusMenu->setObjectName(QStringLiteral("userStatusMenu"));
    userStatusMenu->addMenu(ui->menuChat_status);
    userStatusMenu->addAction(ui->actionMemo);
    userStatusMenu->addMenu(ui->menuSelect_team);
    userStatusMenu->addAction(ui->actionTrackingTime);

    // A right click on a member row offers the row's menu, as its menu button does.
    ui->lstRoster->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->lstRoster, &QWidget::customContextMenuRequested, this,
        &RosterWindow::ShowMemberRowMenu);

    ShowSignedOutLook();
    // The window has no frame of its own: its edges and corners resize it.
    new WindowEdges(this, edgeThickness, edgeCorner);
}

// Sign-in completion shows and enables most of it again.
void RosterWindow::ShowSignedOutLook()
{
    const QList<QWidget*> signedInOnly { ui->lstRoster, ui->cmbCurrentCompany, ui->lblUserName,
        ui->line, ui->lstRoster->verticalScrollBar(), ui->userPanelWidget, ui->menuMain,
        ui->lblUserStatus };
    for (QWidget* widget : signedInOnly)
        widget->hide();
    ui->leftPanelWidget->setEnabled(false);
}

// The form grows where its texts need more room at the desktop's font; the panels keep their
// places otherwise, since the window places them by hand. The links stay level with their marks,
// which are one picture.
void RosterWindow::FitToFont()
{
    QList<int> linkRows;
    const QList<QLabel*> links = Links();
    for (const QLabel* link : links)
        linkRows << link->geometry().center().y();
    FormFit::Fit(this, FormFit::Scaling::TextOnly);
    for (int i = 0; i < links.size(); ++i)
        links[i]->move(links[i]->x(), linkRows[i] - (links[i]->height() - 1) / 2);
    formMinimumWidth = minimumWidth();
    KeepRoomForName();
}

QList<QLabel*> RosterWindow::Links() const
{
    return { ui->lblLinkMyMail, ui->lblLinkFindTessivanors, ui->lbLinkPostJob, ui->lblLinkAcademy };
}

// The title bar lies over the top of the window; the menu bar belongs below it, inside the
// window and within reach, and the form's area below both keeps the form's size.
void RosterWindow::MakeRoomForTitleAndMenuBar()
{
    const int titleStrip = titleWidget->y() + titleWidget->height();
    const int added = titleStrip + ui->menuMain->sizeHint().height();
    const int formHeight = height();
    setContentsMargins(0, titleStrip, 0, 0);
    setMinimumHeight(minimumHeight() + added);
    resize(width(), formHeight + added);
}

void RosterWindow::InstallEventFilters()
{
    ui->txtSearch->installEventFilter(this);
    ui->picUserAvatar->installEventFilter(this);
    ui->lblUserStatus->installEventFilter(this);
    ui->aboutWidget->installEventFilter(this);
    // The menu bar comes and goes with a sign-in: the panels follow the area it leaves.
    ui->centralwidget->installEventFilter(this);
}

// At construction and on every show.
void RosterWindow::SetInterface()
{
    QLabel* timeState = ui->lblTimeState;
    timeState->resize(timeState->sizeHint());
    QLabel* status = ui->lblUserStatus;
    ui->lblUserName->move(ui->lblUserName->x(), ui->picUserAvatar->y());
    status->move(ui->lblUserName->x(), ui->lblUserName->y() + LineHeight(ui->lblUserName));
    // Level with the avatar's foot, unless the name and status lines reach lower (a large font).
    ui->lblUserLastWorked->move(ui->lblUserLastWorked->x(),
        std::max(ui->picUserAvatar->y() + ui->picUserAvatar->height()
                - LineHeight(ui->lblUserLastWorked),
            status->y() + LineHeight(status)));
    timeState->setAlignment(Qt::AlignRight);
    timeState->resize(timeState->sizeHint());
    const QRect button = ui->btnTimeControl->geometry();
    timeState->move(button.x() + button.width() - timeState->width(), timeState->y());
    // The team menu keeps the teams of the last teams answer: a show must not empty it.

    QLabel* text = ui->statusText;
    text->resize(
        ui->centralwidget->width(), QFontMetrics(text->font()).size(0, text->text()).height());
    ui->lblNoTeams->resize(ui->lblNoTeams->sizeHint());
    FitLinksToTheirText();
}

// The links take the width their text needs, so "Find Tessivanors" is not cut short.
void RosterWindow::FitLinksToTheirText()
{
    const QList<QLabel*> links = Links();
    for (QLabel* link : links)
        ResizeWidgetToText(link, QTextDocumentFragment::fromHtml(link->text()).toPlainText());
}

void RosterWindow::ResizeWidgetToText(QWidget* widget, const QString& text)
{
    widget->resize(QFontMetrics(widget->font()).size(0, text).width(), widget->height());
}

void RosterWindow::setVisible(bool visible)
{
    if (visible) {
        Build();
        PrepareLook();
    }
    QMainWindow::setVisible(visible);
}

void RosterWindow::showEvent(QShowEvent* event)
{
    SetInterface();
    event->accept();
    QMainWindow::showEvent(event);
}

void RosterWindow::resizeEvent(QResizeEvent* event)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start window resize event"));
    LayOutPanels();
    event->accept();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("End window resize event"));
    QMainWindow::resizeEvent(event);
}

// W and H are the size of the form's area: the window without the title bar and the menu bar.
void RosterWindow::LayOutPanels()
{
    const int W = ui->centralwidget->width();
    const int H = ui->centralwidget->height();
    QWidget* panel = ui->leftPanelWidget;
    QLabel* bottom = ui->statusLabel;

    const int right = W - panel->width();
    ui->picLogo->move(
        panel->x() + panel->width() + right / 2 - ui->picLogo->width() / 2, ui->picLogo->y());

    QWidget* user = ui->userPanelWidget;
    user->resize(W - panel->width() - 16, user->height());
    ui->line->resize(user->width(), ui->line->height());
    QPushButton* time = ui->btnTimeControl;
    time->move(user->width() - time->width() - 10, time->y());
    ui->lblTimeState->move(
        time->x() + time->width() - ui->lblTimeState->width(), ui->lblTimeState->y());
    // The member's lines take what the button leaves, so a long name shows whole.
    for (QLabel* label : { ui->lblUserName, ui->lblUserStatus, ui->lblUserLastWorked })
        label->resize(std::max(0, time->x() - userBlockGap - label->x()), label->height());
    ui->cmbCurrentCompany->resize(user->width(), ui->cmbCurrentCompany->height());

    const QSize area(W - panel->width() - 16, H - 20 - ui->showArea->y() - bottom->height());
    ui->showArea->resize(area);
    ui->aboutWidget->resize(area);
    ui->lstRoster->resize(area);

    panel->move(0, 0);
    panel->resize(panel->width(), H - bottom->height());
    QWidget* services = ui->leftPanelInternetServices;
    services->move(services->x(), panel->height() - services->height() - bottom->height());

    titleWidget->resize(width(), titleWidget->height());
    bottom->resize(W + 10, bottom->height());
    bottom->move(0, H - bottom->height());
    QLabel* text = ui->statusText;
    text->resize(W, text->height());
    text->move(ui->showArea->x(), H - 10 - text->height());
    ui->lstTeamWorkTools->resize(ui->showArea->size());
    QLabel* noTeams = ui->lblNoTeams;
    noTeams->move(ui->showArea->width() / 2 - noTeams->width() / 2,
        ui->showArea->height() / 2 - noTeams->height() / 2);
}

// The window is never so narrow that the member's name is cut beside the time button (nor
// wider than the screen for it).
void RosterWindow::KeepRoomForName()
{
    if (formMinimumWidth == 0)
        return; // the constructor fits the form to the font first
    // The user panel takes the window's width less the left panel and 16; the button keeps 10
    // from the panel's end.
    const int forName = ui->leftPanelWidget->width() + 16 + ui->lblUserName->x()
        + ui->lblUserName->sizeHint().width() + userBlockGap + ui->btnTimeControl->width() + 10;
    int width = std::max(formMinimumWidth, forName);
    if (const QScreen* screen = this->screen())
        width = std::min(width, screen->availableGeometry().width());
    setMinimumWidth(width);
}

bool RosterWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QString name = watched->objectName();
    switch (event->type()) {
    case QEvent::Paint:
        if (name == ui->aboutWidget->objectName()) {
            QMainWindow::eventFilter(watched, event);
            paintOnWidget(static_cast<QPaintEvent*>(event), ui->aboutWidget);
            return true;
        }
        break;
    case QEvent::FocusIn:
        if (name == QLatin1String("txtSearch"))
            ui->txtSearch->clear();
        return false;
    case QEvent::KeyPress:
        if (name == ui->txtSearch->objectName()
            && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return)
            SearchJobs(ui->txtSearch->text());
        return false;
    case QEvent::FocusOut:
        if (name == QLatin1String("txtSearch"))
            ui->txtSearch->setText(tr("Search"));
        return false;
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (name == ui->lblUserStatus->objectName() && mouse->button() == Qt::LeftButton)
            userStatusMenu->popup(ui->lblUserStatus->mapToGlobal(mouse->pos()));
        return false;
    }
    case QEvent::Resize:
        if (watched == ui->centralwidget)
            LayOutPanels();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// The search text is percent-encoded, so "#" or "&" in it stay part of the search.
void RosterWindow::SearchJobs(const QString& text)
{
    misc.openLink(WebPage(searchPath,
        QStringLiteral("Filter_Keyword=") + QString::fromLatin1(QUrl::toPercentEncoding(text)))
                      .toString(QUrl::FullyEncoded));
}

// The about page: a header band with the service's title, the logo, and the about text below.
void RosterWindow::paintOnWidget(QPaintEvent* event, QWidget* widget)
{
    const QString title = infoApi.GetAboutInfoResult().title;
    const ListWidgetManager::ListWidgetGroup_Style style = rosterView->GroupStyle();
    const int rowH = style.rowSize.height();

    QPainter painter(widget);
    painter.setPen(Qt::white);
    painter.setBrush(QBrush(Qt::white));
    painter.fillRect(widget->rect(), Qt::white);

    const int bandWidth = widget->width() - ui->lstRoster->verticalScrollBar()->width();
    painter.setPen(style.backColor2);
    painter.setBrush(QBrush(style.backColor2));
    painter.fillRect(QRect(0, 0, bandWidth, rowH), style.backColor2);
    const QPixmap& icon = style.expandedIcon;
    painter.drawPixmap(bandWidth - icon.width(), 0, icon);

    painter.setPen(style.textColor);
    painter.setFont(style.font);
    painter.setBrush(painter.pen().brush());
    const int textWidth = widget->width() - icon.width() - 12;
    const QFontMetrics metrics(style.font);
    const QString shown = metrics.elidedText(title, Qt::ElideRight, textWidth);
    painter.drawText(
        QRect(12, rowH / 2 - metrics.size(0, title).height() / 2, textWidth, widget->height()),
        shown);

    const QPixmap logo(logoPath);
    const int logoX = (bandWidth - 1) / 2 - logo.width() / 2;
    painter.drawPixmap(logoX, rowH + 10, logo);
    QLabel* about = ui->lblTessivanorAboutText;
    about->move(10, rowH + 10 + logo.height() + 10);
    about->resize((bandWidth - 1) - 9 - logoX, widget->height() - logo.height());
    event->accept();
}

void RosterWindow::ShowMainMenu(QPoint pos, QMenu* menu, int dx)
{
    menu->popup(mapToGlobal(pos) + QPoint(dx, 0));
}

// Beside the button: the button's place in the window, not in its panel.
void RosterWindow::on_btnMyTools_clicked()
{
    QPushButton* button = ui->btnMyTools;
    ShowMainMenu(button->mapTo(this, QPoint(0, 0)), ui->menuTools, button->width());
}

void RosterWindow::on_btnCurrentStatus_clicked()
{
    QPushButton* button = ui->btnCurrentStatus;
    ShowMainMenu(button->mapTo(this, QPoint(0, 0)), ui->menuStatus, button->width());
}

void RosterWindow::on_lblUserStatus_customContextMenuRequested(const QPoint& pos)
{
    userStatusMenu->popup(ui->lblUserStatus->mapToGlobal(pos));
}
