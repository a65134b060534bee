#include "RosterWindow.h"

#include "AppInfo.h"
#include "LogCategories.h"
#include "MacTitleWidget.h"
#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

#include <QDebug>
#include <QFontMetrics>

namespace {

const QString styleSheetPath = QStringLiteral(":/design/mac.qss");

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

void RosterWindow::InitConfig()
{
    if (popupWindow* popup = screenshotPopup.IfMade())
        ApplyStyleSheet(popup);
    // Until the window is first shown its look waits for that showing (PrepareLook).
    if (lookPrepared)
        ApplyLook();

    SettingsProvider* provider = SettingsProvider::instance();
    logManager.AddToLog(LogManager::LOG_LOAD_APPLICATION_CONFIG, 0);
    ApplyLogSettings(provider->GetCurrentSettings());
    logManager.AddToLog(LogManager::LOG_LOAD_STYLE, 0);
    ConnectShortcuts();
    logManager.AddToLog(LogManager::LOG_HOTKEYS_ENABLED, 0);
}

// The tray's status pictures need no roster style meanwhile: for the slots the style would
// fill, the tray's own pictures are the same.
void RosterWindow::PrepareLook()
{
    if (lookPrepared)
        return;
    lookPrepared = true;
    ApplyLook();
    FitToFont();
    MakeRoomForTitleAndMenuBar();
}

void RosterWindow::ApplyLook()
{
    ApplyStyleSheet(this);
    titleWidget->setBackColor(QColor(50, 50, 50, 255));
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    listWidgetManager.SetGroupStyle(GroupStyle(settings));
    const ListWidgetManager::ListWidgetItem_Style itemStyle = ItemStyle(settings);
    listWidgetManager.SetItemStyle(itemStyle);
    ui->lblUserName->setFont(itemStyle.nameFont);
    KeepRoomForName();
    RedrawRosterAsShown();
}

void RosterWindow::ApplyStyleSheet(QWidget* widget)
{
    SettingsProvider::SetStyleToWidget(widget, styleSheetPath);
}

// A folder chosen in the preferences takes effect at once, when it is one the log may go to;
// the size is a limit only while "Limit size" is on.
void RosterWindow::ApplyLogSettings(const SettingsProvider::SETTINGS& settings)
{
    const QString folder
        = LogManager::UsableFolder(settings.logLocation, AppInfo::userDataFolder());
    if (folder != settings.logLocation)
        qCWarning(logFilesLog).noquote()
            << "The log folder" << settings.logLocation
            << "is not an absolute folder the member may write to; logging to" << folder;
    logManager.SetLogPath(
        folder + QLatin1Char('/') + AppInfo::applicationName + QStringLiteral(".log"));
    logManager.SetLimitSize(settings.isLimitLogSize ? settings.totalLogSize : 0);
}

void RosterWindow::ConnectShortcuts()
{
    const SettingsProvider::HOTKEYS keys
        = SettingsProvider::instance()->GetCurrentSettings().hotkeys;
    // One connection however often the preferences are applied: one press, one action.
    connect(&misc, &MiscFunctions::ShortcutActivated, this, &RosterWindow::ShortcutActivated,
        Qt::UniqueConnection);
    // The active-window snap hotkey is stored but acts nowhere.
    const QString texts[] = { keys.OpenTeamRoom, keys.OpenPreferences, keys.OpenMemo,
        keys.StopTrackingTime, keys.StartTrackingTime, keys.LastSnapshot, keys.SnapAllDesktop,
        keys.Snap1Display, keys.Snap2Display, keys.Snap3Display };
    for (int type = MiscFunctions::SHORTCUT_OPEN_TEAM_ROOM;
         type <= MiscFunctions::SHORTCUT_SNAP_3_DISPLAY; ++type)
        misc.SetShortcut(MiscFunctions::SHORTCUT_TYPE(type), texts[type]);
}
