#include "SignedInWindow.h"

#include "ChatWindowDialog.h"
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
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != image.pixel(0, 0))
                return true;
    return false;
}

QMenu* OpenMenu()
{
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

} // namespace

// The signed-in main window on a 1280 x 1024 display: its layout at several sizes, the row
// actions, the web pages, the search box, the central pages, its own menus, closing and
// bringing it back. The service is the fake one, the chat server a closed port; web pages are
// caught instead of opened.
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
            settings.hotkeys.OpenTeamRoom = "Ctrl+Alt+Shift+O";
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
        if (QMenu* menu = OpenMenu())
            menu->close();
        m_s.reset();
    }

    void panelsFollowTheWindowSize_data()
    {
        QTest::addColumn<QSize>("size"); // invalid: as sign-in leaves it
        QTest::newRow("form's size") << QSize();
        QTest::newRow("smallest") << QSize(1, 1);
        QTest::newRow("larger") << QSize(920, 880);
    }

    void panelsFollowTheWindowSize()
    {
        QFETCH(QSize, size);
        RosterWindow* window = m_s->window.get();
        if (size.isValid()) {
            window->resize(size.expandedTo(window->minimumSize()));
            QTRY_COMPARE(window->size(), size.expandedTo(window->minimumSize()));
        }
        // Below the title and menu bars the form's area keeps at least the form's size.
        auto* central = Find<QWidget>(*window, "centralwidget");
        auto* bottom = Find<QWidget>(*window, "statusLabel");
        QVERIFY(central->height() >= 661);
        QTRY_COMPARE(bottom->y(), central->height() - bottom->height());

        auto* menuBar = Find<QMenuBar>(*window, "menuMain");
        QCOMPARE(menuBar->actions().size(), 4);
        for (QAction* menu : menuBar->actions())
            QCOMPARE(
                window->childAt(menuBar->mapTo(window, menuBar->actionGeometry(menu).center())),
                menuBar);
        for (const char* name :
            { "btnCurrentStatus", "btnRoomView", "btnMyTools", "btnMyFinance", "btnTeamWorksTools",
                "btnAboutMQT", "lblCurrentStatusIcon", "lblRoomViewIcon", "lblMyToolsIcon",
                "lblMyFinanceIcon", "lblTeamWorkIcon", "lblAboutIcon", "lblInternetMenuIcons",
                "lblLinkMyMail", "lblLinkFindTessivanors", "lbLinkPostJob", "lblLinkAcademy",
                "txtSearch", "btnTimeControl", "cmbCurrentCompany", "lstRoster", "lblUserStatus" })
            QVERIFY2(Reachable(window, Find<QWidget>(*window, name)), name);
        for (const char* name : { "lblCurrentStatusIcon", "lblAboutIcon", "lblInternetMenuIcons" })
            QVERIFY2(HasDrawing(Find<QLabel>(*window, name)->grab().toImage()), name);
        for (const char* name :
            { "lblLinkMyMail", "lblLinkFindTessivanors", "lbLinkPostJob", "lblLinkAcademy" }) {
            auto* link = Find<QLabel>(*window, name);
            const QString text = QTextDocumentFragment::fromHtml(link->text()).toPlainText();
            QVERIFY2(link->width() >= link->fontMetrics().horizontalAdvance(text), name);
        }
        QVERIFY(Find<QWidget>(*window, "leftPanelInternetServices")->y()
            >= Find<QWidget>(*window, "btnAboutMQT")->geometry().bottom());
        auto* area = Find<QStackedWidget>(*window, "showArea");
        QVERIFY(area->geometry().bottom() < bottom->y());
        QCOMPARE(m_s->list->size(), area->size());
    }

    void rowActionsOpenTheWorkDiaryAndConversations()
    {
        QListWidget* list = m_s->list;
        auto* delegate = qobject_cast<RosterDelegate*>(list->itemDelegate());
        const auto press = [&](int team, int member, RosterDelegate::BUTTON_TYPES button) {
            const QRect row = list->visualItemRect(m_s->Row(team, member));
            QTest::mouseClick(
                list->viewport(), Qt::LeftButton, {}, delegate->ButtonRect(row, button).center());
        };
        const auto rightClick = [&](QListWidgetItem* item) {
            const QPoint at = list->visualItemRect(item).center();
            QContextMenuEvent event(
                QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &event);
        };
        // The row menu's second entry, "Work diary...", for the row it opened on.
        const auto chooseWorkDiary = [] {
            QMenu* menu = OpenMenu();
            if (!menu || menu->actions().value(0)->text() != "Start  conversation")
                return false;
            menu->actions().value(1)->trigger();
            menu->close();
            return true;
        };

        press(11, 1002, RosterDelegate::BUTTON_WORK_DIARY);
        press(11, 1003, RosterDelegate::BUTTON_MENU);
        QVERIFY(chooseWorkDiary());
        rightClick(m_s->Row(12, 1004));
        QVERIFY(chooseWorkDiary());
        rightClick(list->item(0)); // a team row
        QVERIFY(!OpenMenu());
        QVERIFY(!OpenMenu());
        QStringList opened;
        for (const QUrl& url : qAsConst(m_opened))
            opened << url.toString().remove(webBase);
        QCOMPARE(opened,
            QStringList({ "Work_Diary.php?ID=1002&Room_ID=11", "Work_Diary.php?ID=1003&Room_ID=11",
                "Work_Diary.php?ID=1004&Room_ID=12" }));

        // The chat button and the menu's first entry open conversations, one per partner.
        list->setCurrentItem(m_s->Row(11, 1002));
        press(12, 1006, RosterDelegate::BUTTON_CHAT);
        press(12, 1006, RosterDelegate::BUTTON_CHAT);
        rightClick(m_s->Row(11, 1003));
        QMenu* menu = OpenMenu();
        QVERIFY(menu);
        menu->actions().value(0)->trigger();
        menu->close();
        QStringList partners;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* chat = qobject_cast<ChatWindowDialog*>(window); chat && chat->isVisible()) {
                partners << chat->GetWithUserChatName().userName;
                chat->close();
            }
        }
        partners.sort();
        QCOMPARE(partners, QStringList({ "bruno.m", "eli.r" }));
    }

    void webPagesOpenOnTheWebHost()
    {
        const struct
        {
            const char* trigger;
            QString page;
            QString logText;
        } pages[] = { { "actionTime_logs", "Work_DiaryLogs.php", "Open time logs" },
            { "actionMessage_center", "My_Mail.php", "Open message center" },
            { "actionWork_diary", "Work_Diary.php", "Open user work diary" },
            { "actionProfile", "Profile.php?ID=1001", "Open user profile" },
            { "btnMyFinance", "Financial_Activity.php", "Open financial activity" } };
        for (const auto& page : pages) {
            LogReader log;
            if (auto* action = m_s->window->findChild<QAction*>(page.trigger))
                action->trigger();
            else
                Find<QPushButton>(*m_s->window, page.trigger)->click();
            QCOMPARE(m_opened.last().toString(), webBase + page.page);
            QVERIFY(log.HasInOrder({ page.logText, page.logText + " - success" }));
        }

        auto* tools = Find<QListWidget>(*m_s->window, "lstTeamWorkTools");
        QTRY_COMPARE(tools->count(), 3);
        tools->setCurrentRow(1);
        emit tools->itemClicked(tools->item(1));
        QCOMPARE(m_opened.last().toString(), m_service.BaseUrl().toString() + "/tools/timelogs");
        QVERIFY(tools->selectedItems().isEmpty());
        QCOMPARE(m_opened.size(), 6);
    }

    void searchBoxSearchesWhatWasTyped()
    {
        const struct
        {
            QString typed;
            Qt::Key key;
            QString query; // empty: nothing opened
        } searches[] = { { "designer", Qt::Key_Return, "designer" },
            { "C++ & Qt #1", Qt::Key_Return, "C%2B%2B%20%26%20Qt%20%231" },
            { "Petrović", Qt::Key_Return, "Petrovi%C4%87" }, { "designer", Qt::Key_Enter, "" } };
        RosterWindow* window = m_s->window.get();
        auto* search = Find<QLineEdit>(*window, "txtSearch");
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        for (const auto& case_ : searches) {
            m_opened.clear();
            QCOMPARE(search->text(), QString("Search"));
            QTest::mouseClick(search, Qt::LeftButton);
            QTRY_VERIFY(search->hasFocus());
            QCOMPARE(search->text(), QString()); // focusing empties the box
            for (const QChar letter : case_.typed) {
                if (letter.unicode() < 128)
                    QTest::keyClick(search, letter.toLatin1());
                else // what a keyboard layout with the letter sends
                    QTest::sendKeyEvent(QTest::Click, search, Qt::Key_unknown, QString(letter), {});
            }
            QTest::keyClick(search, case_.key);
            QCOMPARE(m_opened.size(), case_.query.isEmpty() ? 0 : 1);
            if (!case_.query.isEmpty()) {
                QCOMPARE(m_opened.last().toString(QUrl::FullyEncoded),
                    webBase + "Brows_Jobs_Result.php?Filter_Keyword=" + case_.query);
                QCOMPARE(
                    QUrlQuery(m_opened.last()).queryItemValue("Filter_Keyword", QUrl::FullyDecoded),
                    case_.typed);
            }
            m_s->list->setFocus();
            QTRY_COMPARE(search->text(), QString("Search"));
        }
    }

    void aboutAndToolsGoBackToTheRoster()
    {
        auto* area = Find<QStackedWidget>(*m_s->window, "showArea");
        QTRY_VERIFY(Find<QPushButton>(*m_s->window, "btnAboutMQT")->isEnabled());
        const QList<QPair<const char*, int>> steps { { "btnAboutMQT", 1 }, { "btnAboutMQT", 0 },
            { "btnTeamWorksTools", 3 }, { "btnTeamWorksTools", 0 }, { "btnAboutMQT", 1 },
            { "btnTeamWorksTools", 3 }, { "btnRoomView", 0 }, { "btnAboutMQT", 1 } };
        for (const auto& step : steps) {
            QTest::mouseClick(Find<QPushButton>(*m_s->window, step.first), Qt::LeftButton);
            QCOMPARE(area->currentIndex(), step.second);
        }

        // The about page: the team-row band, the logo below it and the service's text.
        const QImage page = Find<QWidget>(*m_s->window, "aboutWidget")->grab().toImage();
        QCOMPARE(page.pixelColor(2, 2), ListWidgetManager::GroupStyleOf(m_s->list).backColor2);
        QCOMPARE(page.pixelColor(2, 32), QColor(Qt::white));
        QVERIFY(HasDrawing(page.copy(0, 35, page.width(), 45)));
        auto* text = Find<QLabel>(*m_s->window, "lblTessivanorAboutText");
        QVERIFY(text->text().startsWith("Track your time"));
        QCOMPARE(text->pos(), QPoint(10, 30 + 10 + 41 + 10));
    }

    void closedOrMinimisedTheTeamRoomComesBack_data()
    {
        QTest::addColumn<QString>("close");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("reopen");
        QTest::addColumn<bool>("minimised"); // else hidden
        QTest::newRow("title close, tray item") << "btnClose" << true << "tray item" << false;
        QTest::newRow("Close, hotkey") << "actionClose" << true << "hotkey" << false;
        QTest::newRow("minimise, tray click") << "btnMinimize" << true << "tray click" << true;
        QTest::newRow("no tray: close minimises") << "btnClose" << false << "hotkey" << true;
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
        if (close == "actionClose")
            Find<QAction>(*window, "actionClose")->trigger();
        else
            QTest::mouseClick(Find<QPushButton>(*window, qPrintable(close)), Qt::LeftButton);

        QCOMPARE(window->isMinimized(), minimised);
        QCOMPARE(window->isVisible(), minimised);
        if (close != "btnMinimize") {
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
        // Showing again keeps the team menu.
        QCOMPARE(Find<QMenu>(*window, "menuSelect_team")->actions().size(), 3);
    }

    void ownMenusOpenBesideTheirOwners()
    {
        RosterWindow* window = m_s->window.get();
        auto* status = Find<QLabel>(*window, "lblUserStatus");
        QTest::mousePress(status, Qt::MiddleButton);
        QVERIFY(!OpenMenu());
        QTest::mouseRelease(status, Qt::MiddleButton);
        QTest::mousePress(status, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(OpenMenu(), Find<QMenu>(*window, "userStatusMenu"));
        QCOMPARE(OpenMenu()->pos(), status->mapToGlobal(QPoint(5, 5)));
        QCOMPARE(OpenMenu()->actions().size(), 4);
        OpenMenu()->close();

        for (const auto& owner : QList<QPair<const char*, const char*>> {
                 { "btnCurrentStatus", "menuStatus" }, { "btnMyTools", "menuTools" } }) {
            auto* button = Find<QPushButton>(*window, owner.first);
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(OpenMenu(), Find<QMenu>(*window, owner.second));
            QCOMPARE(OpenMenu()->pos(), button->mapToGlobal(QPoint(button->width(), 0)));
            OpenMenu()->close();
        }
    }

    void thePreferencesTurnTheLogOffAndOn()
    {
        LogReader log;
        QDialog& preferences = m_s->window->findChild<MiscFunctions*>()->GetPreferences();
        Find<QAction>(*m_s->window, "actionPreferences")->trigger();
        QVERIFY(preferences.isVisible());
        QVERIFY(preferences.isModal());
        auto* button = Find<QPushButton>(preferences, "btnStopStartLogging");
        button->click();
        QCOMPARE(button->text(), QString("Start logging"));
        m_s->window->ResetWorkingTime(); // not written while off
        button->click();
        QCOMPARE(button->text(), QString("Stop logging"));
        QCOMPARE(log.Lines(), QStringList({ "Disable logs by user", "Enable warning window" }));
        preferences.hide();
    }

private:
    FakeServiceProcess m_service;
    FakeDesktop m_desktop;
    std::unique_ptr<SignedInWindow> m_s;
    QList<QUrl> m_opened;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
