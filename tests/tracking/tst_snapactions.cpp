#include "../snap/SnapFixture.h"
#include "Preferences.h"
#include "ScreenSnapSaveDialog.h"
#include "ScreenSnapWidget.h"
#include "TrackingFixture.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QHostInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTextEdit>

using namespace TrackingFixture;

namespace {

const QRect drawn(20, 15, 60, 40);

using SnapFixture::Part;

ScreenSnapWidget* SnapWindow(RosterWindow& window)
{
    return window.findChild<MiscFunctions*>()->GetScreensnapEditor();
}

// The texts of the message boxes on screen, each closed once read.
QStringList TakeMessages()
{
    QStringList texts;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
            texts << box->windowTitle() + ": " + box->text();
            box->close();
        }
    return texts;
}

// The texts of the text popups on screen.
QStringList PopupTexts()
{
    QStringList texts;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* popup = qobject_cast<popupWindow*>(window); popup && popup->isVisible())
            texts << Part<QLabel>(popup, "lblPopupText")->text();
    return texts;
}

// A rectangle drawn with the keyboard and the mouse; then Escape hands the picture over.
ScreenSnapSaveDialog* DrawAndFinish(ScreenSnapWidget* snap, QImage* picture)
{
    ScreensnapEditor* editor = snap->GetEditor();
    QTest::keyClick(editor, Qt::Key_R);
    SnapFixture::Drag(*editor, { drawn.topLeft(), drawn.center(), drawn.bottomRight() });
    *picture = SnapFixture::Saved(*editor);
    QTest::keyClick(editor, Qt::Key_Escape);
    return snap->GetSaveDialog();
}

// The window's grabs go through the gate, which counts them.
void CountGrabs(RosterWindow& window, const GrabGate& gate)
{
    TrackingEnvironment environment = window.Environment();
    environment.grabDesktop = gate.Wrap(environment.grabDesktop);
    window.SetEnvironment(environment);
}

} // namespace

