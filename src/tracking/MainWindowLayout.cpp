#include "MainWindowLayout.h"

#include "FormFit.h"
#include "ListWidgetManager.h"
#include "MacTitleWidget.h"
#include "RestAPI.h"
#include "SettingsProvider.h"
#include "WindowEdges.h"
#include "ui_RosterWindow.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocumentFragment>

#include <algorithm>

namespace {

const QString styleSheetPath = QStringLiteral(":/design/mac.qss");
const QString logoPath = QStringLiteral(":/design/movarelquintash_logo.png");

// The strips along the window's edges that resize it, and how far from a corner it resizes both.
const int edgeThickness = 5;
const int edgeCorner = 16;
// Between the member's name, status and last work and the time button beside them.
const int userBlockGap = 6;
// The user panel takes the central area's width less the left panel and this; the time button
// keeps timeButtonMargin from the panel's end.
const int userPanelMargin = 16;
const int timeButtonMargin = 10;

int LineHeight(const QWidget* widget)
{
    return QFontMetrics(widget->font()).height();
}

QFont FontOf(const SettingsProvider::FONT_BLOCK& block)
{
    QFont font(block.name, block.size);
    font.setWeight(block.bold ? QFont::Bold : QFont::Normal);
    font.setStyle(block.italic ? QFont::StyleItalic : QFont::StyleNormal);
    return font;
}

int TextHeight(const QFont& font)
{
    return QFontMetrics(font).size(0, QStringLiteral("A")).height();
}

ListWidgetManager::ListWidgetGroup_Style GroupStyle(const SettingsProvider::SETTINGS& settings)
{
    ListWidgetManager::ListWidgetGroup_Style style;
    style.backColor = settings.groupCursorBorder;
    style.backColor2 = settings.groupCursorBackground;
    style.textColor = settings.groupFont.colour;
    style.font = FontOf(settings.groupFont);
    style.rowSize = QSize(0, 30);
    style.collapsedIcon = QPixmap(QStringLiteral(":/design/groupNotExpand.png"));
    style.expandedIcon = QPixmap(QStringLiteral(":/design/groupExpand.png"));
    return style;
}

ListWidgetManager::ListWidgetItem_Style ItemStyle(const SettingsProvider::SETTINGS& settings)
{
    ListWidgetManager::ListWidgetItem_Style style;
    style.nameColor = settings.userNameActiveFont.colour;
    style.color2 = settings.memoActiveFont.colour;
    style.timeColor = settings.memoActiveFont.colour;
    style.nameFont = FontOf(settings.userNameActiveFont);
    style.statusFont = FontOf(settings.memoActiveFont);
    style.timeFont = FontOf(settings.memoInActiveFont);
    style.backColor = settings.userCursorBorder;
    style.backColor2 = settings.userCursorBackground;
    style.menuButton = QPixmap(QStringLiteral(":/design/contextMenuIcon.png"));
    const int nameHeight = TextHeight(style.nameFont);
    const int statusHeight = TextHeight(style.statusFont);
    style.rowSize = QSize(0, qMax(50, nameHeight + statusHeight + 6));
    style.rowSizeWithScreenshot = QSize(0, qMax(130, nameHeight + 2 * statusHeight + 8));
    style.offset = QPoint(66, 22);
    style.chatButton = QPixmap(QStringLiteral(":/design/ChatButton.png"));
    style.diaryButton = QPixmap(QStringLiteral(":/design/WorkDiary.png"));
    // The idle slots stay empty: the tray shows its built-in idle pictures for them.
    style.statusIcons[ListWidgetManager::STATUS_ICON_WORKING]
        = QIcon(QStringLiteral(":/tray/trackTimeNormal.ico"));
    style.statusIcons[ListWidgetManager::STATUS_ICON_WORKING_BUSY]
        = QIcon(QStringLiteral(":/tray/trackTimeBusy.ico"));
    style.statusIcons[ListWidgetManager::STATUS_ICON_AVAILABLE]
        = QIcon(QStringLiteral(":/tray/normal.ico"));
    style.statusIcons[ListWidgetManager::STATUS_ICON_BUSY]
        = QIcon(QStringLiteral(":/tray/busy.ico"));
    style.offlineNameColor = settings.userNameInActiveFont.colour;
    style.offlineStatusColor = settings.memoInActiveFont.colour;
    style.offlineNameFont = FontOf(settings.userNameInActiveFont);
    style.offlineStatusFont = FontOf(settings.memoActiveFont);
    return style;
}

} // namespace

