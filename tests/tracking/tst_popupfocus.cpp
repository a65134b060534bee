#include "tracking/popupWindow.h"

#include "SettingsProvider.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

// Runs on a real X display: the offscreen platform activates every window it shows.
class tst_PopupFocus : public QObject
{
    Q_OBJECT

private slots:
    void slidingInLeavesTheKeyboardAlone();
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

QTEST_MAIN(tst_PopupFocus)
#include "tst_popupfocus.moc"
