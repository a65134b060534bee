#include "TrackingFixture.h"

#include "KeySentinel.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

using namespace TrackingFixture;

// The stored preferences applied to the main window: its style sheets, the roster row styles,
// the tray's status pictures, the hotkeys and the start-minimised option. Hotkeys are pressed
// with xdotool on the test's display.
class TestSettingsApplication : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        qputenv("MOVARELQUINTASH_API_URL", "https://127.0.0.1:9");
        QVERIFY(m_sentinel.Bind());
    }

    void init() { ResetSettings(); }

    void rowStylesFollowTheFontsAndColours()
    {
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings.groupFont = { "DejaVu Sans", 40, false, true, QColor(1, 2, 3) };
            settings.userNameActiveFont = { "DejaVu Sans", 12, true, false, QColor(4, 5, 6) };
            settings.memoActiveFont = { "DejaVu Serif", 9, false, true, QColor(7, 8, 9) };
            settings.userNameInActiveFont = { "DejaVu Sans", 11, false, false, QColor(10, 11, 12) };
            settings.memoInActiveFont = { "DejaVu Serif", 8, true, false, QColor(13, 14, 15) };
            settings.groupCursorBackground = QColor(20, 20, 20);
            settings.groupCursorBorder = QColor(21, 21, 21);
            settings.userCursorBackground = QColor(22, 22, 22);
            settings.userCursorBorder = QColor(23, 23, 23);
        });
        RosterWindow window;
        window.show(); // the roster's styles come with the window's first showing
        auto* list = Find<QListWidget>(window, "lstRoster");
        const ListWidgetManager::ListWidgetGroup_Style group
            = ListWidgetManager::GroupStyleOf(list);
        QCOMPARE(group.font.family(), QString("DejaVu Sans"));
        QCOMPARE(group.font.pointSize(), 40);
        QCOMPARE(group.font.weight(), 50);
        QVERIFY(group.font.italic());
        QCOMPARE(group.textColor, QColor(1, 2, 3));
        QCOMPARE(group.backColor, QColor(21, 21, 21));
        QCOMPARE(group.backColor2, QColor(20, 20, 20));
        QCOMPARE(group.rowSize, QSize(0, 30)); // however large the font
        QVERIFY(!group.collapsedIcon.isNull() && !group.expandedIcon.isNull());

        const ListWidgetManager::ListWidgetItem_Style item = ListWidgetManager::ItemStyleOf(list);
        QCOMPARE(item.nameFont.weight(), 75);
        QVERIFY(!item.nameFont.italic());
        QCOMPARE(item.nameColor, QColor(4, 5, 6));
        // The time shares the memo's colour but takes the inactive memo font; offline members'
        // status takes the active memo font and the inactive memo colour.
        QCOMPARE(item.color2, QColor(7, 8, 9));
        QCOMPARE(item.timeColor, QColor(7, 8, 9));
        QCOMPARE(item.statusFont.family(), QString("DejaVu Serif"));
        QVERIFY(item.statusFont.italic());
        QCOMPARE(item.timeFont.pointSize(), 8);
        QCOMPARE(item.timeFont.weight(), 75);
        QCOMPARE(item.offlineNameColor, QColor(10, 11, 12));
        QCOMPARE(item.offlineNameFont.pointSize(), 11);
        QCOMPARE(item.offlineStatusColor, QColor(13, 14, 15));
        QCOMPARE(item.offlineStatusFont, item.statusFont);
        QCOMPARE(item.backColor, QColor(23, 23, 23));
        QCOMPARE(item.backColor2, QColor(22, 22, 22));
        QCOMPARE(item.offset, QPoint(66, 22));
        // Small fonts keep the least row heights.
        QCOMPARE(item.rowSize, QSize(0, 50));
        QCOMPARE(item.rowSizeWithScreenshot, QSize(0, 130));
        for (const int slot : { 0, 1, 3, 5 })
            QVERIFY2(!item.statusIcons[slot].isNull(), qPrintable(QString::number(slot)));
        QCOMPARE(Find<QLabel>(window, "lblUserName")->font().toString(), item.nameFont.toString());
    }

    void largeFontsMakeTallerRows()
    {
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings.userNameActiveFont.size = 40;
            settings.memoActiveFont.size = 30;
        });
        RosterWindow window;
        window.show();
        const ListWidgetManager::ListWidgetItem_Style item
            = ListWidgetManager::ItemStyleOf(Find<QListWidget>(window, "lstRoster"));
        const int name = QFontMetrics(item.nameFont).size(0, "A").height();
        const int status = QFontMetrics(item.statusFont).size(0, "A").height();
        QVERIFY(name + status + 6 > 50);
        QCOMPARE(item.rowSize.height(), name + status + 6);
        QCOMPARE(item.rowSizeWithScreenshot.height(), qMax(130, name + 2 * status + 8));
    }

    void theTrayShowsTheStatusPictures()
    {
        RosterWindow window;
        TrayIcon& tray = window.findChild<MiscFunctions*>()->GetTrayIcon();
        const auto same = [&tray](const char* picture) {
            return tray.icon().pixmap(16).toImage() == QIcon(picture).pixmap(16).toImage();
        };
        QVERIFY(same(":/tray/normal.ico"));
        window.ChangeStatus(RosterManager::STATUS_DND);
        QVERIFY(same(":/tray/busy.ico"));
        window.ChangeStatus(RosterManager::STATUS_ONLINE_WORKING);
        QVERIFY(same(":/tray/trackTimeNormal.ico"));
        window.ChangeStatus(RosterManager::STATUS_DND_WORKING);
        QVERIFY(same(":/tray/trackTimeBusy.ico"));
    }

    void hotkeysActOncePerPressHoweverOftenApplied()
    {
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings.hotkeys.OpenMemo = "Ctrl+Alt+Shift+M";
            settings.hotkeys.SnapActiveWindow = "Ctrl+Alt+Shift+W";
            settings.hotkeys.StartTrackingTime = "";
            settings.hotkeys.Snap3Display = "Ctrl+Alt+Shift+3";
        });
        RosterWindow window;
        window.SetSignedIn(true);
        window.InitConfig();
        window.InitConfig();
        QSignalSpy pressed(window.findChild<MiscFunctions*>(), &MiscFunctions::ShortcutActivated);
        LogReader log;
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+shift+m" }));
        QCOMPARE(log.Lines().count("Memo dialog was opened"), 1);
        window.findChild<MiscFunctions*>()->GetMemoDialog().hide();

        // The active-window snap hotkey is stored but never bound; the others are.
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+shift+w", "ctrl+alt+shift+3" }));
        QCOMPARE(pressed.count(), 2);
        QCOMPARE(pressed.at(1).at(0).toInt(), int(MiscFunctions::SHORTCUT_SNAP_3_DISPLAY));

        // A hotkey cleared and applied again stops acting.
        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.hotkeys.OpenMemo = ""; });
        window.InitConfig();
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+shift+m" }));
        QCOMPARE(pressed.count(), 2);
    }

    void onlyTheStartMinimises()
    {
        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.startMinimized = true; });
        RosterWindow window;
        QVERIFY(window.windowState() & Qt::WindowMinimized);
        window.setWindowState(Qt::WindowNoState);
        window.InitConfig();
        QCOMPARE(window.windowState(), Qt::WindowNoState);
    }

    // Fonts, colours and hotkeys edited in the hub's dialog act in the running window, and
    // three Applies still give one action per key press.
    void theDialogsApplyReachesTheWindow()
    {
        RosterWindow window;
        window.show();
        window.SetSignedIn(true);
        auto* misc = window.findChild<MiscFunctions*>();
        Preferences& dialog = misc->GetPreferences();
        dialog.GetPrompts().chooseColour = [](const QColor&) {
            return std::optional<QColor>(QColor(9, 8, 7));
        };
        misc->ShowPreferences();
        Find<QListWidget>(dialog, "colorListWidget")->setCurrentRow(0); // "Group name"
        Find<QPushButton>(dialog, "btnTextColor")->click();
        Find<QListWidget>(dialog, "lstShortcuts")->setCurrentRow(2); // "Memo"
        for (const char* modifier : { "chkCtrlKey", "chkAltKey", "chkShift" })
            Find<QCheckBox>(dialog, modifier)->click();
        QTest::keyClick(Find<QLineEdit>(dialog, "txtHotKey"), Qt::Key_M);
        Find<QPushButton>(dialog, "btnApply")->click();
        Find<QPushButton>(dialog, "btnOK")->click();
        misc->ShowPreferences();
        Find<QPushButton>(dialog, "btnOK")->click();
        QVERIFY(!dialog.isVisible());

        QCOMPARE(ListWidgetManager::GroupStyleOf(Find<QListWidget>(window, "lstRoster")).textColor,
            QColor(9, 8, 7));
        LogReader log;
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+shift+m" }));
        QCOMPARE(log.Lines().count("Memo dialog was opened"), 1);
        misc->GetMemoDialog().hide();
    }

    // Pressed again while the dialog is open, the hotkey only brings it forward.
    void thePreferencesHotkeyShowsTheDialog()
    {
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings.hotkeys.OpenPreferences = "Ctrl+Alt+Shift+P";
        });
        RosterWindow window;
        window.SetSignedIn(true);
        Preferences& dialog = window.findChild<MiscFunctions*>()->GetPreferences();
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+shift+p" }));
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.isModal());
        auto* confirm = Find<QCheckBox>(dialog, "chkConfirmOnExit");
        confirm->click();
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+shift+p" }));
        QVERIFY(!confirm->isChecked());
        dialog.close();
    }

    // A new folder takes effect on Apply; the size limits the log only while it is on.
    void theLogFollowsItsOptions()
    {
        QTemporaryDir folder;
        QFile log(folder.path() + "/" + AppInfo::applicationName + ".log");
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write(QByteArray(1536 * 1024, 'x'));
        log.close();
        RosterWindow window;
        ChangeSettings([&folder](SettingsProvider::SETTINGS& settings) {
            settings.logLocation = folder.path();
            settings.totalLogSize = 1;
        });
        window.InitConfig();
        LogManager::Flush();
        QVERIFY(log.size() > 1536 * 1024);

        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.isLimitLogSize = true; });
        window.InitConfig();
        LogManager::Flush();
        QVERIFY(log.size() < 1024);
        QVERIFY(ActivityLog().contains("Load style"));

        // A folder that is not absolute would follow the working folder out of the profile: the
        // log goes to the default folder instead.
        const QString relative = "../../mq-relative-logs";
        QVERIFY(!QFileInfo::exists(relative));
        ChangeSettings([&relative](SettingsProvider::SETTINGS& s) { s.logLocation = relative; });
        QFile fallback(AppInfo::userDataFolder() + "/" + AppInfo::applicationName + ".log");
        const qint64 before = fallback.size();
        window.InitConfig();
        LogManager::Flush();
        QVERIFY(!QFileInfo::exists(relative));
        QVERIFY(fallback.size() > before);
        QCOMPARE(SettingsProvider::instance()->GetCurrentSettings().logLocation, relative);
    }

    void theWindowAndThePopupTakeTheStyleSheet()
    {
        RosterWindow window;
        QFile sheet(":/design/mac.qss");
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(sheet.readAll());
        window.show(); // the window takes it when first shown, the popup when made
        QCOMPARE(window.styleSheet(), text);
        QVERIFY(ScreenshotPopup());
        QCOMPARE(ScreenshotPopup()->styleSheet(), text);
        LogReader log;
        window.InitConfig();
        QVERIFY(
            log.HasInOrder({ "Load application config", "Load style", "Hotkeys are enabled now" }));
    }

private:
    KeySentinel m_sentinel;
};

QTEST_MAIN(TestSettingsApplication)
#include "tst_settingsapplication.moc"
