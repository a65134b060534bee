#include "../DesignFont.h"
#include "SignedInWindow.h"

#include "ChatWindowDialog.h"
#include "MacTitleWidget.h"
#include "ScreenSnapWidget.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

#include <memory>

#include <sys/stat.h>

using namespace TrackingFixture;

namespace {

QString ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// How often the activity log holds a line whose text (after "Action: ") starts with `text`;
// with `exact`, equals it.
int LogLines(const QString& text, bool exact = true)
{
    int count = 0;
    const QStringList lines = ActivityLog().split("\r\n", Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString action = line.mid(line.indexOf("Action: ") + 8);
        count += exact ? action == text : action.startsWith(text);
    }
    return count;
}

// Counts the show events of a widget: one per time it comes up.
class ShowCounter : public QObject
{
public:
    explicit ShowCounter(QWidget* widget) { widget->installEventFilter(this); }
    int shows = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        shows += event->type() == QEvent::Show;
        return false;
    }
};

// Every message the program writes, kept by KeepMessage before the usual handler prints it.
QStringList messages;
QtMessageHandler defaultHandler = nullptr;

void KeepMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    messages.append(message);
    defaultHandler(type, context, message);
}

// A function that emits `signal` of `sender` with `values`.
template<typename Sender, typename... Args, typename... Values>
std::function<void()> Emitting(Sender* sender, void (Sender::*signal)(Args...), Values... values)
{
    return [=] {
        (sender->*signal)(values...);
    };
}

template<typename T> int TopLevelCount(const std::function<bool(T*)>& match = nullptr)
{
    int count = 0;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* found = qobject_cast<T*>(window))
            count += !match || match(found);
    return count;
}

// Runs `emitOnce` inside the application's event loop, ended right after: the exit that a
// slot asks for ends that loop rather than every loop the test starts later.
void InsideEventLoop(const std::function<void()>& emitOnce)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(100);
    QTimer::singleShot(0, emitOnce);
    QCoreApplication::exec();
}

} // namespace

