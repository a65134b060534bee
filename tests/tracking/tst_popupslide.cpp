#include "popupWindow.h"

#include "SettingsProvider.h"

#include <QScreen>
#include <QtTest>

#include <X11/Xlib.h>

// On a bare X server, as the captures' popup rises on its own timer: the popup drops the
// server's notices of its slide's steps, and must still end where the server has it, with Qt
// knowing so.
class tst_PopupSlide : public QObject
{
    Q_OBJECT

private slots:
    void aRisenPopupStandsWhereTheServerHasIt_data()
    {
        QTest::addColumn<int>("stepMs");
        QTest::newRow("the captures' slide") << 2;
        QTest::newRow("a slower one") << 15;
    }

    void aRisenPopupStandsWhereTheServerHasIt()
    {
        QFETCH(int, stepMs);
        Q_INIT_RESOURCE(Res);
        SettingsProvider::SETTINGS s = SettingsProvider::instance()->GetCurrentSettings();
        s.soundMode = 0;
        SettingsProvider::instance()->SetCurrentSettings(s);

        popupWindow popup;
        QPixmap shot(32, 24);
        shot.fill(Qt::gray);
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(popup.ShowPopup(QStringLiteral("jdoe"), QStringLiteral("Team A"),
                         QStringLiteral("Editor"), shot, 60000, stepMs),
                false);
            auto* slide = popup.findChild<QTimer*>(QStringLiteral("animationTimer"));
            QTRY_VERIFY_WITH_TIMEOUT(!slide->isActive(), 5000);
            QTest::qWait(100); // the notices of the last steps

            const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
            const QPoint expected(area.right() - popup.width(), popup.y());
            QVERIFY(popup.y() <= area.bottom() - popup.height()
                && popup.y() > area.bottom() - popup.height() - 5);
            QCOMPARE(popup.pos(), expected);
            QCOMPARE(ServerPosition(popup), expected);
            QCOMPARE(popup.windowHandle()->position(), expected);
            QCOMPARE(popup.mapToGlobal(QPoint(3, 4)), expected + QPoint(3, 4));
            popup.hide();
        }
    }

private:
    static QPoint ServerPosition(const QWidget& window)
    {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return {};
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(
            display, Window(window.winId()), DefaultRootWindow(display), 0, 0, &x, &y, &child);
        XCloseDisplay(display);
        return { x, y };
    }
};

QTEST_MAIN(tst_PopupSlide)
#include "tst_popupslide.moc"
