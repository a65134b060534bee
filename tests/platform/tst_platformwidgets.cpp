#include "FirstShow.h"
#include "MacTitleWidget.h"
#include "SystemUIMode.h"
#include "UniverseDeviceChecker.h"
#include "WindowSystem.h"

#include <QBackingStore>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

// A window that counts its paints.
class PaintCounter : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

class TestPlatformWidgets : public QObject
{
    Q_OBJECT
private slots:
    void titleBarAsTheMainWindowBuildsIt()
    {
        QWidget window;
        auto* bar = new MacTitleWidget(&window);
        bar->setObjectName("rosterTitleWidget");
        bar->SetButtonSize(QSize(23, 17));
        bar->SetButtonActive(MacTitleWidget::MAXIMIZE_BUTTON, false);
        bar->SetTitle("Movarelquintash Client");
        bar->setGeometry(11, 6, 300, bar->height());
        QVERIFY(bar->height() >= 17);

        QPushButton* close = bar->findChild<QPushButton*>("btnClose");
        QPushButton* minimize = bar->findChild<QPushButton*>("btnMinimize");
        QPushButton* maximize = bar->findChild<QPushButton*>("btnMaximize");
        QVERIFY(close && minimize && maximize);
        for (QPushButton* button : { close, minimize, maximize })
            QCOMPARE(button->size(), QSize(23, 17));
        QVERIFY(bar->IsButtonActive(MacTitleWidget::CLOSE_BUTTON));
        QVERIFY(bar->IsButtonActive(MacTitleWidget::MINIMIZE_BUTTON));
        QVERIFY(!bar->IsButtonActive(MacTitleWidget::MAXIMIZE_BUTTON));
        QCOMPARE(bar->GetTitle(), QString("Movarelquintash Client"));

        // The buttons sit side by side and the title does not cover them.
        window.resize(330, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!close->geometry().intersects(minimize->geometry()));
        QVERIFY(!minimize->geometry().intersects(maximize->geometry()));
        QSignalSpy closed(bar, &MacTitleWidget::CloseClicked);
        QSignalSpy minimized(bar, &MacTitleWidget::MinimizeClicked);
        QSignalSpy maximized(bar, &MacTitleWidget::MaximizeClicked);
        QTest::mouseClick(bar->childAt(close->geometry().center()), Qt::LeftButton);
        QTest::mouseClick(bar->childAt(minimize->geometry().center()), Qt::LeftButton);
        QTest::mouseClick(maximize, Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(minimized.count(), 1);
        QCOMPARE(maximized.count(), 0);

        bar->SetButtonActive(MacTitleWidget::MAXIMIZE_BUTTON, true);
        QTest::mouseClick(maximize, Qt::LeftButton);
        QCOMPARE(maximized.count(), 1);
    }

    void backColourIsAlwaysTheDarkGrey()
    {
        MacTitleWidget bar;
        bar.setBackColor(QColor(200, 10, 10));
        const QString style("background-color: rgb(50,50,50)");
        QCOMPARE(bar.styleSheet(), style);
        const QList<QPushButton*> buttons = bar.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 3);
        for (QPushButton* button : buttons)
            QCOMPARE(button->styleSheet(), style);
    }

    void draggingTheBarMovesItsWindow()
    {
        QWidget window;
        window.setWindowFlags(Qt::FramelessWindowHint);
        auto* bar = new MacTitleWidget(&window);
        bar->setGeometry(0, 0, 300, 20);
        window.setGeometry(100, 100, 300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint start = window.pos();
        const QPoint grip(200, 10); // on the title, away from the buttons
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, grip);
        QMouseEvent move(QEvent::MouseMove, grip + QPoint(40, 25),
            bar->mapToGlobal(grip + QPoint(40, 25)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, grip + QPoint(40, 25));
        QTRY_COMPARE(window.pos(), start + QPoint(40, 25));
    }

    void dialogStyleFlags()
    {
        // Qt adds the system menu hint to any title bar with buttons; no other button appears.
        const Qt::WindowFlags titleWithClose
            = Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint;
        const Qt::WindowFlags otherButtons = Qt::WindowMinMaxButtonsHint
            | Qt::WindowContextHelpButtonHint | Qt::WindowStaysOnTopHint;
        QDialog dialog;
        WindowSystem::SetWindowTitleDialogStyle(&dialog, true);
        QCOMPARE(dialog.windowType(), Qt::Window);
        QCOMPARE(dialog.windowFlags() & titleWithClose, titleWithClose);
        QCOMPARE(dialog.windowFlags() & otherButtons, Qt::WindowFlags());
        WindowSystem::SetWindowTitleDialogStyle(&dialog, false);
        QCOMPARE(dialog.windowType(), Qt::Tool);
        QCOMPARE(dialog.windowFlags() & titleWithClose, titleWithClose);
        QCOMPARE(dialog.windowFlags() & otherButtons, Qt::WindowFlags());

        // A dialog with a parent stays a window of its own.
        QWidget parent;
        QDialog child(&parent);
        WindowSystem::SetWindowTitleDialogStyle(&child, true);
        QVERIFY(child.isWindow());
        QCOMPARE(child.windowFlags() & titleWithClose, titleWithClose);
        WindowSystem::SetWindowTitleDialogStyle(&child, false);
        QCOMPARE(child.windowType(), Qt::Tool);
        WindowSystem::SetWindowTitleDialogStyle(nullptr, true);
    }

    void warningClosesByItsButton()
    {
        UniverseDeviceChecker warning;
        warning.show();
        QVERIFY(QTest::qWaitForWindowExposed(&warning));
        auto* button = warning.findChild<QPushButton*>("btnClose");
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!warning.isVisible());
        warning.show(); // shown again later, never recreated
        QVERIFY(warning.isVisible());
    }

