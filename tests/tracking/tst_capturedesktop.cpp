#include "TrackingFixture.h"

#include "XdoTool.h"

#include "DesktopGrab.h"

#include <QScreen>

using namespace TrackingFixture;

// A capture on a real X display with the desktop's own queries: the grab, and the activity
// counted while tracking, typed and clicked with xdotool.
class TestCaptureDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
        ResetSettings();
    }

    // The grab through shared memory shows what the X connection's own grab shows, every
    // pixel opaque (the server leaves the fourth byte as it finds it). A second grab reuses the
    // memory: it shows the desktop as it is then, and the first picture keeps what it showed.
    void theGrabCoversTheVirtualDesktop()
    {
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.setStyleSheet("background: rgb(200, 30, 90)");
        window.setGeometry(40, 60, 300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(100);

        const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
        DesktopGrabber grabber;
        const QImage picture = grabber.Grab();
        QCOMPARE(picture.size(), desktop.size());
        QCOMPARE(picture.format(), QImage::Format_RGB32);
        const QImage viaConnection = QGuiApplication::primaryScreen()
                                         ->grabWindow(0, 0, 0, desktop.width(), desktop.height())
                                         .toImage()
                                         .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture, viaConnection);
        QCOMPARE(picture.pixel(140, 160), qRgb(200, 30, 90));
        QCOMPARE(TranslucentPixels(picture), 0);

        window.setStyleSheet("background: rgb(20, 160, 40)");
        QTest::qWait(100);
        const QImage second = grabber.Grab();
        QCOMPARE(second.pixel(140, 160), qRgb(20, 160, 40));
        QCOMPARE(picture.pixel(140, 160), qRgb(200, 30, 90));
        QCOMPARE(TranslucentPixels(second), 0);
    }

    void theUploadCarriesTheSummedActivity()
    {
        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.enableSnapshots = false; });
        RosterWindow window;
        QVERIFY(SignIn(window));
        auto* misc = window.findChild<MiscFunctions*>();
        misc->SetSampleInterval(100);
        StartTracking(window, "Atlas", "typing and clicking");

        // Clicks land on the bare root window, away from every window of the test.
        QVERIFY(xdotool({ "mousemove", "1", "1" }));
        QVERIFY(xdotool({ "key", "a", "b", "c" }));
        QVERIFY(xdotool({ "click", "1", "click", "1" }));
        QTRY_COMPARE(Totals(misc->GetStatistic()), QPoint(3, 2));
        QTRY_VERIFY(misc->GetStatistic().size() >= 2); // more than one sample to add up

        const int before = m_service.Uploads().size();
        window.GetScreenshot();
        QTRY_COMPARE(m_service.Uploads().size(), before + 1);
        const QJsonObject upload = m_service.Uploads().last();
        const QJsonObject fields = upload.value("fields").toObject();
        QCOMPARE(fields.value("key_strokes").toString(), QString("3"));
        QCOMPARE(fields.value("mouse_clicks").toString(), QString("2"));
        QCOMPARE(QImage::fromData(m_service.UploadImage(upload), "PNG").size(),
            QGuiApplication::primaryScreen()->virtualGeometry().size());
    }

private:
    // Pixels whose fourth byte is not 0xff, read from the picture's memory as it is.
    static int TranslucentPixels(const QImage& picture)
    {
        int count = 0;
        for (int y = 0; y < picture.height(); ++y) {
            const auto* row = reinterpret_cast<const quint32*>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                count += (row[x] >> 24) != 0xff;
        }
        return count;
    }

    static QPoint Totals(const QList<MiscFunctions::EVENTS_STATISTIC>& samples)
    {
        QPoint total;
        for (const MiscFunctions::EVENTS_STATISTIC& sample : samples)
            total += QPoint(sample.keyEvents, sample.mouseEvents);
        return total;
    }

    FakeServiceProcess m_service;
};

QTEST_MAIN(TestCaptureDesktop)
#include "tst_capturedesktop.moc"