// Whether a library whose file name contains `name` is loaded into this process.
static bool IsMapped(const char* name)
{
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

class TestRosterWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        UseDesignFont();
        defaultHandler = qInstallMessageHandler(KeepMessage);
        // Slots that only leave a diagnostic are counted by it.
        QLoggingCategory::setFilterRules(QStringLiteral("movarelquintash.*.debug=true"));
        qputenv("MOVARELQUINTASH_WEB_URL", "http://web.test:8080/portal/");
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    // Start-up builds the sign-in dialog alone; the hub's other dialogs and the update window come
    // with their first use, wired then, the same object every time. Hiding them at a sign-out
    // makes none.
    void makesTheOtherDialogsOnFirstUse()
    {
        RosterWindow window;
        MiscFunctions& misc = *window.findChild<MiscFunctions*>();
        const auto made = [] {
            return TopLevelCount<Preferences>() + TopLevelCount<Memo>()
                + TopLevelCount<ExitConfirm>() + TopLevelCount<StopReminder>()
                + TopLevelCount<RemindDialog>() + TopLevelCount<LastSnapshot>()
                + TopLevelCount<updateDialog>();
        };
        QCOMPARE(TopLevelCount<AuthDialog>(), 1);
        QCOMPARE(made(), 0);
        window.SignOut();
        QCOMPARE(made(), 0);
        // Nor is the XMPP library there before the first chat connection wants it.
        QVERIFY(!IsMapped("libqxmpp"));
        window.Chat().AcceptMessages();
        QVERIFY(IsMapped("libqxmpp"));

        Preferences* preferences = &misc.GetPreferences();
        QCOMPARE(&misc.GetPreferences(), preferences);
        QCOMPARE(&window.UpdateWindow(), &window.UpdateWindow());
        QCOMPARE(made(), 2);
        // Wired as it was made: it knows the activity log, so it offers to switch it off.
        QVERIFY(!preferences->findChild<QPushButton*>("btnStopStartLogging")->isHidden());
    }

    // The client's start builds the window behind the sign-in dialog once the dialog has been
    // drawn. Whatever reaches the window before that builds it at once, and the window ends as
    // one built with the controller: signed out behind the dialog, or signed in for good (the
    // build's own turn, coming later, changes nothing).
    void buildsTheWindowOnceBehindTheSignInDialog_data()
    {
        QTest::addColumn<QString>("first"); // what reaches the unbuilt window
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("the dialog drawn") << "" << false;
        QTest::newRow("a sign-in") << "sign-in" << true;
        QTest::newRow("a failed sign-in") << "failure" << false;
        QTest::newRow("the window shown") << "show" << false;
    }

    void buildsTheWindowOnceBehindTheSignInDialog()
    {
        QFETCH(QString, first);
        QFETCH(bool, signedIn);
        const int configLoads = LogLines("Load application config");
        const int failures = LogLines("Sign-in error! Login name: nobody");
        RosterWindow window(nullptr, RosterWindow::Building::AfterFirstWindowDrawn);
        MiscFunctions& misc = *window.findChild<MiscFunctions*>();
        AuthDialog& dialog = misc.GetAuthDialog();
        window.showLoginDialog();
        QVERIFY(!window.IsBuilt());
        QVERIFY(!window.findChild<QLabel*>("lblUserStatus"));
        QVERIFY(!misc.TrayIconHolder().IfMade());
        QCOMPARE(LogLines("Load application config"), configLoads);

        if (first == "sign-in")
            emit dialog.OnAuthComplete("demo", RestAPI::SecurityUserInfo());
        else if (first == "failure")
            emit dialog.OnAuthFailed("nobody");
        else if (first == "show")
            window.show();
        QCOMPARE(window.IsBuilt(), !first.isEmpty());
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(window.IsBuilt());
        QTest::qWait(50); // the build's own turn

        QCOMPARE(LogLines("Load application config"), configLoads + 1);
        QCOMPARE(window.findChild<QLabel*>("lblUserStatus")->text(), QString("ONLINE"));
        QCOMPARE(window.isVisible(), signedIn || first == "show");
        TrayIcon& tray = misc.GetTrayIcon();
        QVERIFY(tray.isVisible());
        QCOMPARE(TrayAction(tray, "Sign out")->isEnabled(), signedIn);
        QCOMPARE(tray.toolTip(),
            signedIn ? QString("Tessivanor Team Room - Online(demo)") : QString());
        QCOMPARE(LogLines("Sign-in error! Login name: nobody"), failures + (first == "failure"));
    }

    void buildsItsTitleBarAndAbsoluteLinks()
    {
        RosterWindow window;
        QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
        auto* title = window.findChild<MacTitleWidget*>("rosterTitleWidget");
        QVERIFY(title);
        QCOMPARE(title->pos(), QPoint(11, 6));
        QCOMPARE(title->width(), window.width());
        QCOMPARE(title->GetButtonSize(), QSize(23, 17));
        QVERIFY(title->IsButtonActive(MacTitleWidget::CLOSE_BUTTON));
        QVERIFY(title->IsButtonActive(MacTitleWidget::MINIMIZE_BUTTON));
        QVERIFY(!title->IsButtonActive(MacTitleWidget::MAXIMIZE_BUTTON));
        // The settings application gives the window the style sheet, the title bar included,
        // when the window is first shown.
        window.show();
        QCOMPARE(window.styleSheet(), ReadFile(":/design/mac.qss"));

        auto* misc = window.findChild<MiscFunctions*>();
        QList<QUrl> opened;
        misc->SetLinkOpener([&opened](const QUrl& url) {
            opened.append(url);
            return true;
        });
        const QList<QPair<const char*, const char*>> links { { "lblLinkMyMail", "My_Mail.php" },
            { "lblLinkFindTessivanors", "Browse_ContractorCategories.php" },
            { "lbLinkPostJob", "Add_Job.php" }, { "lblLinkAcademy", "Academy.php" } };
        for (const auto& link : links) {
            auto* label = window.findChild<QLabel*>(link.first);
            const QString target
                = QStringLiteral("http://web.test:8080/portal/Sites/1/Main/") + link.second;
            QVERIFY2(label->text().contains("href=\"" + target + "\""), link.first);
            emit label->linkActivated(target);
            QCOMPARE(opened.last().toString(), target);
        }
        QCOMPARE(opened.size(), 4);
    }

    void statusShowsEverywhere_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("trayPicture");
        QTest::addColumn<QString>("trayChecked");
        QTest::addColumn<QString>("toolTip");
        // Each row starts from STATUS_ONLINE.
        QTest::newRow("1 online working") << 1 << "ONLINE"
                                          << "actionAvailable"
                                          << ":/tray/trackTimeNormal.ico"
                                          << "Available"
                                          << "Tessivanor Team Room - Working(demo)";
        QTest::newRow("2 dnd working") << 2 << "DO NOT DISTURB"
                                       << "actionBusy"
                                       << ":/tray/trackTimeBusy.ico"
                                       << "Busy"
                                       << "Tessivanor Team Room - Do not disturb(demo)";
        QTest::newRow("3 idle working") << 3 << "ONLINE - IDLE"
                                        << "actionAvailable"
                                        << ":/tray/trackTimeIdle.ico"
                                        << "Available"
                                        << "Tessivanor Team Room - Idle(demo)";
        QTest::newRow("4 online") << 4 << "ONLINE"
                                  << "actionAvailable"
                                  << ":/tray/normal.ico"
                                  << "Available"
                                  << "Tessivanor Team Room - Online(demo)";
        QTest::newRow("5 idle") << 5 << "ONLINE - IDLE"
                                << ""
                                << ":/tray/idle.ico"
                                << "Available"
                                << "Tessivanor Team Room - Idle(demo)";
        QTest::newRow("6 dnd") << 6 << "DO NOT DISTURB"
                               << "actionBusy"
                               << ":/tray/busy.ico"
                               << "Busy"
                               << "Tessivanor Team Room - Do not distrub(demo)";
        QTest::newRow("7 offline") << 7 << "DO NOT DISTURB"
                                   << "actionBusy"
                                   << ":/tray/busy.ico"
                                   << "Busy"
                                   << "Tessivanor Team Room - Do not distrub(demo)";
        QTest::newRow("8 cached") << 8 << "ONLINE - CACHED"
                                  << ""
                                  << ":/tray/normal.ico"
                                  << "Available"
                                  << "Tessivanor Team Room - (demo)";
        QTest::newRow("0 none") << 0 << "ONLINE"
                                << ""
                                << ":/tray/busy.ico"
                                << "Available"
                                << "";
    }

    void statusShowsEverywhere()
    {
        QFETCH(int, status);
        QFETCH(QString, label);
        QFETCH(QString, checked);
        QFETCH(QString, trayPicture);
        QFETCH(QString, trayChecked);
        QFETCH(QString, toolTip);

        RosterWindow window;
        auto* misc = window.findChild<MiscFunctions*>();
        misc->SetUserName("demo");
        TrayIcon& tray = misc->GetTrayIcon();
        QVERIFY(tray.isVisible());
        tray.hide();
        window.ChangeStatus(RosterManager::STATUS(status));

        auto* statusLabel = window.findChild<QLabel*>("lblUserStatus");
        QCOMPARE(statusLabel->text(), label);
        QCOMPARE(statusLabel->styleSheet(),
            ListWidgetManager::GetStyleForStatus(RosterManager::STATUS(status)));
        for (const char* name : { "actionAvailable", "actionBusy" })
            QCOMPARE(window.findChild<QAction*>(name)->isChecked(), checked == name);

        QCOMPARE(IconImage(tray.icon()), IconImage(QIcon(trayPicture)));
        QCOMPARE(TrayAction(tray, "Available")->isChecked(), trayChecked == "Available");
        QCOMPARE(TrayAction(tray, "Busy")->isChecked(), trayChecked == "Busy");
        QCOMPARE(tray.toolTip(), toolTip);
        QVERIFY(tray.isVisible());
        QVERIFY(ActivityLog().endsWith("Action: User status was changed: " + toolTip + "\r\n"));
    }

    void statusActionsChooseByTracking()
    {
        RosterWindow window;
        window.findChild<QAction*>("actionBusy")->trigger();
        QCOMPARE(window.findChild<QLabel*>("lblUserStatus")->text(), QString("DO NOT DISTURB"));
        QVERIFY(window.findChild<QAction*>("actionBusy")->isChecked());
        QVERIFY(!window.findChild<QAction*>("actionAvailable")->isChecked());
        window.findChild<QAction*>("actionAvailable")->trigger();
        QCOMPARE(window.findChild<QLabel*>("lblUserStatus")->text(), QString("ONLINE"));
        QVERIFY(window.findChild<QAction*>("actionAvailable")->isChecked());
        QVERIFY(!window.findChild<QAction*>("actionBusy")->isChecked());

        // The tray's choices reach the same place.
        TrayIcon& tray = window.findChild<MiscFunctions*>()->GetTrayIcon();
        tray.ChangeSign(true);
        TrayAction(tray, "Busy")->trigger();
        QCOMPARE(window.findChild<QLabel*>("lblUserStatus")->text(), QString("DO NOT DISTURB"));
    }

    void publishesTheChatStatusWordOnlyWhereTheServiceHasOne()
    {
        RosterWindow window;
        auto* api = window.findChild<RestAPI*>("restApi");
        QSignalSpy ok(api, &RestAPI::ApiDataOk);
        api->Login("demo", "demo123");
        QTRY_COMPARE(ok.count(), 1);

        const int earlier = chatStatuses().size();
        QStringList expected;
        const QStringList words { "", "online", "do not disturb", "", "online", "",
            "do not disturb", "offline", "" };
        for (int status = 0; status <= 8; ++status) {
            window.ChangeStatus(RosterManager::STATUS(status));
            if (words.at(status).isEmpty())
                continue;
            expected << words.at(status);
            QTRY_COMPARE(chatStatuses().mid(earlier).size(), expected.size());
        }
        // The statuses without a word came in between; a late request would show here.
        window.ChangeStatus(RosterManager::STATUS_DND);
        expected << "do not disturb";
        QTRY_COMPARE(chatStatuses().mid(earlier).size(), expected.size());
        QCOMPARE(chatStatuses().mid(earlier), expected);
    }

    void restTraceIsWrittenWithoutSecrets_data()
    {
        QTest::addColumn<bool>("pipeBefore");
        QTest::newRow("a new trace") << false;
        // Opening it would wait for a reader for good, right at the sign-in.
        QTest::newRow("a pipe in the trace's place") << true;
    }

    void restTraceIsWrittenWithoutSecrets()
    {
        QFETCH(bool, pipeBefore);
        const QString tracePath
            = SettingsProvider().GetCurrentSettings().logLocation + "/restApiLog.log";
        QFile::remove(tracePath);
        if (pipeBefore)
            QVERIFY(::mkfifo(QFile::encodeName(tracePath).constData(), 0600) == 0);
        RosterWindow window;
        auto* api = window.findChild<RestAPI*>("restApi");
        QSignalSpy ok(api, &RestAPI::ApiDataOk);
        api->Login("demo", "demo123");
        QTRY_COMPARE(ok.count(), 1);
        const QString hashKey = api->GetCurrentUserInfo().hashKey;
        api->SetUserChatStatus(RosterManager::STATUS_ONLINE);
        QTRY_COMPARE(ok.count(), 2);

        LogManager::Flush();
        const QString trace = ReadFile(tracePath);
        QVERIFY(trace.contains("/k4p/auth/login:var"));
        QVERIFY(trace.contains("/k4p/chat/status:var"));
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ").match(trace).hasMatch());
        QVERIFY(trace.endsWith("\r\n"));
        QVERIFY(!trace.contains("demo123"));
        QVERIFY(
            !trace.contains(QCryptographicHash::hash("demo123", QCryptographicHash::Md5).toHex()));
        QVERIFY(!hashKey.isEmpty());
        QVERIFY(!trace.contains(hashKey));
        QCOMPARE(QFile(tracePath).permissions() & (QFile::ReadOther | QFile::ReadGroup),
            QFileDevice::Permissions());
    }

    void startsSignedOutAndLogsFailedSignIns()
    {
        RosterWindow window;
        window.show();
        TrayIcon& tray = window.findChild<MiscFunctions*>()->GetTrayIcon();
        tray.ChangeSign(true);
        window.showLoginDialog();
        QVERIFY(!window.isVisible());
        QVERIFY(tray.toolTip().isEmpty());
        QVERIFY(!TrayAction(tray, "Sign out")->isEnabled());

        AuthDialog& dialog = window.findChild<MiscFunctions*>()->GetAuthDialog();
        QVERIFY(dialog.isVisible());
        dialog.findChild<QLineEdit*>("txtLoginName")->setText("demo");
        dialog.findChild<QLineEdit*>("txtPassword")->setText("not-the-password");
        QSignalSpy failed(&dialog, &AuthDialog::OnAuthFailed);
        dialog.findChild<QPushButton*>("btnLogIn")->click();
        QTRY_COMPARE(failed.count(), 1);
        const QString log = ActivityLog();
        QVERIFY(log.endsWith("Action: Sign-in error! Login name: demo\r\n"));
        QVERIFY(!log.contains("not-the-password"));
    }

    void resetsTheWorkingTimeWithItsLogLines()
    {
        RosterWindow window;
        window.ResetWorkingTime();
        const QString log = ActivityLog();
        QVERIFY(log.contains("Action: Reset working time\r\n"));
        QVERIFY(log.endsWith("Action: Reset working time - ok\r\n"));
    }

    // Every connection of the main window in the order it is made, and the slots joined by
    // name that several roads share: one emission runs the slot once, counted by what the slot
    // leaves behind. The second round comes after three applied preferences, a sign-out and a
    // new sign-in, which must add no connection.
    void everySignalReachesItsSlotOnce_data()
    {
        QTest::addColumn<bool>("again");
        QTest::newRow("first sign-in") << false;
        QTest::newRow("after applies, sign-out and sign-in") << true;
    }

    void everySignalReachesItsSlotOnce()
    {
        QFETCH(bool, again);
        ResetSettings();
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings.updateDate = QDate::currentDate();
            settings.confirmAtExit = false;
            settings.stopReminderType = 1;
            settings.memoReminderType = 1;
        });
        SignedInWindow s;
        FakeDesktop desktop;
        desktop.Install(*s.window);
        QVERIFY(s.CompleteSignIn());
        if (again) {
            MiscFunctions& misc = *s.window->findChild<MiscFunctions*>();
            Preferences& preferences = misc.GetPreferences();
            const int applied = LogLines("Load application config");
            for (int apply = 0; apply < 3; ++apply) {
                misc.ShowPreferences();
                preferences.findChild<QCheckBox*>("chkStartMinim")->click();
                preferences.findChild<QPushButton*>("btnApply")->click();
            }
            preferences.hide();
            QCOMPARE(LogLines("Load application config"), applied + 3);
            s.window->SignOut();
            QVERIFY(s.CompleteSignIn());
        }

        const QList<Wire> wires = Wires(s, desktop);
        for (const Wire& wire : wires) {
            Arrange(*s.window, wire.need);
            const int before = wire.runs();
            wire.emitOnce();
            const int runs = wire.runs() - before;
            if (wire.tidy)
                wire.tidy();
            QVERIFY2(
                runs == wire.expected, qPrintable(QString("%1: %2 runs").arg(wire.name).arg(runs)));
        }
        HideScreenshotPopup();
    }

    // No timer runs before sign-in; each runs in the states that need it, at its interval,
    // and sign-out leaves only the avatar refresh.
    void timersRunOnlyWhileTheyShould()
    {
        ResetSettings();
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings.updateDate = QDate::currentDate();
        });
        SignedInWindow s;
        RosterWindow& window = *s.window;
        using Intervals = QMap<QString, int>;
        const auto running = [&window] {
            Intervals intervals;
            const QList<QTimer*> timers = window.findChildren<QTimer*>(
                QRegularExpression("^(screenshot|stopReminder|state|memoReminder|rest|screens|"
                                   "workingTime|avatars)Timer$"),
                Qt::FindDirectChildrenOnly);
            for (const QTimer* timer : timers)
                if (timer->isActive())
                    intervals.insert(timer->objectName(), timer->interval());
            return intervals;
        };
        QCOMPARE(running(), Intervals());

        const Intervals signedIn { { "stateTimer", 250 }, { "stopReminderTimer", 900000 },
            { "restTimer", 60000 }, { "avatarsTimer", 900000 } };
        for (int round = 0; round < 2; ++round) {
            QVERIFY(s.CompleteSignIn());
            QTRY_COMPARE(running(), signedIn);

            StartTracking(window, "Atlas", "Timers");
            window.SetMemo("Timers", 600000);
            Intervals tracking = signedIn;
            tracking.insert({ { "screenshotTimer", 70000 }, { "workingTimeTimer", 1000 },
                { "memoReminderTimer", 600000 } });
            QCOMPARE(running(), tracking);

            window.StopTrackingTime();
            HideScreenshotPopup();
            Intervals stopped = signedIn;
            stopped.insert("memoReminderTimer", 600000);
            QCOMPARE(running(), stopped);

            window.SignOut();
            QCOMPARE(running(), Intervals({ { "avatarsTimer", 900000 } }));
        }
    }