namespace MainWindowGeometry {

// W and H are the size of the form's area: the window without the title bar and the menu bar.
Panels PlacePanels(QSize area, const Panels& panels)
{
    const int W = area.width();
    const int H = area.height();
    const int panelWidth = panels.leftPanel.width();
    const int bottomHeight = panels.bottom.height();
    Panels placed = panels;

    const int right = W - panelWidth;
    placed.logo.moveLeft(panels.leftPanel.x() + panelWidth + right / 2 - panels.logo.width() / 2);

    placed.userPanel.setWidth(W - panelWidth - userPanelMargin);
    placed.line.setWidth(placed.userPanel.width());
    QRect& time = placed.timeButton;
    time.moveLeft(placed.userPanel.width() - time.width() - timeButtonMargin);
    placed.timeState.moveLeft(time.x() + time.width() - placed.timeState.width());
    // The member's lines take what the button leaves, so a long name shows whole.
    for (QRect& line : placed.userLines)
        line.setWidth(std::max(0, time.x() - userBlockGap - line.x()));
    placed.company.setWidth(placed.userPanel.width());

    placed.showArea.setSize(
        QSize(W - panelWidth - userPanelMargin, H - 20 - panels.showArea.y() - bottomHeight));

    placed.leftPanel = QRect(0, 0, panelWidth, H - bottomHeight);
    placed.services.moveTop(placed.leftPanel.height() - panels.services.height() - bottomHeight);

    placed.bottom = QRect(0, H - bottomHeight, W + 10, bottomHeight);
    const int textHeight = panels.statusText.height();
    placed.statusText = QRect(placed.showArea.x(), H - 10 - textHeight, W, textHeight);
    placed.noTeams.moveTo(placed.showArea.width() / 2 - panels.noTeams.width() / 2,
        placed.showArea.height() / 2 - panels.noTeams.height() / 2);
    return placed;
}

int WidthForName(const Panels& panels, int nameWidth)
{
    return panels.leftPanel.width() + userPanelMargin + panels.userLines[0].x() + nameWidth
        + userBlockGap + panels.timeButton.width() + timeButtonMargin;
}

} // namespace MainWindowGeometry

MainWindowLayout::MainWindowLayout(
    QMainWindow& window, Ui::RosterWindow& form, MacTitleWidget& title, const RestAPI& about)
    : window(window), ui(form), titleWidget(title), about(about)
{ }

void MainWindowLayout::ApplyStyleSheet(QWidget* widget)
{
    SettingsProvider::SetStyleToWidget(widget, styleSheetPath);
}

void MainWindowLayout::Construct()
{
    ui.lblUserStatus->move(
        ui.lblUserStatus->x(), ui.lblUserName->y() + ui.lblUserName->height() + 2);
    ui.lblUserLastWorked->move(
        ui.lblUserLastWorked->x(), ui.lblUserStatus->y() + ui.lblUserStatus->height() + 2);

    userStatusMenu = new QMenu(&window);
    userStatusMenu->setObjectName(QStringLiteral("userStatusMenu"));
    userStatusMenu->addMenu(ui.menuChat_status);
    userStatusMenu->addAction(ui.actionMemo);
    userStatusMenu->addMenu(ui.menuSelect_team);
    userStatusMenu->addAction(ui.actionTrackingTime);

    ShowSignedOutLook();
    // The window has no frame of its own: its edges and corners resize it.
    new WindowEdges(&window, edgeThickness, edgeCorner);

    const QList<QWidget*> watched { ui.txtSearch, ui.picUserAvatar, ui.lblUserStatus,
        ui.aboutWidget };
    for (QWidget* widget : watched)
        widget->installEventFilter(&window);
    // The menu bar comes and goes with a sign-in: the panels follow the area it leaves.
    ui.centralwidget->installEventFilter(&window);
}

void MainWindowLayout::ShowSignedOutLook()
{
    const QList<QWidget*> signedInOnly { ui.lstRoster, ui.cmbCurrentCompany, ui.lblUserName,
        ui.line, ui.lstRoster->verticalScrollBar(), ui.userPanelWidget, ui.menuMain,
        ui.lblUserStatus };
    for (QWidget* widget : signedInOnly)
        widget->hide();
    ui.leftPanelWidget->setEnabled(false);
}

