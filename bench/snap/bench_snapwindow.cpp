#include "../tracking/GapMeter.h"
#include "FirstShow.h"
#include "ScreenSnapWidget.h"
#include "SnapFixture.h"

#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <QtTest>

// The snap window opened on a picture of the whole desktop as the hub opens it once the grab is
// back: the longest time the GUI thread is kept from its events, from building the window to
// its first picture on the screen, and the time until it shows. The client under the stall
// probe (bench_clientstalls, snapHotkey) sees the same stall after the grab. Run it on a
// desktop of 3840x2160:
//   MQ_XVFB_SCREEN=3840x2160x24 tests/run-isolated --x11 build-bench/bench/snap/bench_snapwindow
class BenchSnapWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        const QSize desktop = FourKDesktop();
        picture = QPixmap::fromImage(SnapFixture::Pattern(desktop));
    }

    void opened()
    {
        QList<double> gaps;
        QList<double> shown;
        for (int run = 0; run < 11; ++run) {
            QPointer<ScreenSnapWidget> window;
            QElapsedTimer clock;
            GapMeter gap;
            gap.Start();
            QTimer::singleShot(0, this, [&] {
                clock.start();
                window = new ScreenSnapWidget(nullptr, picture, "demo", "Atlas", 11);
                window->move(0, 0);
                ShowInSlices(window);
            });
            QVERIFY(RunUntil([&] { return window && window->isVisible(); }, 5000));
            QVERIFY(RunUntil([&] { return window->windowHandle()->isExposed(); }, 5000));
            shown << clock.nsecsElapsed() / 1e6;
            RunUntil([] { return false; }, 300);
            gaps << gap.Stop();
            delete window.data();
            QTest::qWait(200);
        }
        // The first run loads the forms' pictures and fonts.
        gaps.removeFirst();
        shown.removeFirst();
        QStringList each;
        for (double gap : gaps)
            each << QString::number(gap, 'f', 0);
        qInfo("longest stall while the snap window opens: median %.1f ms, longest %.1f ms (%s); "
              "exposed after %.1f ms",
            Median(gaps), *std::max_element(gaps.begin(), gaps.end()), qPrintable(each.join(' ')),
            Median(shown));
    }

private:
    QPixmap picture;
};

QTEST_MAIN(BenchSnapWindow)
#include "bench_snapwindow.moc"