private:
    // What a row of the wiring test needs before its signal comes.
    enum Need
    {
        Anything,
        NotTracking,
        Tracking,
        Captured, // tracking, with a capture in the popup waiting to be saved
    };

    struct Wire
    {
        QString name;
        Need need;
        std::function<void()> emitOnce;
        std::function<int()> runs; // grows by one with each run of the slot
        int expected = 1;
        std::function<void()> tidy = nullptr;
    };

    static void Arrange(RosterWindow& window, Need need)
    {
        HideScreenshotPopup();
        const bool tracking = window.findChild<MiscFunctions*>()->GetUserCompanyID() != -1;
        if (need == NotTracking && tracking) {
            window.StopTrackingTime();
            HideScreenshotPopup();
        }
        if (need >= Tracking && !tracking)
            StartTracking(window, "Atlas", "Wiring");
        if (need == Captured) {
            window.SetMemo("Wiring", 0);
            QVERIFY(TakeCapture(window));
        }
    }

    QList<Wire> Wires(SignedInWindow& s, FakeDesktop& desktop)
    {
        RosterWindow& window = *s.window;
        MiscFunctions& misc = *window.findChild<MiscFunctions*>();
        TrayIcon* tray = &misc.GetTrayIcon();
        Memo* memo = &misc.GetMemoDialog();
        Preferences* preferences = &misc.GetPreferences();
        StopReminder* reminder = &misc.GetStopReminder();
        popupWindow* popup = ScreenshotPopup();
        ChatConnection* chat = &window.Chat();
        auto* update = &s.window->UpdateWindow();
        QMenu* rowMenu = nullptr;
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* widget : windows)
            if (auto* menu = qobject_cast<QMenu*>(widget);
                menu && FindAction(menu, "Work diary..."))
                rowMenu = menu;

        m_opened = 0;
        misc.SetLinkOpener([this](const QUrl&) { return ++m_opened > 0; });
        // Each state check asks once for the idle time (while the member is not idle).
        TrackingEnvironment environment = window.Environment();
        environment.idleTime = [this, idleTime = environment.idleTime] {
            ++m_idleQueries;
            return idleTime();
        };
        window.SetEnvironment(environment);
        m_shows.clear();
        for (QWidget* widget : std::initializer_list<QWidget*> { popup, preferences, &window })
            m_shows.append(std::make_shared<ShowCounter>(widget));
        m_redraws = std::make_shared<QSignalSpy>(s.list->model(), &QAbstractItemModel::modelReset);

        const auto fire = [&window](const char* timer) {
            return [&window, timer] {
                QMetaObject::invokeMethod(Find<QTimer>(window, timer), "timeout");
            };
        };
        const auto logged = [](const QString& text, bool exact = true) {
            return [text, exact] {
                return LogLines(text, exact);
            };
        };
        const auto said = [](const QString& text) {
            return [text] {
                return messages.count(text);
            };
        };
        const auto shows = [](const std::shared_ptr<ShowCounter>& counter) {
            return [counter] {
                return counter->shows;
            };
        };
        const auto toggles = [] {
            return LogLines("Time tracking is started", false)
                + LogLines("Time tracking is stopped", false);
        };
        const auto opened = [this] {
            return m_opened;
        };
        const auto redraws = [this] {
            return m_redraws->count();
        };
        const auto statusChanges = logged("User status was changed: ", false);
        const auto memoOpened = logged("Memo dialog was opened");
        const auto snapshotShown = logged("Get last snapshot info");
        const auto snapStarted = logged("Launch screen snap editor");
        const auto notices = [](int display) {
            return [display] {
                return TopLevelCount<QMessageBox>([display](QMessageBox* box) {
                    return box->isVisible()
                        && box->text() == QString("Can not capture %1 display!").arg(display);
                });
            };
        };
        const QString trace
            = SettingsProvider().GetCurrentSettings().logLocation + "/restApiLog.log";
        const auto traced = [trace](const QString& text) {
            return [trace, text] {
                LogManager::Flush();
                return ReadFile(trace).count(text);
            };
        };
        const auto hideMemo = [memo] {
            memo->hide();
        };
        const auto hideSnapshot = [&misc] {
            misc.GetLastSnapshot().hide();
        };
        const auto hidePreferences = [preferences] {
            preferences->hide();
        };
        const auto closeSnap = [&misc] {
            // The editor opens once the desktop's grab is back.
            QTRY_VERIFY(misc.GetScreensnapEditor());
            delete misc.GetScreensnapEditor();
        };
        const auto closeWindows = [] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget* widget : windows)
                if (qobject_cast<QMessageBox*>(widget) || qobject_cast<ChatWindowDialog*>(widget))
                    widget->close();
        };
        const auto signBackIn = [&s] {
            QVERIFY(s.CompleteSignIn());
        };
        const auto hotkey = [&misc](int type) {
            return Emitting(&misc, &MiscFunctions::ShortcutActivated, type);
        };
        const auto action = [&window](const char* name) {
            return [&window, name] {
                Find<QAction>(window, name)->trigger();
            };
        };
        const auto click = [&window](const char* name) {
            return [&window, name] {
                Find<QPushButton>(window, name)->click();
            };
        };
        const auto link = [&window](const char* name) {
            return Emitting(
                Find<QLabel>(window, name), &QLabel::linkActivated, "https://web.test/");
        };
        const auto rowAction = [&s, rowMenu](const char* text) {
            return [&s, rowMenu, text] {
                s.list->setCurrentItem(s.Row(11, 1003));
                FindAction(rowMenu, text)->trigger();
            };
        };
        const auto exiting = [](const std::function<void()>& emitOnce) {
            return [emitOnce] {
                InsideEventLoop(emitOnce);
            };
        };
        const auto downloadEnds = [&window](const std::function<void()>& emitOnce) {
            return [&window, emitOnce] {
                window.StartDownloadUpdate();
                emitOnce();
            };
        };
        const auto about = RestAPI::ApiResult::Success(RestAPI::AboutState);
        const auto aboutFailed
            = RestAPI::ApiResult::Failure(RestAPI::AboutState, Api::Outcome::Unreachable, {});

        return {
            // Timers.
            // Until the capture's grab is back: the state check's tick waits for a running grab.
            { "screenshot timer", Tracking, fire("screenshotTimer"), logged("Get statistic"), 1,
                [&s] {
                    const auto* misc = s.window->findChild<MiscFunctions*>();
                    QTRY_VERIFY(!misc->currentShot.picture.isNull());
                } },
            { "state timer", Anything, fire("stateTimer"),
                [this] {
                    return m_idleQueries;
                } },
            { "memo reminder timer", Anything, fire("memoReminderTimer"), shows(m_shows[0]) },
            { "roster timer", Anything, fire("restTimer"),
                logged("Set refreshing user's roster list"), 1,
                [&s] {
                    QVERIFY(s.Refresh());
                } },
            { "member screenshot timer", Anything, fire("screensTimer"),
                logged("Set load users screenshots for roster list") },
            { "working time timer", Anything, fire("workingTimeTimer"),
                logged("Working timer  - try to tick") },
            // A flag for the next refresh, which downloads the avatars once however often it
            // was set.
            { "avatar timer", Anything,
                [&s, fire] {
                    fire("avatarsTimer")();
                    QVERIFY(s.Refresh(RestAPI::AllAvatarsLoaded));
                },
                logged("Avatars were recieved") },
            { "stop reminder timer", NotTracking, fire("stopReminderTimer"),
                [&desktop] {
                    return desktop.trayWarnings.size();
                } },

            // The tray.
            { "tray: team room", Anything, Emitting(tray, &TrayIcon::OpenTeamRoom_Signal),
                logged("Show team room window") },
            { "tray: status", Anything,
                Emitting(tray, &TrayIcon::ChatStatusChange_Signal, RosterManager::STATUS_DND),
                statusChanges },
            { "tray: memo", Anything, Emitting(tray, &TrayIcon::OpenMemo_Signal), memoOpened, 1,
                hideMemo },
            { "tray: team", NotTracking, Emitting(tray, &TrayIcon::SelectTeam_Signal, "Borealis"),
                logged("Change team"), 1, hideMemo },
            { "tray: tracking", Anything, Emitting(tray, &TrayIcon::TrackingTime_Signal), toggles,
                1, hideMemo },
            { "tray: last snapshot", Captured, Emitting(tray, &TrayIcon::LastSnapshot_Signal),
                snapshotShown, 1, hideSnapshot },
            { "tray: sign out", Anything, Emitting(tray, &TrayIcon::SingOut_Signal),
                logged("Signed out"), 2, signBackIn },
            { "tray: exit", NotTracking, exiting(Emitting(tray, &TrayIcon::ExitApp_Singal)),
                logged("Application quit") },
            { "tray: offline users", Anything,
                Emitting(tray, &TrayIcon::ShowOfflineUsers_Signal, true),
                logged("Change offline users state in roster render") },
            { "tray: group by team", Anything, Emitting(tray, &TrayIcon::ShowGroups_Signal, true),
                redraws },
            { "tray: expand all", Anything, Emitting(tray, &TrayIcon::ExpandAll_Signal), redraws },
            { "tray: collapse all", Anything, Emitting(tray, &TrayIcon::CollapseAll_Signal),
                redraws, 1, Emitting(tray, &TrayIcon::ExpandAll_Signal) },
            { "tray: screensnap", Anything, Emitting(tray, &TrayIcon::Screensnap_Signal, 2),
                notices(2), 1, closeWindows },

            // Preferences, team menu, memo dialog, popup, stop reminder, REST answers.
            { "preferences: apply", Anything, Emitting(preferences, &Preferences::OnSettingsApply),
                logged("Load application config") },
            { "preferences: logging", Anything,
                Emitting(preferences, &Preferences::StopStartLoggingRequest),
                [] { return LogLines("Disable logs by user") + LogLines("Enable warning window"); },
                1,
                [&window] {
                    window.StartOrStopLogging();
                } },
            { "team menu", NotTracking,
                [&window] {
                    QAction* team = TeamAction(window, "Cinder");
                    team->setChecked(true);
                    emit Find<QMenu>(window, "menuSelect_team")->triggered(team);
                },
                logged("Change team"), 1, hideMemo },
            { "memo: changed", Anything, Emitting(memo, &Memo::MemoIsChanged, "Wiring", 0),
                statusChanges },
            { "memo: cancelled", Tracking,
                [&window, memo] {
                    window.SetMemo(QString(), 0);
                    emit memo->MemoIsCanceled();
                },
                toggles, 1, hideMemo },
            { "popup: closed", Captured, Emitting(popup, &popupWindow::OnPopupWindowClose),
                logged("Reset working time") },
            { "popup: memo", Anything, Emitting(popup, &popupWindow::OnMemoCall), memoOpened, 1,
                hideMemo },
            { "popup: discard", Anything, Emitting(popup, &popupWindow::OnDiscardButtonClick),
                logged("Reset working time") },
            { "stop reminder: start", NotTracking,
                Emitting(reminder, &StopReminder::OnStartTrackingTime_Signal), toggles, 1,
                hideMemo },
            // Start means start: tracking that began meanwhile goes on.
            { "stop reminder: start while tracking", Tracking,
                Emitting(reminder, &StopReminder::OnStartTrackingTime_Signal), toggles, 0 },
            { "stop reminder: memo", Anything,
                Emitting(reminder, &StopReminder::OnChangeMemo_Signal), memoOpened, 1, hideMemo },
            { "roster client: answer", Anything, Emitting(s.rest, &RestAPI::ApiDataOk, about),
                logged("About text was recieved") },
            { "roster client: failure", Anything,
                Emitting(s.rest, &RestAPI::ApiDataError, aboutFailed),
                logged("Api query failed: Api state: 35") },
            { "information client: answer", Anything, Emitting(s.info, &RestAPI::ApiDataOk, about),
                logged("About text was recieved") },
            { "information client: failure", Anything,
                Emitting(s.info, &RestAPI::ApiDataError, aboutFailed),
                logged("Api query failed: Api state: 35") },

            // Sign-in, exit confirmation, links, update window, chat client.
            { "sign-in: complete", Anything,
                [&window, &s] {
                    window.SignOut();
                    QVERIFY(s.CompleteSignIn());
                },
                logged("Signed in: demo") },
            { "sign-in: failed", Anything,
                Emitting(&misc.GetAuthDialog(), &AuthDialog::OnAuthFailed, "nobody"),
                logged("Sign-in error! Login name: nobody") },
            { "exit confirmation", NotTracking,
                exiting(Emitting(&misc.GetExitConfirm(), &ExitConfirm::ExitConfirm_Signal)),
                logged("Application quit") },
            { "lblLinkMyMail", Anything, link("lblLinkMyMail"), opened },
            { "lblLinkFindTessivanors", Anything, link("lblLinkFindTessivanors"), opened },
            { "lbLinkPostJob", Anything, link("lbLinkPostJob"), opened },
            { "lblLinkAcademy", Anything, link("lblLinkAcademy"), opened },
            // Hiding and showing again: a second run would look like the first.
            { "update: download", Anything, Emitting(update, &updateDialog::DownloadUpdate),
                [&window] { return int(window.isHidden()); }, 1,
                [&window] {
                    window.StopDownloadUpdate();
                } },
            { "update: download error", Anything,
                downloadEnds(Emitting(update, &updateDialog::DownloadUpdateError)),
                shows(m_shows[2]) },
            { "update: download cancelled", Anything,
                downloadEnds(Emitting(update, &updateDialog::DownloadCanceled)),
                shows(m_shows[2]) },
            // Refusing the offer hid nothing, and shows nothing: the closed window stays away.
            { "update: offer refused", Anything,
                [&window, update] {
                    window.close();
                    emit update->DownloadCanceled();
                },
                shows(m_shows[2]), 0,
                [&window] {
                    window.show();
                } },
            { "chat: message", Anything,
                Emitting(chat, &ChatConnection::MessageRecived, "bruno.m@localhost/QXmpp", "Wiring",
                    QDateTime()),
                [&desktop] {
                    return desktop.trayNotices.size();
                } },
            { "chat: connection", Anything,
                Emitting(chat, &ChatConnection::OnConnectionStateChange, false),
                said("Disconnected from xmpp server") },

            // Roster rows and their menu.
            { "row button", Anything,
                Emitting(s.list->findChild<RosterDelegate*>(), &RosterDelegate::OnItemClickAction,
                    11, 1003, RosterDelegate::BUTTON_WORK_DIARY, QPoint()),
                opened },
            { "row menu: conversation", Anything, rowAction("Start  conversation"),
                logged("Show chat with user"), 1, closeWindows },
            { "row menu: work diary", Anything, rowAction("Work diary..."), opened },

            // The ten hotkeys.
            { "hotkey: team room", Anything, hotkey(0), logged("Show team room window") },
            { "hotkey: preferences", Anything, hotkey(1), shows(m_shows[1]), 1, hidePreferences },
            { "hotkey: memo", Anything, hotkey(2), memoOpened, 1, hideMemo },
            { "hotkey: stop", Tracking, hotkey(3), toggles },
            { "hotkey: start", NotTracking, hotkey(4), toggles, 1, hideMemo },
            { "hotkey: last snapshot", Captured, hotkey(5), snapshotShown, 1, hideSnapshot },
            { "hotkey: whole desktop", Anything, hotkey(6), snapStarted, 1, closeSnap },
            // Without a display there is no screen to grab, and the slot says so.
            { "hotkey: display 1", Anything, hotkey(7),
                said("Display 1 could not be grabbed for a screen snap") },
            { "hotkey: display 2", Anything, hotkey(8), notices(2), 1, closeWindows },
            { "hotkey: display 3", Anything, hotkey(9), notices(3), 1, closeWindows },

            // The REST trace takes the roster client's lines only.
            { "roster client: log", Anything,
                Emitting(s.rest, &RestAPI::NetworkManagerLogSignal, "wiring trace"),
                traced("wiring trace") },
            { "information client: log", Anything,
                Emitting(s.info, &RestAPI::NetworkManagerLogSignal, "information trace"),
                traced("information trace"), 0 },

            // Joined by name.
            { "actionTrackingTime", Anything, action("actionTrackingTime"), toggles, 1, hideMemo },
            { "btnTimeControl", Anything, click("btnTimeControl"), toggles, 1, hideMemo },
            { "actionMemo", Tracking, action("actionMemo"), memoOpened, 1, hideMemo },
            { "actionAvailable", Anything, action("actionAvailable"), statusChanges },
            { "actionBusy", Anything, action("actionBusy"), statusChanges },
            { "actionShow_offline_users", Anything, action("actionShow_offline_users"),
                logged("Change offline users state in roster render") },
            { "actionExpand_all", Anything, action("actionExpand_all"), redraws },
            { "actionTime_logs", Anything, action("actionTime_logs"), opened },
            { "actionMessage_center", Anything, action("actionMessage_center"), opened },
            { "actionWork_diary", Anything, action("actionWork_diary"), opened },
            { "actionProfile", Anything, action("actionProfile"), opened },
            { "btnMyFinance", Anything, click("btnMyFinance"), opened },
            { "actionLast_snapshot", Captured, action("actionLast_snapshot"), snapshotShown, 1,
                hideSnapshot },
            { "actionSnap_the_whole_desktop", Tracking, action("actionSnap_the_whole_desktop"),
                snapStarted, 1, closeSnap },
            { "actionPreferences", Anything, action("actionPreferences"), shows(m_shows[1]), 1,
                hidePreferences },
            { "actionSign_out", Anything, action("actionSign_out"), logged("Signed out"), 2,
                signBackIn },
        };
    }

    int m_opened = 0;
    int m_idleQueries = 0;
    QList<std::shared_ptr<ShowCounter>> m_shows; // the popup, the preferences, the window
    std::shared_ptr<QSignalSpy> m_redraws;

    QStringList chatStatuses() const
    {
        QStringList statuses;
        const QList<QJsonObject> requests = m_service.Requests();
        for (const QJsonObject& request : requests)
            if (request.value("path").toString() == "/k4p/chat/status:var")
                statuses << request.value("fields").toObject().value("status").toString();
        return statuses;
    }

    FakeServiceProcess m_service;
};

QTEST_MAIN(TestRosterWindow)
#include "tst_rosterwindow.moc"