void MainWindowLayout::SetInterface()
{
    QLabel* timeState = ui.lblTimeState;
    timeState->resize(timeState->sizeHint());
    QLabel* status = ui.lblUserStatus;
    ui.lblUserName->move(ui.lblUserName->x(), ui.picUserAvatar->y());
    status->move(ui.lblUserName->x(), ui.lblUserName->y() + LineHeight(ui.lblUserName));
    // Level with the avatar's foot, unless the name and status lines reach lower (a large font).
    ui.lblUserLastWorked->move(ui.lblUserLastWorked->x(),
        std::max(
            ui.picUserAvatar->y() + ui.picUserAvatar->height() - LineHeight(ui.lblUserLastWorked),
            status->y() + LineHeight(status)));
    timeState->setAlignment(Qt::AlignRight);
    timeState->resize(timeState->sizeHint());
    const QRect button = ui.btnTimeControl->geometry();
    timeState->move(button.x() + button.width() - timeState->width(), timeState->y());
    // The team menu keeps the teams of the last teams answer: a show must not empty it.

    QLabel* text = ui.statusText;
    text->resize(
        ui.centralwidget->width(), QFontMetrics(text->font()).size(0, text->text()).height());
    ui.lblNoTeams->resize(ui.lblNoTeams->sizeHint());
    FitLinksToTheirText();
}

// The tray's status pictures need no roster style meanwhile: for the slots the style would
// fill, the tray's own pictures are the same.
void MainWindowLayout::PrepareLook()
{
    if (lookPrepared)
        return;
    lookPrepared = true;
    ApplyLook();
    FitToFont();
    MakeRoomForTitleAndMenuBar();
}

void MainWindowLayout::ReapplyLook()
{
    if (lookPrepared)
        ApplyLook();
}

// The style sheet, the roster's row styles and the name's font, from the preferences.
void MainWindowLayout::ApplyLook()
{
    ApplyStyleSheet(&window);
    titleWidget.setBackColor(QColor(50, 50, 50, 255));
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    rowGroupStyle = GroupStyle(settings);
    const ListWidgetManager::ListWidgetItem_Style itemStyle = ItemStyle(settings);
    ui.lblUserName->setFont(itemStyle.nameFont);
    KeepRoomForName();
    emit RowStylesChanged(rowGroupStyle, itemStyle);
}

// The form grows where its texts need more room at the desktop's font; the panels keep their
// places otherwise, since the window places them by hand. The links stay level with their marks,
// which are one picture.
void MainWindowLayout::FitToFont()
{
    QList<int> linkRows;
    const QList<QLabel*> links = Links();
    for (const QLabel* link : links)
        linkRows << link->geometry().center().y();
    FormFit::Fit(&window, FormFit::Scaling::TextOnly);
    for (int i = 0; i < links.size(); ++i)
        links[i]->move(links[i]->x(), linkRows[i] - (links[i]->height() - 1) / 2);
    formMinimumWidth = window.minimumWidth();
    KeepRoomForName();
}

QList<QLabel*> MainWindowLayout::Links() const
{
    return { ui.lblLinkMyMail, ui.lblLinkFindTessivanors, ui.lbLinkPostJob, ui.lblLinkAcademy };
}

// The title bar lies over the top of the window; the menu bar belongs below it, inside the
// window and within reach, and the form's area below both keeps the form's size.
void MainWindowLayout::MakeRoomForTitleAndMenuBar()
{
    const int titleStrip = titleWidget.y() + titleWidget.height();
    const int added = titleStrip + ui.menuMain->sizeHint().height();
    const int formHeight = window.height();
    window.setContentsMargins(0, titleStrip, 0, 0);
    window.setMinimumHeight(window.minimumHeight() + added);
    window.resize(window.width(), formHeight + added);
}

// The links take the width their text needs, so "Find Tessivanors" is not cut short.
void MainWindowLayout::FitLinksToTheirText()
{
    const QList<QLabel*> links = Links();
    for (QLabel* link : links) {
        const QString text = QTextDocumentFragment::fromHtml(link->text()).toPlainText();
        link->resize(QFontMetrics(link->font()).size(0, text).width(), link->height());
    }
}

MainWindowGeometry::Panels MainWindowLayout::CurrentPanels() const
{
    return { ui.leftPanelWidget->geometry(), ui.leftPanelInternetServices->geometry(),
        ui.picLogo->geometry(), ui.userPanelWidget->geometry(), ui.line->geometry(),
        ui.btnTimeControl->geometry(), ui.lblTimeState->geometry(),
        ui.cmbCurrentCompany->geometry(),
        { ui.lblUserName->geometry(), ui.lblUserStatus->geometry(),
            ui.lblUserLastWorked->geometry() },
        ui.showArea->geometry(), ui.statusLabel->geometry(), ui.statusText->geometry(),
        ui.lblNoTeams->geometry() };
}