    void snapModeCoversTheDisplayAndRestores()
    {
        QWidget window;
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setGeometry(window.screen()->geometry());
        window.show();
        SetSystemUIMode(kUIModeAllHidden, 0, &window);
        QVERIFY(window.windowState() & Qt::WindowFullScreen);
        SetSystemUIMode(kUIModeNormal, 0, &window);
        QVERIFY(!(window.windowState() & Qt::WindowFullScreen));
        SetSystemUIMode(kUIModeAllHidden, 0, nullptr);

        // Smaller than the display, full screen would stretch it; larger, crop it.
        const QSize display = window.screen()->geometry().size();
        for (const QSize size : { display / 2, display * 2 }) {
            window.setGeometry(QRect(QPoint(0, 0), size));
            SetSystemUIMode(kUIModeAllHidden, 0, &window);
            QVERIFY(!(window.windowState() & Qt::WindowFullScreen));
        }
    }

    // A large window shows once its backing store's pages are touched, over several turns of
    // the event loop, and its first paint covers what the touching wrote; a window deleted
    // meanwhile is left alone.
    void largeWindowShowsInSlices()
    {
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(30, 140, 200));
        window.setPalette(palette);
        window.setGeometry(0, 0, 3000, 2000); // three slices
        ShowInSlices(&window);
        QVERIFY(!window.isVisible());
        QTRY_VERIFY(window.isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.backingStore()->size(), window.size());
        QTRY_VERIFY(BackingStorePixel(window, { 2999, 1999 }) == qRgb(30, 140, 200));
        QCOMPARE(BackingStorePixel(window, { 0, 0 }), qRgb(30, 140, 200));

        QPointer<QWidget> gone = new QWidget(nullptr, Qt::FramelessWindowHint);
        gone->resize(3000, 2000);
        ShowInSlices(gone);
        delete gone.data();
        QTest::qWait(50);
    }

    // Work put off until the first window has been drawn runs once, after that window's first
    // paint; at the latest time when no window shows; never once its context is gone.
    void runsOnceAfterTheFirstWindowIsDrawn_data()
    {
        QTest::addColumn<bool>("showWindow");
        QTest::addColumn<bool>("contextGone");
        QTest::addColumn<int>("latestMs");
        QTest::addColumn<int>("runs");
        QTest::newRow("a window shows") << true << false << 10000 << 1;
        QTest::newRow("no window by the latest time") << false << false << 100 << 1;
        QTest::newRow("context gone") << true << true << 10000 << 0;
    }

    void runsOnceAfterTheFirstWindowIsDrawn()
    {
        QFETCH(bool, showWindow);
        QFETCH(bool, contextGone);
        QFETCH(int, latestMs);
        QFETCH(int, runs);
        PaintCounter first;
        PaintCounter second;
        auto* context = new QObject;
        int ran = 0;
        int paintsBefore = -1;
        AfterFirstWindowDrawn(context, [&] {
            ++ran;
            paintsBefore = first.paints;
        }, latestMs);
        QCoreApplication::processEvents();
        QCOMPARE(ran, 0);
        if (contextGone)
            delete context;
        if (showWindow) {
            first.show();
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            QTRY_COMPARE(ran, runs);
            if (runs > 0)
                QVERIFY(paintsBefore > 0);
            second.show();
            QVERIFY(QTest::qWaitForWindowExposed(&second));
        }
        QTest::qWait(showWindow ? 50 : 2 * latestMs);
        QCOMPARE(ran, runs);
        if (!contextGone)
            delete context;
    }

    // Work given for the same drawing runs in the order it was given, each once.
    void runsWhatWaitsForTheFirstDrawingInTheOrderGiven()
    {
        PaintCounter window;
        QObject context;
        QStringList ran;
        for (const char* name : { "first", "second", "third" })
            AfterFirstWindowDrawn(&context, [&ran, name] { ran << name; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(ran.size(), 3);
        QCOMPARE(ran, QStringList({ "first", "second", "third" }));
    }

private:
    static QRgb BackingStorePixel(QWidget& window, QPoint at)
    {
        QBackingStore* store = window.backingStore();
        store->beginPaint(QRegion());
        const QRgb pixel = static_cast<QImage*>(store->paintDevice())->pixel(at) | 0xff000000u;
        store->endPaint();
        return pixel;
    }
};

QTEST_MAIN(TestPlatformWidgets)
#include "tst_platformwidgets.moc"
