#include "ScreenSnapWidget.h"
#include "ScreensnapEditor.h"
#include "TrackingFixture.h"

#include <QMessageBox>
#include <QScreen>
#include <QWindow>

#include <memory>

using namespace TrackingFixture;

// Screen snaps on a desktop of two screens (1280 x 1024 and 800 x 600), each showing a colour of
// its own: every grab is its display's, by that display's size. The whole desktop is the first
// screen's root window, grabbed through the snap's own X connection.
class TestSnapDisplays : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        ResetSettings();
        const QList<QScreen*> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        for (int i = 0; i < screens.size(); ++i) {
            auto fill = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
            fill->setAutoFillBackground(true);
            QPalette palette;
            palette.setColor(QPalette::Window, colours[i]);
            fill->setPalette(palette);
            fill->createWinId();
            fill->windowHandle()->setScreen(screens[i]);
            fill->setGeometry(screens[i]->geometry());
            fill->show();
            QVERIFY(QTest::qWaitForWindowExposed(fill.get()));
            m_fills.push_back(std::move(fill));
        }
    }

    void eachDisplayIsGrabbedWhole_data()
    {
        QTest::addColumn<int>("hotkey");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("whole desktop")
            << int(MiscFunctions::SHORTCUT_SNAP_ALL_DESKTOP) << QSize(1280, 1024) << colours[0];
        QTest::newRow("display 1")
            << int(MiscFunctions::SHORTCUT_SNAP_1_DISPLAY) << QSize(1280, 1024) << colours[0];
        QTest::newRow("display 2")
            << int(MiscFunctions::SHORTCUT_SNAP_2_DISPLAY) << QSize(800, 600) << colours[1];
        QTest::newRow("display 3")
            << int(MiscFunctions::SHORTCUT_SNAP_3_DISPLAY) << QSize() << QColor();
    }

    void eachDisplayIsGrabbedWhole()
    {
        QFETCH(int, hotkey);
        QFETCH(QSize, size);
        QFETCH(QColor, colour);
        RosterWindow window;
        MarkSignedIn(window);
        window.ShortcutActivated(hotkey);
        auto* misc = window.findChild<MiscFunctions*>();
        if (!size.isValid()) {
            QVERIFY(!misc->GetScreensnapEditor());
            QMessageBox* box = TopLevel<QMessageBox>();
            QVERIFY(box && box->isVisible());
            QCOMPARE(box->text(), QString("Can not capture 3 display!"));
            box->close();
            return;
        }
        QTRY_VERIFY(misc->GetScreensnapEditor());
        ScreenSnapWidget* snap = misc->GetScreensnapEditor();
        QVERIFY(QTest::qWaitForWindowExposed(snap));
        QCOMPARE(snap->geometry(), QRect(QPoint(0, 0), size));
        const QImage picture = snap->GetEditor()->GetPictureForSaving().toImage();
        QCOMPARE(picture.size(), size);
        for (const QPoint& at : { QPoint(10, 10), QPoint(size.width() - 10, size.height() - 10) })
            QCOMPARE(QColor(picture.pixel(at)), colour);
        delete snap;
    }

private:
    const QColor colours[2] = { QColor(200, 40, 40), QColor(30, 60, 210) };
    std::vector<std::unique_ptr<QWidget>> m_fills;
};

QTEST_MAIN(TestSnapDisplays)
#include "tst_snapdisplays.moc"
