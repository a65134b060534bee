#include "SignedInWindow.h"

#include "MacTitleWidget.h"
#include "XdoTool.h"

#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextDocumentFragment>
#include <QUrlQuery>

using namespace TrackingFixture;

namespace {

const QString webBase = QStringLiteral("http://web.test:8080/portal/Sites/1/Main/");
const QString teamRoomHotkey = QStringLiteral("Ctrl+Alt+Shift+O");

// The widget is inside the window and on top at its centre: a click there reaches it.
bool Reachable(QWidget* window, QWidget* widget)
{
    const QRect rect(widget->mapTo(window, QPoint(0, 0)), widget->size());
    QWidget* hit = window->childAt(rect.center());
    return widget->isVisible() && window->rect().contains(rect)
        && (hit == widget || widget->isAncestorOf(hit));
}

// The picture holds something besides the colour of its top-left corner.
bool HasDrawing(const QImage& image)
{
    const QRgb background = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                return true;
    return false;
}

} // namespace

// The signed-in main window on a 1280 x 1024 display: its layout at several sizes, the row
// buttons and menus, the web pages, the search box, the central pages, closing and bringing the
// window back. The service is the fake one; the chat server a closed port; web pages are caught.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        qputenv("MOVARELQUINTASH_WEB_URL", "http://web.test:8080/portal/");
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CHAT_PORT", "9");
        QVERIFY(m_service.Start({ "--update-version", "" }));
        m_service.PointClientsHere();
    }

    void init()
    {
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings = SettingsProvider::SETTINGS();
            settings.soundMode = 0;
            settings.hotkeys.OpenTeamRoom = teamRoomHotkey;
        });
        m_s = std::make_unique<SignedInWindow>();
        m_desktop.trayAvailable = true;
        m_desktop.Install(*m_s->window);
        m_opened.clear();
        m_s->window->findChild<MiscFunctions*>()->SetLinkOpener([this](const QUrl& url) {
            m_opened.append(url);
            return true;
        });
        QVERIFY(m_s->CompleteSignIn());
        QVERIFY(QTest::qWaitForWindowExposed(m_s->window.get()));
    }

    void cleanup()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        m_s.reset();
    }

    void panelsFollowTheWindowSize_data()
    {
        QTest::addColumn<QSize>("size"); // empty: as sign-in leaves it
        QTest::newRow("form's size") << QSize();
        QTest::newRow("smallest") << QSize(1, 1);
        QTest::newRow("larger") << QSize(920, 880);
    }

    void panelsFollowTheWindowSize()
    {
        QFETCH(QSize, size);
        RosterWindow* window = m_s->window.get();
        if (size.isValid()) {
            const QSize target = size.expandedTo(window->minimumSize());
            window->resize(target);
            QTRY_COMPARE(window->size(), target);
        }
        auto* central = Find<QWidget>(*window, "centralwidget");
        // The form's area keeps at least the form's own size below the title and menu bars.
        QVERIFY(central->height() >= 661);
        QTRY_COMPARE(Find<QWidget>(*window, "statusLabel")->y(),
            central->height() - Find<QWidget>(*window, "statusLabel")->height());

        auto* menuBar = Find<QMenuBar>(*window, "menuMain");
        const QList<QAction*> menus = menuBar->actions();
        QCOMPARE(menus.size(), 4);
        for (QAction* menu : menus) {
            const QPoint centre = menuBar->mapTo(window, menuBar->actionGeometry(menu).center());
            QCOMPARE(window->childAt(centre), menuBar);
        }
        QVERIFY(menuBar->geometry().top()
            >= Find<MacTitleWidget>(*window, "rosterTitleWidget")->geometry().bottom());

        for (const char* name : { "btnCurrentStatus", "btnRoomView", "btnMyTools", "btnMyFinance",
                 "btnTeamWorksTools", "btnAboutMQT", "lblLinkMyMail", "lblLinkFindTessivanors",
                 "lbLinkPostJob", "lblLinkAcademy", "txtSearch", "btnTimeControl",
                 "cmbCurrentCompany", "lstRoster", "picUserAvatar", "lblUserStatus" })
            QVERIFY2(Reachable(window, Find<QWidget>(*window, name)), name);
        for (const char* name : { "lblCurrentStatusIcon", "lblRoomViewIcon", "lblMyToolsIcon",
                 "lblMyFinanceIcon", "lblTeamWorkIcon", "lblAboutIcon", "lblInternetMenuIcons" }) {
            auto* icon = Find<QLabel>(*window, name);
            QVERIFY2(Reachable(window, icon), name);
            QVERIFY2(HasDrawing(icon->grab().toImage()), name);
        }
        for (const char* name :
            { "lblLinkMyMail", "lblLinkFindTessivanors", "lbLinkPostJob", "lblLinkAcademy" }) {
            auto* link = Find<QLabel>(*window, name);
            const QString text = QTextDocumentFragment::fromHtml(link->text()).toPlainText();
            QVERIFY2(link->width() >= link->fontMetrics().horizontalAdvance(text), name);
        }
        // The link group lies below the last button; the list ends above the bottom band.
        QVERIFY(Find<QWidget>(*window, "leftPanelInternetServices")->y()
            >= Find<QWidget>(*window, "btnAboutMQT")->geometry().bottom());
        auto* area = Find<QStackedWidget>(*window, "showArea");
        QVERIFY(area->geometry().bottom() < Find<QWidget>(*window, "statusLabel")->y());
        QCOMPARE(m_s->list->size(), area->size());
        QCOMPARE(Find<QWidget>(*window, "lstTeamWorkTools")->size(), area->size());
        QCOMPARE(Find<QWidget>(*window, "leftPanelWidget")->height(),
            central->height() - Find<QWidget>(*window, "statusLabel")->height());
    }

    void rowButtonsAndMenusOpenTheWorkDiary()
    {
        QListWidget* list = m_s->list;
        auto* delegate = qobject_cast<RosterDelegate*>(list->itemDelegate());
        const auto click = [&](int team, int member, RosterDelegate::BUTTON_TYPES button) {
            const QRect row = list->visualItemRect(m_s->Row(team, member));
            QTest::mouseClick(
                list->viewport(), Qt::LeftButton, {}, delegate->ButtonRect(row, button).center());
        };
        const auto chooseWorkDiary = [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return false;
            const QList<QAction*> actions = menu->actions();
            if (actions.size() != 2 || actions.at(0)->text() != "Start  conversation")
                return false;
            actions.at(1)->trigger();
            menu->close();
            return true;
        };

        click(11, 1002, RosterDelegate::BUTTON_WORK_DIARY);
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.last().toString(), webBase + "Work_Diary.php?ID=1002&Room_ID=11");

        click(11, 1003, RosterDelegate::BUTTON_MENU);
        QVERIFY(chooseWorkDiary());
        QCOMPARE(m_opened.last().toString(), webBase + "Work_Diary.php?ID=1003&Room_ID=11");

        // A right click offers the same menu on a member row, nothing on a team row.
        const auto rightClick = [&](QListWidgetItem* item) {
            const QPoint at = list->visualItemRect(item).center();
            QContextMenuEvent event(
                QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &event);
        };
        rightClick(m_s->Row(12, 1004));
        QVERIFY(chooseWorkDiary());
        QCOMPARE(m_opened.last().toString(), webBase + "Work_Diary.php?ID=1004&Room_ID=12");
        rightClick(list->item(0));
        QVERIFY(!QApplication::activePopupWidget());

        // The chat button waits for conversations.
        click(12, 1006, RosterDelegate::BUTTON_CHAT);
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(m_opened.size(), 3);
    }

    void webPagesOpenOnTheWebHost_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("logText");
        QTest::newRow("time logs") << "actionTime_logs"
                                   << "Work_DiaryLogs.php"
                                   << "Open time logs";
        QTest::newRow("my mail") << "actionMessage_center"
                                 << "My_Mail.php"
                                 << "Open message center";
        QTest::newRow("work diary") << "actionWork_diary"
                                    << "Work_Diary.php"
                                    << "Open user work diary";
        QTest::newRow("profile") << "actionProfile"
                                 << "Profile.php?ID=1001"
                                 << "Open user profile";
        QTest::newRow("my finance") << "btnMyFinance"
                                    << "Financial_Activity.php"
                                    << "Open financial activity";
    }

    void webPagesOpenOnTheWebHost()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, page);
        QFETCH(QString, logText);
        LogReader log;
        if (auto* action = m_s->window->findChild<QAction*>(trigger))
            action->trigger();
        else
            Find<QPushButton>(*m_s->window, qPrintable(trigger))->click();
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.last().toString(), webBase + page);
        QVERIFY(log.HasInOrder({ logText, logText + " - success" }));
    }

    void teamworkToolsOpenTheirAddress()
    {
        auto* tools = Find<QListWidget>(*m_s->window, "lstTeamWorkTools");
        QTRY_COMPARE(tools->count(), 3);
        tools->setCurrentRow(1);
        emit tools->itemClicked(tools->item(1));
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.last().toString(), m_service.BaseUrl().toString() + "/tools/timelogs");
        QVERIFY(tools->selectedItems().isEmpty());
    }

    void searchBoxSearchesWhatWasTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("query"); // empty: nothing opened
        QTest::newRow("word") << "designer" << int(Qt::Key_Return) << "Filter_Keyword=designer";
        QTest::newRow("address syntax stays text")
            << "C++ & Qt #1" << int(Qt::Key_Return) << "Filter_Keyword=C%2B%2B%20%26%20Qt%20%231";
        QTest::newRow("not ASCII")
            << "Petrović" << int(Qt::Key_Return) << "Filter_Keyword=Petrovi%C4%87";
        QTest::newRow("keypad Enter") << "designer" << int(Qt::Key_Enter) << "";
    }

    void searchBoxSearchesWhatWasTyped()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, query);
        RosterWindow* window = m_s->window.get();
        auto* search = Find<QLineEdit>(*window, "txtSearch");
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(search->text(), QString("Search"));
        QTest::mouseClick(search, Qt::LeftButton);
        QTRY_VERIFY(search->hasFocus());
        QCOMPARE(search->text(), QString()); // focusing empties the box
        for (const QChar letter : typed) {
            if (letter.unicode() < 128)
                QTest::keyClick(search, letter.toLatin1());
            else // what a keyboard layout with the letter sends
                QTest::sendKeyEvent(QTest::Click, search, Qt::Key_unknown, QString(letter), {});
        }
        QCOMPARE(search->text(), typed);
        QTest::keyClick(search, Qt::Key(key));
        if (query.isEmpty()) {
            QVERIFY(m_opened.isEmpty());
        } else {
            QCOMPARE(m_opened.size(), 1);
            QCOMPARE(m_opened.last().toString(QUrl::FullyEncoded),
                "http://web.test:8080/portal/Sites/1/Main/Brows_Jobs_Result.php?" + query);
            QCOMPARE(
                QUrlQuery(m_opened.last()).queryItemValue("Filter_Keyword", QUrl::FullyDecoded),
                typed);
        }
        m_s->list->setFocus();
        QTRY_COMPARE(search->text(), QString("Search"));
    }

    void aboutAndToolsGoBackToTheRoster()
    {
        auto* area = Find<QStackedWidget>(*m_s->window, "showArea");
        const auto press = [this](const char* name) {
            QTest::mouseClick(Find<QPushButton>(*m_s->window, name), Qt::LeftButton);
        };
        QTRY_VERIFY(Find<QPushButton>(*m_s->window, "btnAboutMQT")->isEnabled());
        const QList<QPair<const char*, int>> steps { { "btnAboutMQT", 1 }, { "btnAboutMQT", 0 },
            { "btnTeamWorksTools", 3 }, { "btnTeamWorksTools", 0 }, { "btnAboutMQT", 1 },
            { "btnTeamWorksTools", 3 }, { "btnRoomView", 0 }, { "btnRoomView", 0 } };
        for (const auto& step : steps) {
            press(step.first);
            QCOMPARE(area->currentIndex(), step.second);
        }

        // The about page: the team-row band, the logo and the service's text below.
        press("btnAboutMQT");
        auto* about = Find<QWidget>(*m_s->window, "aboutWidget");
        const QImage page = about->grab().toImage();
        const ListWidgetManager::ListWidgetGroup_Style style
            = ListWidgetManager::GroupStyleOf(m_s->list);
        QCOMPARE(page.pixelColor(2, 2), style.backColor2);
        QCOMPARE(page.pixelColor(2, 32), QColor(Qt::white));
        QVERIFY(HasDrawing(page.copy(0, 35, page.width(), 45)));
        auto* text = Find<QLabel>(*m_s->window, "lblTessivanorAboutText");
        QVERIFY(text->text().startsWith("Track your time"));
        QCOMPARE(text->pos(), QPoint(10, 30 + 10 + 41 + 10));
        QVERIFY(text->isVisible());
    }

    void closedOrMinimisedTheTeamRoomComesBack_data()
    {
        QTest::addColumn<QString>("close");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("reopen");
        QTest::addColumn<bool>("minimised"); // else hidden
        QTest::newRow("title close, tray item") << "title close" << true << "tray item" << false;
        QTest::newRow("Close, hotkey") << "Close action" << true << "hotkey" << false;
        QTest::newRow("minimise, tray click") << "title minimise" << true << "tray click" << true;
        QTest::newRow("no tray: close minimises") << "title close" << false << "hotkey" << true;
    }

    void closedOrMinimisedTheTeamRoomComesBack()
    {
        QFETCH(QString, close);
        QFETCH(bool, tray);
        QFETCH(QString, reopen);
        QFETCH(bool, minimised);
        RosterWindow* window = m_s->window.get();
        m_desktop.trayAvailable = tray;
        window->move(150, 100);
        QTRY_COMPARE(window->pos(), QPoint(150, 100));
        LogReader log;
        auto* title = Find<MacTitleWidget>(*window, "rosterTitleWidget");
        if (close == "title close")
            QTest::mouseClick(Find<QPushButton>(*title, "btnClose"), Qt::LeftButton);
        else if (close == "title minimise")
            QTest::mouseClick(Find<QPushButton>(*title, "btnMinimize"), Qt::LeftButton);
        else
            Find<QAction>(*window, "actionClose")->trigger();

        QCOMPARE(window->isMinimized(), minimised);
        QCOMPARE(window->isVisible(), minimised);
        if (close != "title minimise") {
            QVERIFY(log.HasInOrder({ "Try to close\\hide window",
                minimised ? "Window is minimized" : "Window is hidden" }));
            QCOMPARE(SettingsProvider::instance()->GetCurrentSettings().rosterWindowRect,
                QRect(QPoint(150, 100), window->size()));
        }

        TrayIcon& icon = window->findChild<MiscFunctions*>()->GetTrayIcon();
        if (reopen == "tray item")
            TrayAction(icon, "Open Team Room")->trigger();
        else if (reopen == "tray click")
            emit icon.activated(QSystemTrayIcon::Trigger);
        else
            QVERIFY(xdotool({ "key", "ctrl+alt+shift+o" }));
        QTRY_VERIFY(window->isVisible() && !window->isMinimized());
        QVERIFY(log.Lines().contains("Show team room window"));
    }

    void ownMenusPopUpBesideTheirOwners()
    {
        RosterWindow* window = m_s->window.get();
        const auto popup = [] {
            return qobject_cast<QMenu*>(QApplication::activePopupWidget());
        };
        const auto closePopup = [&] {
            if (QMenu* menu = popup())
                menu->close();
        };

        auto* status = Find<QLabel>(*window, "lblUserStatus");
        QTest::mousePress(status, Qt::MiddleButton);
        QVERIFY(!popup());
        QTest::mouseRelease(status, Qt::MiddleButton);
        for (Qt::MouseButton button : { Qt::LeftButton, Qt::RightButton }) {
            if (button == Qt::LeftButton) {
                QTest::mousePress(status, button, {}, QPoint(5, 5));
            } else {
                QContextMenuEvent event(
                    QContextMenuEvent::Mouse, QPoint(5, 5), status->mapToGlobal(QPoint(5, 5)));
                QApplication::sendEvent(status, &event);
            }
            QVERIFY(popup());
            QStringList entries;
            const QList<QAction*> actions = popup()->actions();
            for (const QAction* action : actions)
                entries << action->text();
            QCOMPARE(entries,
                QStringList({ "Chat status", "Memo...", "Select team", "Start tracking time" }));
            QCOMPARE(popup()->pos(), status->mapToGlobal(QPoint(5, 5)));
            closePopup();
        }

        for (const auto& owner : QList<QPair<const char*, const char*>> {
                 { "btnCurrentStatus", "menuStatus" }, { "btnMyTools", "menuTools" } }) {
            auto* button = Find<QPushButton>(*window, owner.first);
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(popup(), Find<QMenu>(*window, owner.second));
            QCOMPARE(popup()->pos(), button->mapToGlobal(QPoint(button->width(), 0)));
            closePopup();
        }
    }

    void showingAgainKeepsTheTeamMenu()
    {
        auto* teams = Find<QMenu>(*m_s->window, "menuSelect_team");
        QCOMPARE(teams->actions().size(), 3);
        m_s->window->hide();
        m_s->window->show();
        QCOMPARE(teams->actions().size(), 3);
        QCOMPARE(teams->actions().at(1)->text(), QString("Borealis"));
    }

    void theLoggingSwitchTurnsTheLogOffAndOn()
    {
        LogReader log;
        m_s->window->StartOrStopLogging();
        m_s->window->ResetWorkingTime(); // not written while off
        m_s->window->StartOrStopLogging();
        QCOMPARE(log.Lines(), QStringList({ "Disable logs by user", "Enable warning window" }));
    }

private:
    FakeServiceProcess m_service;
    FakeDesktop m_desktop;
    std::unique_ptr<SignedInWindow> m_s;
    QList<QUrl> m_opened;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