void MainWindowLayout::LayOutPanels()
{
    const MainWindowGeometry::Panels placed
        = MainWindowGeometry::PlacePanels(ui.centralwidget->size(), CurrentPanels());
    ui.picLogo->move(placed.logo.topLeft());
    ui.userPanelWidget->resize(placed.userPanel.size());
    ui.line->resize(placed.line.size());
    ui.btnTimeControl->move(placed.timeButton.topLeft());
    ui.lblTimeState->move(placed.timeState.topLeft());
    QLabel* const userLines[] = { ui.lblUserName, ui.lblUserStatus, ui.lblUserLastWorked };
    for (int i = 0; i < 3; ++i)
        userLines[i]->resize(placed.userLines[i].size());
    ui.cmbCurrentCompany->resize(placed.company.size());
    const QList<QWidget*> pages { ui.showArea, ui.aboutWidget, ui.lstRoster };
    for (QWidget* page : pages)
        page->resize(placed.showArea.size());
    ui.leftPanelWidget->setGeometry(placed.leftPanel);
    ui.leftPanelInternetServices->move(placed.services.topLeft());
    titleWidget.resize(window.width(), titleWidget.height());
    ui.statusLabel->setGeometry(placed.bottom);
    ui.statusText->setGeometry(placed.statusText);
    ui.lstTeamWorkTools->resize(placed.showArea.size());
    ui.lblNoTeams->move(placed.noTeams.topLeft());
}

// The window is never so narrow that the member's name is cut beside the time button (nor
// wider than the screen for it). The central area is as wide as the window.
void MainWindowLayout::KeepRoomForName()
{
    if (formMinimumWidth == 0)
        return; // the constructor fits the form to the font first
    int width = std::max(formMinimumWidth,
        MainWindowGeometry::WidthForName(CurrentPanels(), ui.lblUserName->sizeHint().width()));
    if (const QScreen* screen = window.screen())
        width = std::min(width, screen->availableGeometry().width());
    window.setMinimumWidth(width);
}

bool MainWindowLayout::Filter(QObject* watched, QEvent* event)
{
    const QString name = watched->objectName();
    switch (event->type()) {
    case QEvent::Paint:
        if (name == ui.aboutWidget->objectName()) {
            PaintAboutPage(static_cast<QPaintEvent*>(event), ui.aboutWidget);
            return true;
        }
        break;
    case QEvent::FocusIn:
        if (name == QLatin1String("txtSearch"))
            ui.txtSearch->clear();
        break;
    case QEvent::KeyPress:
        if (name == ui.txtSearch->objectName()
            && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return)
            emit SearchAsked(ui.txtSearch->text());
        break;
    case QEvent::FocusOut:
        if (name == QLatin1String("txtSearch"))
            ui.txtSearch->setText(tr("Search"));
        break;
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (name == ui.lblUserStatus->objectName() && mouse->button() == Qt::LeftButton)
            ShowUserStatusMenu(mouse->pos());
        break;
    }
    case QEvent::Resize:
        if (watched == ui.centralwidget)
            LayOutPanels();
        break;
    default:
        break;
    }
    return false;
}

// The about page: a header band with the service's title, the logo, and the about text below.
void MainWindowLayout::PaintAboutPage(QPaintEvent* event, QWidget* widget)
{
    const QString title = about.GetAboutInfoResult().title;
    const ListWidgetManager::ListWidgetGroup_Style& style = rowGroupStyle;
    const int rowH = style.rowSize.height();

    QPainter painter(widget);
    painter.setPen(Qt::white);
    painter.setBrush(QBrush(Qt::white));
    painter.fillRect(widget->rect(), Qt::white);

    const int bandWidth = widget->width() - ui.lstRoster->verticalScrollBar()->width();
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
    QLabel* aboutText = ui.lblTessivanorAboutText;
    aboutText->move(10, rowH + 10 + logo.height() + 10);
    aboutText->resize((bandWidth - 1) - 9 - logoX, widget->height() - logo.height());
    event->accept();
}

// Beside the button: the button's place in the window, not in its panel.
void MainWindowLayout::ShowMenuBeside(const QPushButton* button, QMenu* menu)
{
    menu->popup(
        window.mapToGlobal(button->mapTo(&window, QPoint(0, 0))) + QPoint(button->width(), 0));
}

void MainWindowLayout::ShowUserStatusMenu(const QPoint& pos)
{
    userStatusMenu->popup(ui.lblUserStatus->mapToGlobal(pos));
}
