#include "popupWindow.h"

#include "SettingsProvider.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

// Runs on a desktop with a window manager: the offscreen platform activates every window it
// shows, and only a real window manager keeps windows from leaving the screen.
class tst_PopupFocus : public QObject
{
    Q_OBJECT

private slots:
    void slidingInLeavesTheKeyboardAlone();
    void slidesAwayAndClosesUnderAWindowManager_data();
    void slidesAwayAndClosesUnderAWindowManager();
};

void tst_PopupFocus::slidingInLeavesTheKeyboardAlone()
{
    Q_INIT_RESOURCE(Res);
    SettingsProvider::SETTINGS s = SettingsProvider::instance()->GetCurrentSettings();
    s.soundMode = 0;
    SettingsProvider::instance()->SetCurrentSettings(s);

    QLineEdit editor;
    editor.show();
    editor.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&editor));

    popupWindow popup;
    QPixmap shot(32, 24);
    shot.fill(Qt::gray);
    QCOMPARE(popup.ShowPopup(QStringLiteral("jdoe"), QStringLiteral("Team A"),
                 QStringLiteral("Editor"), shot, 5000, 3600 * 1000),
        false);
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    for (int i = 0; i < 40; ++i)
        popup.AnimationEvent();
    QTest::qWait(100);
    QCOMPARE(QApplication::activeWindow(), &editor);
    QTest::keyClicks(&editor, QStringLiteral("abc"));
    QCOMPARE(editor.text(), QStringLiteral("abc"));

    // Opening the preview is the member's own click: then the popup may take focus.
    QTest::mouseClick(
        popup.findChild<QLabel*>(QStringLiteral("lblLastScreenshot")), Qt::LeftButton);
    QTRY_COMPARE(QApplication::activeWindow(), &popup);
    popup.hide();
}

void tst_PopupFocus::slidesAwayAndClosesUnderAWindowManager_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("screenshot") << 0;
    QTest::newRow("text") << 1;
}

// The window manager may keep a window on the screen whatever the program asks: the slide out
// must still end, and a screenshot's close (which saves the capture) must still come.
void tst_PopupFocus::slidesAwayAndClosesUnderAWindowManager()
{
    QFETCH(int, kind);
    popupWindow popup;
    QSignalSpy closed(&popup, &popupWindow::OnPopupWindowClose);
    QPixmap shot(32, 24);
    shot.fill(Qt::gray);
    const int lifeTimeMs = 1000;
    const int stepMs = 5;
    if (kind == 0) {
        popup.ShowPopup(QStringLiteral("jdoe"), QStringLiteral("Team A"),
            QStringLiteral("Editor"), shot, lifeTimeMs, stepMs);
    } else {
        popup.ShowPopup(QStringLiteral("jdoe"), QStringLiteral("Team A"),
            QStringLiteral("A notice"), lifeTimeMs, stepMs, false);
    }
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    QTRY_VERIFY_WITH_TIMEOUT(!popup.isVisible(), 8000);
    QCOMPARE(closed.count(), kind == 0 ? 1 : 0);
}

QTEST_MAIN(tst_PopupFocus)
#include "tst_popupfocus.moc"
