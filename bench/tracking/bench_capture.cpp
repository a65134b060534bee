#include "DesktopGrab.h"
#include "GapMeter.h"
#include "TextDesktop.h"
#include "TrackingFixture.h"

#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

using namespace TrackingFixture;

// Captures of a 3840x2160 desktop full of text through the main window's own capture and save,
// with the desktop's own grab: the longest time the GUI thread is kept from its events per
// capture (online and into the offline cache), while twelve cached captures are sent, and the
// memory ten captures leave behind. Run it on a desktop of that size:
//   MQ_XVFB_SCREEN=3840x2160x24 tests/run-isolated --x11 build-bench/bench/tracking/bench_capture
class BenchCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        FourKDesktop();
        // Another program, as on a real desktop: its repaints under the popup are not ours.
        m_textDesktop.start(QCoreApplication::applicationFilePath(), { "-textdesktop" });
        QVERIFY(m_textDesktop.waitForReadyRead(20000));

        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
        ResetSettings();
        ChangeSettings([](SettingsProvider::SETTINGS& settings) { settings.popupTimeout = 1; });
        m_window = std::make_unique<RosterWindow>();
        QVERIFY(SignIn(*m_window));
        m_cache = Find<OfflineStorage>(*m_window, "offlineStorage");
        m_cache->SetStoragePath(m_dir.filePath("storage.bin"));
        // The desktop's own grab; the network as the benchmark sets it.
        TrackingEnvironment environment = m_window->Environment();
        environment.isNetworkEnabled = [this] {
            return m_online;
        };
        environment.isServerEnabled = [this] {
            return m_online;
        };
        m_window->SetEnvironment(environment);
        StartTracking(*m_window, "Atlas", "Benchmarking the capture");
    }

    void tenCapturesOnline()
    {
        m_online = true;
        RunUntil([] { return false; }, 500);
        QList<double> gaps;
        double afterFirst = 0;
        for (int n = 0; n < 11; ++n) {
            const int uploads = m_service.Uploads().size();
            gaps << Capture([&] { return m_service.Uploads().size() > uploads; });
            if (n == 0) {
                RunUntil([] { return false; }, 2000);
                afterFirst = ResidentMegabytes();
            }
        }
        RunUntil([] { return false; }, 2000);
        const double after = ResidentMegabytes();
        Report("online", gaps);
        // From the first capture on: the first makes the grab's shared memory, kept for the next.
        qInfo("memory: %.1f MB after the first capture, %.1f MB after ten more (%+.1f MB)",
            afterFirst, after, after - afterFirst);
    }

    // The grab as the capture's worker makes it, here timed on the benchmark's own thread.
    void grabAlone()
    {
        DesktopGrabber grabber;
        QList<double> times;
        for (int n = 0; n < 5; ++n) {
            QElapsedTimer clock;
            clock.start();
            const QImage picture = grabber.Grab();
            times << clock.nsecsElapsed() / 1e6;
            QVERIFY(!picture.isNull());
            if (n == 0 && qEnvironmentVariableIsSet("BENCH_SAVE_DESKTOP"))
                picture.save(qEnvironmentVariable("BENCH_SAVE_DESKTOP"));
        }
        qInfo("grab alone: median %.1f ms, longest %.1f ms", Median(times),
            *std::max_element(times.begin(), times.end()));
    }

    void fiveCapturesIntoTheCache()
    {
        m_online = false;
        QList<double> gaps;
        for (int n = 0; n < 5; ++n) {
            // Until the record's file is written: the cache writes on a thread of its own.
            const int cached = CacheFiles();
            gaps << Capture([&] { return CacheFiles() > cached; });
        }
        Report("into the cache", gaps);
    }

    void twelveCachedCapturesSent()
    {
        const QList<ScreenshotRecord> cached = m_cache->GetOfflineStorage();
        QVERIFY(!cached.isEmpty());
        while (m_cache->GetTotalStorageItems() < OfflineStorage::maxItems)
            QVERIFY(m_cache->AddToStorage(cached.last()));
        m_cache->WaitForChanges();
        m_online = true;
        const int uploads = m_service.Uploads().size();
        GapMeter gap;
        gap.Start();
        m_cache->SetSecurityInfo(Find<RestAPI>(*m_window, "restApi")->GetCurrentUserInfo());
        m_cache->UploadOfflineStorage();
        QVERIFY(RunUntil([&] { return m_cache->GetTotalStorageItems() == 0; }, 120000));
        const double longest = gap.Stop();
        QCOMPARE(m_service.Uploads().size(), uploads + OfflineStorage::maxItems);
        qInfo("twelve cached captures sent: longest gap %.1f ms", longest);
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_textDesktop.kill();
        m_textDesktop.waitForFinished();
    }

private:
    // A capture as the capture timer takes it, its popup left to time out, until `saved`.
    double Capture(const std::function<bool()>& saved)
    {
        GapMeter gap;
        gap.Start();
        QTimer::singleShot(0, m_window.get(), [this] {
            QElapsedTimer clock;
            clock.start();
            m_window->GetScreenshot();
            m_captureCalls << clock.nsecsElapsed() / 1e6;
        });
        const bool done = RunUntil([&] { return ScreenshotPopup()->isVisible(); }, 5000)
            && RunUntil([&] { return !ScreenshotPopup()->isVisible(); }, 10000)
            && RunUntil(saved, 30000);
        const double longest = gap.Stop();
        if (!done)
            qWarning("a capture was not saved in time");
        return longest;
    }

    int CacheFiles() const
    {
        return QDir(CacheFolder(m_cache->StoragePath()).FolderPath()).entryList({ "*.bin" }).size();
    }

    void Report(const char* road, const QList<double>& gaps)
    {
        QStringList each;
        for (double gap : gaps)
            each << QString::number(gap, 'f', 0);
        qInfo("longest gap per capture %s: median %.1f ms, longest %.1f ms (%s); the capture "
              "call itself: median %.1f ms",
            road, Median(gaps), *std::max_element(gaps.begin(), gaps.end()),
            qPrintable(each.join(' ')), Median(m_captureCalls));
        m_captureCalls.clear();
    }

    FakeServiceProcess m_service;
    QTemporaryDir m_dir;
    QProcess m_textDesktop;
    std::unique_ptr<RosterWindow> m_window;
    OfflineStorage* m_cache = nullptr;
    bool m_online = true;
    QList<double> m_captureCalls;
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "-textdesktop") == 0)
        return ShowTextDesktop(argc, argv);
    QApplication app(argc, argv);
    BenchCapture bench;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&bench, argc, argv);
}
#include "bench_capture.moc"