class TestSnapActions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        ResetSettings();
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void init() { QVERIFY(m_service.Control("reset")); }

    void snapEntriesOpenOneEditor_data()
    {
        QTest::addColumn<QString>("road");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("message"); // empty: the editor opens
        // Single displays are grabbed from the screen, which needs a real display: the
        // two-display test takes them.
        for (const char* road : { "menu", "hotkey", "tray" }) {
            QTest::addRow("%s, whole desktop", road) << road << 0 << "";
            QTest::addRow("%s, display 2", road) << road << 2 << "Can not capture 2 display!";
            QTest::addRow("%s, display 3", road) << road << 3 << "Can not capture 3 display!";
        }
    }

    void snapEntriesOpenOneEditor()
    {
        QFETCH(QString, road);
        QFETCH(int, mode);
        QFETCH(QString, message);
        RosterWindow window;
        FakeDesktop desktop;
        desktop.picture = SnapFixture::Pattern(QSize(200, 150));
        desktop.Install(window);
        const GrabGate grabs(true);
        CountGrabs(window, grabs);
        const char* actions[] = { "actionSnap_the_whole_desktop", "actionSnap_1_display",
            "actionSnap_2_display", "actionSnap_3_display" };
        TrayIcon& tray = window.findChild<MiscFunctions*>()->GetTrayIcon();
        const auto take = [&] {
            if (road == "menu")
                Find<QAction>(window, actions[mode])->trigger();
            else if (road == "hotkey")
                window.ShortcutActivated(MiscFunctions::SHORTCUT_SNAP_ALL_DESKTOP + mode);
            else
                FindAction(tray.contextMenu(), "Screensnap")->menu()->actions().at(mode)->trigger();
        };

        take(); // signed out: nothing
        QVERIFY(!SnapWindow(window));
        QVERIFY(TakeMessages().isEmpty());

        QVERIFY(SignIn(window));
        window.findChild<MiscFunctions*>()->SetUserCompany(11, "Atlas");
        LogReader log;
        take();
        if (!message.isEmpty()) {
            QCOMPARE(TakeMessages(), QStringList { "Screen Snap: " + message });
            QVERIFY(!SnapWindow(window));
            return;
        }
        // The desktop is grabbed away from the window, which opens the editor when it comes.
        QTRY_VERIFY(SnapWindow(window) && SnapWindow(window)->isVisible());
        QPointer<ScreenSnapWidget> snap = SnapWindow(window);
        QCOMPARE(snap->pos(), QPoint(0, 0));
        QCOMPARE(snap->size(), QSize(200, 150));
        QCOMPARE(SnapFixture::Saved(*snap->GetEditor()), desktop.picture);
        QVERIFY(log.Lines().contains("Launch screen snap editor"));
        // Another snap while one is open changes nothing, and grabs nothing.
        take();
        QTest::qWait(50);
        QCOMPARE(SnapWindow(window), snap.data());
        QCOMPARE(grabs.Grabs(), 1);
        delete snap;
    }

    // While the desktop is grabbed for a snap, a second snap asks for nothing more, and a
    // sign-out in the meantime leaves the picture unshown.
    void aSnapOnItsWay_data()
    {
        QTest::addColumn<bool>("signOut");
        QTest::newRow("opens once") << false;
        QTest::newRow("signed out meanwhile") << true;
    }

    void aSnapOnItsWay()
    {
        QFETCH(bool, signOut);
        RosterWindow window;
        FakeDesktop desktop;
        desktop.Install(window);
        GrabGate grabs;
        CountGrabs(window, grabs);
        QVERIFY(SignIn(window));
        window.on_actionSnap_the_whole_desktop_triggered();
        window.on_actionSnap_the_whole_desktop_triggered();
        if (signOut)
            Find<QAction>(window, "actionSign_out")->trigger();
        grabs.Open();
        QTest::qWait(100);
        QCOMPARE(grabs.Grabs(), 1);
        QCOMPARE(SnapWindow(window) != nullptr, !signOut);
        delete SnapWindow(window);
    }

    void uploadReachesTheServiceAndTheClipboard()
    {
        RosterWindow window;
        FakeDesktop desktop;
        desktop.picture = SnapFixture::Pattern(QSize(200, 150));
        desktop.Install(window);
        QVERIFY(SignIn(window));
        auto* misc = window.findChild<MiscFunctions*>();
        misc->SetUserCompany(12, "Borealis");
        window.on_actionSnap_the_whole_desktop_triggered();
        // The team the snap was taken for is the one it is shared with, even when the team
        // changes while the desktop is grabbed.
        misc->SetUserCompany(-1, QString());
        QTRY_VERIFY(SnapWindow(window));
        QImage picture;
        ScreenSnapSaveDialog* dialog = DrawAndFinish(SnapWindow(window), &picture);
        Part<QLineEdit>(dialog, "txtTitle")->setText(QString::fromUtf8("Kassenfehler – Übersicht"));
        Part<QTextEdit>(dialog, "txtDescription")->setPlainText("Line one\nline two");
        // Copying is told in the hub's notice popup, which the upload leaves to run its time.
        QTest::mouseClick(Part<QPushButton>(dialog, "btnCopyToClipboard"), Qt::LeftButton);
        QCOMPARE(PopupTexts(), QStringList { "Image has been copied to clipboard" });
        QTest::mouseClick(Part<QRadioButton>(dialog, "radioTeam"), Qt::LeftButton);
        QTest::mouseClick(Part<QPushButton>(dialog, "btnUpload"), Qt::LeftButton);

        QTRY_COMPARE_WITH_TIMEOUT(m_service.Uploads().size(), 1, 10000);
        const QJsonObject upload = m_service.Uploads().first();
        QCOMPARE(upload.value("kind").toString(), QString("screensnap"));
        const QJsonObject fields = upload.value("fields").toObject();
        const QMap<QString, QString> expected { { "title", "Kassenfehler – Übersicht" },
            { "description", "Line one\nline two" }, { "active_window", " " },
            { "key_strokes", "0" }, { "mouse_clicks", "0" },
            { "host_name", QHostInfo::localHostName() }, { "team_id", "12" },
            { "permission", "Team" }, { "password", "" }, { "member_id", "1001" } };
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(fields.value(it.key()).toString(), it.value());
        const QImage sent = QImage::fromData(m_service.UploadImage(upload), "PNG")
                                .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(sent, picture);
        QCOMPARE(sent.pixel(drawn.center()), qRgb(255, 0, 0));

        const QString shortUrl = m_service.BaseUrl().toString() + "/s/snap0001";
        QTRY_COMPARE(QApplication::clipboard()->text(), shortUrl);
        QTRY_VERIFY(!SnapWindow(window));
        HideScreenshotPopup();
    }

    void failedUploadKeepsThePicture()
    {
        QVERIFY(m_service.Control(
            "fail", { { "mode", "http500" }, { "path", "/k4p/snaps/upload:var" } }));
        RosterWindow window;
        FakeDesktop desktop;
        desktop.picture = SnapFixture::Pattern(QSize(120, 90));
        desktop.Install(window);
        QVERIFY(SignIn(window));
        window.on_actionSnap_the_whole_desktop_triggered();
        QTRY_VERIFY(SnapWindow(window));
        QImage picture;
        ScreenSnapSaveDialog* dialog = DrawAndFinish(SnapWindow(window), &picture);
        // The dialog opens the main window's own preferences, applied as the main window's.
        LogReader log;
        QTest::mouseClick(Part<QPushButton>(dialog, "btnPreferences"), Qt::LeftButton);
        Preferences* preferences = nullptr;
        for (QWidget* each : QApplication::topLevelWidgets())
            if (auto* candidate = qobject_cast<Preferences*>(each);
                candidate && candidate->isVisible())
                preferences = candidate;
        QVERIFY(
            preferences && preferences == &window.findChild<MiscFunctions*>()->GetPreferences());
        QTest::mouseClick(Part<QPushButton>(preferences, "btnOK"), Qt::LeftButton);
        QVERIFY(log.Lines().contains("Load application config"));
        Part<QLineEdit>(dialog, "txtTitle")->setText("Draft: a/b");
        QVERIFY(!Part<QRadioButton>(dialog, "radioTeam")->isEnabled()); // no team chosen
        QTest::mouseClick(Part<QRadioButton>(dialog, "radioPublic"), Qt::LeftButton);
        QTest::mouseClick(Part<QPushButton>(dialog, "btnUpload"), Qt::LeftButton);

        const QString folder = AppInfo::dataFolder() + "/screensnaps";
        QTRY_COMPARE_WITH_TIMEOUT(QDir(folder).entryList(QDir::Files).size(), 1, 10000);
        const QString file = QDir(folder).entryList(QDir::Files).first();
        QVERIFY2(file.startsWith("Draft ab("), qPrintable(file));
        QCOMPARE(
            QImage(QDir(folder).filePath(file)).convertToFormat(QImage::Format_RGB32), picture);
        QTRY_VERIFY(!PopupTexts().isEmpty());
        QCOMPARE(PopupTexts(),
            QStringList { "The screensnap could not be uploaded. Please try again later. It was "
                          "kept in "
                + QDir(folder).filePath(file) });
        HideScreenshotPopup();
    }

    // Each answer finds its own snap by the number its upload carries: the first, which never
    // leaves (no network) or fails after the second's success, is kept under its own title;
    // the second reaches the service.
    void eachAnswerFindsItsOwnSnap_data()
    {
        QTest::addColumn<bool>("late"); // the first fails late rather than never leaving
        QTest::newRow("no network for the first") << false;
        QTest::newRow("the first fails last") << true;
    }

    void eachAnswerFindsItsOwnSnap()
    {
        QFETCH(bool, late);
        const QString folder = AppInfo::dataFolder() + "/screensnaps";
        QDir(folder).removeRecursively();
        const int before = m_service.Uploads().size();
        RosterWindow window;
        QVERIFY(SignIn(window));
        auto* api = Find<RestAPI>(window, "restApi");
        bool online = late;
        api->SetNetworkCheck([&online] { return online; });
        api->SetRequestTimeout(1000);
        QVERIFY(!late
            || m_service.Control("fail",
                { { "mode", "slow" }, { "path", "/k4p/snaps/upload:var" }, { "times", "1" },
                    { "delay", "3000" } }));
        QList<QByteArray> pictures;
        auto* misc = window.findChild<MiscFunctions*>();
        for (const QString title : { "first", "second" }) {
            QBuffer png;
            png.open(QIODevice::WriteOnly);
            SnapFixture::Pattern(QSize(20 + pictures.size(), 10)).save(&png, "PNG");
            pictures << png.data();
            misc->OnScreenIsReady(title, "", RestAPI::PublicPermission, "", pictures.last());
            online = true;
        }

        QTRY_COMPARE_WITH_TIMEOUT(QDir(folder).entryList(QDir::Files).size(), 1, 10000);
        const QString kept = QDir(folder).entryList(QDir::Files).first();
        QVERIFY2(kept.startsWith("first("), qPrintable(kept));
        QFile file(QDir(folder).filePath(kept));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == pictures.first());
        const auto second = [this, before] {
            for (const QJsonObject& upload : m_service.Uploads().mid(before))
                if (upload.value("fields").toObject().value("title") == "second")
                    return m_service.UploadImage(upload);
            return QByteArray();
        };
        QTRY_COMPARE(second(), pictures.last());
        HideScreenshotPopup();
    }

    void lastSnapshotSummary_data()
    {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("samples");
        QTest::addColumn<QString>("text");
        const QString head = "Time: 09:05:07\r\n\r\n\r\n";
        QTest::newRow("no samples") << "Atlas"
                                    << "demo" << 0
                                    << head
                + "Company: Atlas\r\nUser: demo\r\nActive window title: Editor - notes.txt\r\n"
                  "Totals: 12 kbd event(s), 3 mouse event(s))\r\n\r\n";
        QTest::newRow("samples oldest first, names kept")
            << QString::fromUtf8("Команда") << QString::fromUtf8("Göran") << 2
            << head + QString::fromUtf8("Company: Команда\r\nUser: Göran\r\n")
                + "Active window title: Editor - notes.txt\r\n"
                  "Totals: 12 kbd event(s), 3 mouse event(s))\r\n\r\n"
                  "09:03:07 - 5 kbd event(s), 1 mouse event(s)\r\n\r\n"
                  "09:04:07 - 7 kbd event(s), 2 mouse event(s)\r\n\r\n";
    }

    void lastSnapshotSummary()
    {
        QFETCH(QString, company);
        QFETCH(QString, user);
        QFETCH(int, samples);
        RosterWindow window;
        auto* misc = window.findChild<MiscFunctions*>();
        QVERIFY(SignIn(window));
        misc->SetUserName(user);
        misc->SetUserCompany(11, company);
        LastSnapshot& dialog = misc->GetLastSnapshot();

        window.ShortcutActivated(MiscFunctions::SHORTCUT_LAST_SNAPSHOT);
        QVERIFY(!dialog.isVisible()); // nothing captured yet

        MiscFunctions::SCREENSHOT& shot = misc->currentShot;
        shot.time = QTime(9, 5, 7);
        shot.activeWindow = "Editor - notes.txt";
        shot.keyStrokes = 12;
        shot.mouseClicks = 3;
        shot.picture = QPixmap::fromImage(FakeDesktop::Picture(Qt::darkCyan));
        for (int i = 0; i < samples; ++i)
            shot.statistic.append({ 1 + i, 5 + 2 * i, QTime(9, 3 + i, 7) });
        LogReader log;
        misc->GetTrayIcon().SetLastSnapshotEnabled(true);
        FindAction(misc->GetTrayIcon().contextMenu(), "Last snapshot")->trigger();
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.isModal());
        QTEST(LastSnapshot::SummaryText(shot, company, user), "text");
        QVERIFY(Part<QTextBrowser>(&dialog, "textBrowser")->toPlainText().contains(user));
        QCOMPARE(Part<QLabel>(&dialog, "lblDesktopPicture")->pixmap()->toImage(),
            shot.picture.toImage());
        QVERIFY(log.Lines().contains("Get last snapshot info"));
        QTest::mouseClick(Part<QPushButton>(&dialog, "btnOK"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }

private:
    FakeServiceProcess m_service;
};

QTEST_MAIN(TestSnapActions)
#include "tst_snapactions.moc"
