#include "TrackingFixture.h"

#include "XdoTool.h"

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

    void theGrabCoversTheVirtualDesktop()
    {
        const QPixmap desktop = TrackingEnvironment::GrabVirtualDesktop();
        QVERIFY(!desktop.isNull());
        QCOMPARE(desktop.size(), QGuiApplication::primaryScreen()->virtualGeometry().size());
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
