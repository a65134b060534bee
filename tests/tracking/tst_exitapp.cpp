#include "../DesignFont.h"
#include "TrackingFixture.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScreen>

using namespace TrackingFixture;

// Leaving the client: at once, or after the confirmation, whose Exit quits by itself. Each
// case runs the application's event loop and sees whether something ends it.
class TestExitApp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        UseDesignFont();
        qputenv("MOVARELQUINTASH_API_URL", "https://127.0.0.1:9");
    }

    void init()
    {
        ResetSettings();
        m_window = std::make_unique<RosterWindow>();
        m_misc = m_window->findChild<MiscFunctions*>();
        m_confirm = &m_misc->GetExitConfirm();
    }

    void cleanup()
    {
        m_confirm->hide();
        m_window.reset();
    }

    void withoutConfirmationTheTrayQuitsAtOnce()
    {
        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.confirmAtExit = false; });
        LogReader log;
        QVERIFY(Quits([this] { emit m_misc->GetTrayIcon().ExitApp_Singal(); }));
        QVERIFY(!m_confirm->isVisible());
        QCOMPARE(log.Lines().count("Application quit"), 1);
    }

    void theConfirmationAsksFirstAndQuitsOnExit()
    {
        LogReader log;
        QVERIFY(!Quits([this] { m_window->ExitApp(); }));
        QVERIFY(m_confirm->isVisible());
        QVERIFY(m_confirm->isModal());
        QVERIFY(log.HasInOrder({ "Show exit confirm", "Show exit confirm - ok" }));
        QVERIFY(!log.Lines().contains("Application quit"));

        // "Do not ask me again": stored, and the dialog's Exit quits with no log line.
        m_confirm->findChild<QCheckBox*>("chkUseConfirm")->setChecked(true);
        log.Mark();
        QVERIFY(Quits([this] { m_confirm->findChild<QPushButton*>("btnExit")->click(); }));
        QVERIFY(!m_confirm->isVisible());
        QVERIFY(!log.Lines().contains("Application quit"));
        QVERIFY(!SettingsProvider::instance()->GetCurrentSettings().confirmAtExit);
    }

    void exitKeepsAskingUnlessTold()
    {
        QVERIFY(!Quits([this] { m_window->ExitApp(); }));
        QVERIFY(Quits([this] { m_confirm->findChild<QPushButton*>("btnExit")->click(); }));
        QVERIFY(SettingsProvider::instance()->GetCurrentSettings().confirmAtExit);
    }

    // While the question shows, the tray's exit quits; after Cancel the next exit asks again.
    void cancelTakesTheExitBack()
    {
        QVERIFY(!Quits([this] { m_window->ExitApp(); }));
        LogReader log;
        QVERIFY(Quits([this] { emit m_misc->GetTrayIcon().ExitApp_Singal(); }));
        QCOMPARE(log.Lines().count("Application quit"), 1);
        m_confirm->hide();

        QVERIFY(!Quits([this] { m_window->ExitApp(); }));
        m_confirm->findChild<QPushButton*>("btnCancel")->click();
        QVERIFY(!m_confirm->isVisible());
        QVERIFY(!Quits([this] { emit m_misc->GetTrayIcon().ExitApp_Singal(); }));
        QVERIFY(m_confirm->isVisible());
    }

    void aMinimisedWindowComesUpBeforeTheQuestion()
    {
        m_window->showMinimized();
        QVERIFY(m_window->isMinimized());
        QVERIFY(!Quits([this] { m_window->ExitApp(); }));
        QVERIFY(!m_window->isMinimized());
        QVERIFY(m_confirm->isVisible());
    }

    void theConfirmationIsCentredOnTheDesktop()
    {
        m_window->ExitApp();
        QTRY_VERIFY(m_confirm->isVisible());
        const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(m_confirm->frameGeometry().center(), desktop.center());
        QCOMPARE(m_confirm->size(), QSize(325, 110));
        const int middle = (m_confirm->width() - 1) / 2;
        for (const char* name : { "label", "chkUseConfirm" }) {
            const QWidget* widget = m_confirm->findChild<QWidget*>(name);
            QVERIFY(qAbs(widget->x() + widget->width() / 2 - middle) <= 1);
        }
    }

private:
    // Runs `action` inside the event loop; true when the loop was told to quit soon after.
    static bool Quits(const std::function<void()>& action)
    {
        QTimer::singleShot(0, action);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(300);
        return QCoreApplication::exec() == 0;
    }

    std::unique_ptr<RosterWindow> m_window;
    MiscFunctions* m_misc = nullptr;
    ExitConfirm* m_confirm = nullptr;
};

QTEST_MAIN(TestExitApp)
#include "tst_exitapp.moc"
