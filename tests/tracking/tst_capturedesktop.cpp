#include "TrackingFixture.h"

#include "XdoTool.h"

#include "DesktopGrab.h"

#include <QPainter>
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

    // The grab through shared memory shows what the X connection's own grab shows.
    void theGrabCoversTheVirtualDesktop()
    {
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.setStyleSheet("background: rgb(200, 30, 90)");
        window.setGeometry(40, 60, 300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(100);

        const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
        const QImage picture = TrackingEnvironment::GrabVirtualDesktop();
        QCOMPARE(picture.size(), desktop.size());
        QCOMPARE(picture.format(), QImage::Format_RGB32);
        QCOMPARE(DesktopGrab::SharedMemoryGrab(desktop).isNull(), false);
        const QImage viaConnection = QGuiApplication::primaryScreen()
                                         ->grabWindow(0, 0, 0, desktop.width(), desktop.height())
                                         .toImage()
                                         .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture, viaConnection);
        QCOMPARE(picture.pixel(140, 160), qRgb(200, 30, 90));
        // Made opaque, the grab paints as it looks.
        QImage painted(10, 10, QImage::Format_ARGB32_Premultiplied);
        painted.fill(Qt::white);
        QPainter(&painted).drawImage(
            QPoint(0, 0), DesktopGrab::MakeOpaque(picture), QRect(140, 160, 10, 10));
        QCOMPARE(painted.pixel(5, 5), qRgb(200, 30, 90));
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
