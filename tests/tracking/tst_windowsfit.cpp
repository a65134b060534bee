#include "FormInspector.h"
#include "SignedInWindow.h"

#include "chat/ChatWindowDialog.h"
#include "snap/ObjectControl.h"
#include "snap/PasswordSet.h"
#include "snap/ScreenSnapSaveDialog.h"
#include "snap/ScreenSnapWidget.h"
#include "snap/textTool.h"
#include "tracking/updateDialog.h"

#include <QScreen>
#include <QStackedWidget>

#include <functional>
#include <memory>

using namespace TrackingFixture;

namespace {

// What the main window is drawn with on purpose.
const QStringList mainWindowDesign {
    "statusLabel", // the bottom band, 10 pixels wider than the window
    "statusText", // the count of teams: as wide as the window from the roster's left edge
    "statusLabel/statusText", // and on the band
    "rosterTitleWidget", // as wide as the window from 11 pixels in; its end is blank
    "btnClose/lblTitle", "btnMinimize/lblTitle", "btnMaximize/lblTitle", // the title is centred
    "edge*", // the strips that resize the frameless window show nothing
};

} // namespace

// Every window and dialog as a member sees it, at the density the test runs with (QT_FONT_DPI
// 96, 120 and 144 run it three times): no text cut, no control on another, none out of its box,
// every window on the 1280 x 1024 screen and in front when it is shown.
class TestWindowsFit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CHAT_PORT", "9");
        QVERIFY(m_service.Start({ "--update-version", "" }));
        m_service.PointClientsHere();
        ResetSettings();
        m_s = std::make_unique<SignedInWindow>();
        QVERIFY(m_s->CompleteSignIn());
        QVERIFY(QTest::qWaitForWindowExposed(m_s->window.get()));
        m_picture = QPixmap(640, 400);
        m_picture.fill(Qt::darkCyan);
    }

    void cleanupTestCase() { m_s.reset(); }

    void windowHolds_data()
    {
        QTest::addColumn<QString>("window");
        for (const char* name : { "main window", "sign-in", "memo", "stop reminder",
                 "memo reminder", "exit confirmation", "last snapshot", "update", "popup", "chat",
                 "snap tool box", "save", "password", "text", "format" })
            QTest::newRow(name) << name;
        for (int page = 0; page < 6; ++page)
            QTest::addRow("preferences page %d", page) << QString("preferences %1").arg(page);
    }

    void windowHolds()
    {
        QFETCH(QString, window);
        QWidget* shown = Open(window);
        m_shown = shown;
        QVERIFY(shown);
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        const QStringList found = FormInspector::Inspect(
            shown, window == "main window" ? mainWindowDesign : QStringList());
        QVERIFY2(found.isEmpty(), qPrintable(found.join("; ")));
        // The frame the window manager gives it lies on the screen.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(screen.size(), QSize(1280, 1024));
        QTRY_VERIFY2(screen.contains(shown->frameGeometry()),
            qPrintable(QString("frame %1,%2 %3x%4")
                           .arg(shown->frameGeometry().x())
                           .arg(shown->frameGeometry().y())
                           .arg(shown->frameGeometry().width())
                           .arg(shown->frameGeometry().height())));
        // Nothing else of the client covers its centre.
        const QPoint centre = shown->mapToGlobal(shown->rect().center());
        QTRY_COMPARE(QApplication::topLevelAt(centre), shown);
    }

    // The next window is shown alone, whatever this one found. The snap window stays for its
    // save dialog, which discards the snap.
    void cleanup()
    {
        const QString window = QTest::currentDataTag();
        if (window == "save" && m_snap && m_snap->GetSaveDialog())
            m_snap->GetSaveDialog()->on_btnDiscard_clicked();
        else if (m_shown && m_shown != m_s->window.get() && window != "snap tool box")
            m_shown->hide();
    }

private:
    MiscFunctions& Misc() { return *m_s->window->findChild<MiscFunctions*>(); }

    QWidget* Open(const QString& name)
    {
        const QMap<QString, std::function<QWidget*()>> openers {
            { "main window",
                [this] {
                    return m_s->window.get();
                } },
            { "sign-in",
                [this] {
                    return Shown(&Misc().GetAuthDialog());
                } },
            { "memo",
                [this] {
                    return Shown(&Misc().GetMemoDialog());
                } },
            { "stop reminder",
                [this] {
                    return Shown(&Misc().GetStopReminder());
                } },
            { "memo reminder",
                [this] {
                    return Shown(&Misc().GetRemindDialog());
                } },
            { "exit confirmation",
                [this] {
                    return Shown(&Misc().GetExitConfirm());
                } },
            { "last snapshot",
                [this] {
                    Misc().GetLastSnapshot().SetInfo(m_picture, "Team: Atlas");
                    return Shown(&Misc().GetLastSnapshot());
                } },
            { "update",
                [this] {
                    return Shown(&m_s->window->UpdateWindow());
                } },
            { "popup",
                [this] {
                    return Popup();
                } },
            { "chat",
                [this] {
                    return Chat();
                } },
            { "snap tool box",
                [this] {
                    return ToolBox();
                } },
            { "save",
                [this] {
                    return SaveDialog();
                } },
            { "password",
                [this] {
                    return Owned(std::make_unique<PasswordSet>());
                } },
            { "text",
                [this] {
                    return Owned(std::make_unique<textTool>());
                } },
            { "format",
                [this] {
                    return Owned(std::make_unique<ObjectControl>());
                } },
        };
        if (name.startsWith("preferences"))
            return PreferencesPage(name.section(' ', 1).toInt());
        return openers.value(name)();
    }

    static QWidget* Shown(QWidget* window)
    {
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    }

    QWidget* Owned(std::unique_ptr<QWidget> window)
    {
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        m_owned = std::move(window);
        return Shown(m_owned.get());
    }

    QWidget* PreferencesPage(int page)
    {
        Preferences& preferences = Misc().GetPreferences();
        Shown(&preferences);
        Find<QStackedWidget>(preferences, "optionsWidget")->setCurrentIndex(page);
        return &preferences;
    }

    // The screenshot notice, once it has risen into the screen's corner.
    QWidget* Popup()
    {
        popupWindow* popup = ScreenshotPopup();
        popup->ShowPopup("Atlas", "12:00", "Editor - notes.txt", m_picture, 60000, 100);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        if (!QTest::qWaitFor([&] { return popup->geometry().bottom() < area.bottom(); }))
            return nullptr;
        return popup;
    }

    QWidget* Chat()
    {
        m_s->window->StartConversation(m_s->Member(11, 1002), QString());
        return TopLevel<ChatWindowDialog>();
    }

    // The tool box over the snap window that covers the screen.
    QWidget* ToolBox()
    {
        Misc().StartScreensnapEditor(11, "Atlas", m_picture, MiscFunctions::SNAP_MODE_ALL_DESKTOP);
        m_snap = Misc().GetScreensnapEditor();
        if (!m_snap || !QTest::qWaitForWindowExposed(m_snap))
            return nullptr;
        return &m_snap->GetToolBox();
    }

    // The snap window done with: its picture handed to a new save dialog.
    QWidget* SaveDialog()
    {
        if (!m_snap)
            return nullptr;
        m_snap->close();
        return m_snap->GetSaveDialog();
    }

    FakeServiceProcess m_service;
    std::unique_ptr<SignedInWindow> m_s;
    std::unique_ptr<QWidget> m_owned;
    QPointer<QWidget> m_shown;
    QPointer<ScreenSnapWidget> m_snap;
    QPixmap m_picture;
};

QTEST_MAIN(TestWindowsFit)
#include "tst_windowsfit.moc"
