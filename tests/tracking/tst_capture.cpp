#include "TrackingFixture.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <chrono>
#include <thread>

using namespace TrackingFixture;

// Captures while tracking: the record, the popup, the next interval, and where the capture
// goes: uploaded to the fake service at once, or into the offline cache.
class TestCapture : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void init()
    {
        ResetSettings();
        QVERIFY(m_cacheDir.isValid());
        QFile::remove(CachePath());
        QDir(m_cacheDir.filePath("storage.d")).removeRecursively();
        m_service.Control("reset");
        m_window = std::make_unique<RosterWindow>();
        QVERIFY(SignIn(*m_window));
        Find<OfflineStorage>(*m_window, "offlineStorage")->SetStoragePath(CachePath());
        m_desktop = FakeDesktop();
        m_desktop.Install(*m_window);
        m_uploadsSent = std::make_unique<QSignalSpy>(
            Find<RestAPI>(*m_window, "restApi"), &RestAPI::NetworkManagerLogSignal);
    }

    void cleanup()
    {
        HideScreenshotPopup();
        m_uploadsSent.reset();
        m_window.reset();
    }

    void nothingWhileNotTracking()
    {
        LogReader log;
        m_window->GetScreenshot();
        auto* misc = m_window->findChild<MiscFunctions*>();
        QVERIFY(misc->currentShot.picture.isNull());
        QVERIFY(!ScreenshotPopup()->isVisible());
        QVERIFY(log.Lines().isEmpty());
        m_window->SaveScreenshot();
        QCOMPARE(SentUploads(), 0);
    }

    void oneUploadWithTheCaptureRecord()
    {
        StartTracking(*m_window, "Borealis", "Writing the capture tests");
        for (int second = 0; second < 3; ++second)
            m_window->OnWorkingTimeTimerTimeout();
        const int before = m_service.Uploads().size();
        LogReader log;

        QVERIFY(TakeCapture(*m_window));
        auto* misc = m_window->findChild<MiscFunctions*>();
        QCOMPARE(misc->currentShot.memo, QString("Writing the capture tests"));
        QCOMPARE(misc->currentShot.companyId, 12);
        // The record keeps a thumbnail for the popup and the last-snapshot dialog; the PNG is
        // made from the grab.
        QCOMPARE(misc->currentShot.picture.size(), ScreenshotPopup()->ShotSize() * 2);
        QVERIFY(Find<QAction>(*m_window, "actionLast_snapshot")->isEnabled());
        QVERIFY(ScreenshotPopup()->isVisible());
        QCOMPARE(SentUploads(), 0);

        ScreenshotPopup()->hide();
        QTRY_COMPARE(SentUploads(), 1);
        QTRY_COMPARE(m_service.Uploads().size(), before + 1);
        const QJsonObject upload = m_service.Uploads().last();
        const QJsonObject fields = upload.value("fields").toObject();
        QCOMPARE(upload.value("kind").toString(), QString("screenshot"));
        QCOMPARE(fields.value("title").toString(), QString("Writing the capture tests"));
        QCOMPARE(fields.value("active_window").toString(), QString("Editor - notes.txt"));
        QCOMPARE(fields.value("team_id").toString(), QString("12"));
        QCOMPARE(fields.value("working_time").toString(), QString("00:00:03"));
        QCOMPARE(fields.value("key_strokes").toString(), QString("0"));
        QCOMPARE(fields.value("mouse_clicks").toString(), QString("0"));
        QCOMPARE(
            fields.value("capture_date").toString(), QDate::currentDate().toString("yyyy-MM-dd"));
        const QByteArray png = m_service.UploadImage(upload);
        QVERIFY(png.startsWith("\x89PNG"));
        QCOMPARE(
            QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32), m_desktop.picture);
        QVERIFY(log.HasInOrder({ "Try to show popup with screenshot", "Get statistic",
            "Get statistic - success", "Reset working time", "Work with cache  - check cache",
            "Try to upload screenshot", "Try to upload screenshot - ok" }));

        // Saved once: a second close or save sends nothing.
        ScreenshotPopup()->hide();
        m_window->SaveScreenshot();
        QTest::qWait(50);
        QCOMPARE(SentUploads(), 1);
    }

    void theTimerIsReArmed_data()
    {
        QTest::addColumn<int>("draw");
        QTest::addColumn<int>("interval");
        QTest::newRow("zero") << 0 << 660000;
        QTest::newRow("one") << 1 << 540000;
        QTest::newRow("largest") << RAND_MAX << 540000;
    }

    void theTimerIsReArmed()
    {
        QFETCH(int, draw);
        QFETCH(int, interval);
        m_desktop.draw = draw;
        QCOMPARE(m_window->GetPopupTimeout(), interval);
        StartTracking(*m_window, "Atlas", "memo");
        auto* timer = Find<QTimer>(*m_window, "screenshotTimer");
        QCOMPARE(timer->interval(), 70000);
        QVERIFY(TakeCapture(*m_window));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), interval);
    }

    void aCacheNotEmptyTakesTheCaptureAndUploadsOnce()
    {
        auto* cache = Find<OfflineStorage>(*m_window, "offlineStorage");
        QVERIFY(cache->AddToStorage(CachedRecord("waiting since yesterday")));
        StartTracking(*m_window, "Atlas", "after the cache");
        const int before = m_service.Uploads().size();
        LogReader log;

        Capture();
        QVERIFY(cache->IsUploading());
        QVERIFY(ToolTip(*m_window).contains("Uploading cache..."));
        QCOMPARE(Find<QLabel>(*m_window, "lblUserStatus")->text(), QString("ONLINE - CACHED"));
        m_window->findChild<MiscFunctions*>()->SetMemo("while the cache uploads");
        Capture();
        QCOMPARE(log.Lines().count("Upload thread was runned"), 1);
        QCOMPARE(log.Lines().count("Current show was added to cache"), 2);
        QCOMPARE(SentUploads(), 0); // the cache sends through its own client

        QTRY_COMPARE(m_service.Uploads().size(), before + 3);
        QTRY_COMPARE(cache->GetTotalStorageItems(), 0);
        QStringList titles;
        for (const QJsonObject& upload : m_service.Uploads().mid(before))
            titles << upload.value("fields").toObject().value("title").toString();
        QCOMPARE(titles,
            QStringList(
                { "waiting since yesterday", "after the cache", "while the cache uploads" }));
    }

    void withoutNetworkTheCacheTakesTwelve_data()
    {
        QTest::addColumn<int>("cached");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("word");
        QTest::newRow("empty") << 0 << 1 << "Writing to cache...";
        QTest::newRow("11 records") << 11 << 12 << "Writing to cache...";
        QTest::newRow("12 records") << 12 << 12 << "Cache is full";
    }

    void withoutNetworkTheCacheTakesTwelve()
    {
        QFETCH(int, cached);
        QFETCH(int, after);
        QFETCH(QString, word);
        auto* cache = Find<OfflineStorage>(*m_window, "offlineStorage");
        for (int n = 0; n < cached; ++n)
            QVERIFY(cache->AddToStorage(CachedRecord(QString::number(n))));
        StartTracking(*m_window, "Cinder", "offline work");
        m_desktop.network = false;
        LogReader log;

        Capture();
        QCOMPARE(cache->GetTotalStorageItems(), after);
        QCOMPARE(ToolTip(*m_window), "Tessivanor Team Room - " + word + "(demo)");
        QCOMPARE(Find<QLabel>(*m_window, "lblUserStatus")->text(), QString("ONLINE - CACHED"));
        QCOMPARE(SentUploads(), 0);
        QVERIFY(log.HasInOrder(
            { "Network or server is disabled Work in cache", "Try to work with cache",
                after > cached ? "Work with cache - ok" : "Work with cache was failed" }));
        if (after > cached) {
            const ScreenshotRecord last = cache->GetOfflineStorage().last();
            QCOMPARE(last.memo, QString("offline work"));
            QCOMPARE(last.companyId, 13);
            QCOMPARE(last.memberId, 1001);
            QVERIFY(QImage::fromData(last.image, "PNG").size() == m_desktop.picture.size());
        }
    }

    void aServerThatDoesNotResolveMeansTheCache()
    {
        StartTracking(*m_window, "Atlas", "memo");
        m_desktop.server = false;
        Capture();
        QCOMPARE(Find<OfflineStorage>(*m_window, "offlineStorage")->GetTotalStorageItems(), 1);
        QCOMPARE(SentUploads(), 0);
    }

    // With notices off there is no popup whose close would save the capture.
    void withoutNoticesTheCaptureIsSavedAtOnce()
    {
        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.enableSnapshots = false; });
        StartTracking(*m_window, "Atlas", "no popups please");
        const int before = m_service.Uploads().size();
        QVERIFY(TakeCapture(*m_window));
        QVERIFY(!ScreenshotPopup()->isVisible());
        QTRY_COMPARE(SentUploads(), 1);
        QTRY_COMPARE(m_service.Uploads().size(), before + 1);
        QCOMPARE(Title(m_service.Uploads().last()), QString("no popups please"));
    }

    // The popup counts down the seconds the settings give, then slides away: its lifetime is
    // read with the capture's record and handed to the popup when the grab is back.
    void thePopupLastsTheSecondsOfTheSettings_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::newRow("one") << 1;
        QTest::newRow("seven") << 7;
    }

    void thePopupLastsTheSecondsOfTheSettings()
    {
        QFETCH(int, seconds);
        ChangeSettings(
            [=](SettingsProvider::SETTINGS& settings) { settings.popupTimeout = seconds; });
        StartTracking(*m_window, "Atlas", "counted down");
        QVERIFY(TakeCapture(*m_window));
        popupWindow* popup = ScreenshotPopup();
        QVERIFY(popup->isVisible());
        auto* slide = popup->findChild<QTimer*>("animationTimer");
        for (int step = 0; step < 500 && slide->isActive(); ++step)
            popup->AnimationEvent();
        QVERIFY(!slide->isActive());
        for (int second = 0; second < seconds; ++second) {
            popup->PopupTimeLive();
            QVERIFY2(!slide->isActive(), qPrintable(QString::number(second)));
        }
        popup->PopupTimeLive();
        QVERIFY(slide->isActive());
    }

    // The popup of a capture still shows when the next one is taken.
    void aStillVisiblePopupSavesItsOwnCaptureFirst()
    {
        StartTracking(*m_window, "Atlas", "first");
        auto* misc = m_window->findChild<MiscFunctions*>();
        m_desktop.windowTitle = "Window one";
        const int before = m_service.Uploads().size();
        QVERIFY(TakeCapture(*m_window));
        QVERIFY(ScreenshotPopup()->isVisible());

        misc->SetMemo("second");
        m_desktop.windowTitle = "Window two";
        m_desktop.picture = FakeDesktop::Picture(Qt::darkRed);
        QVERIFY(TakeCapture(*m_window));
        QTRY_COMPARE(SentUploads(), 1);
        QVERIFY(ScreenshotPopup()->isVisible());
        QCOMPARE(misc->currentShot.memo, QString("second"));
        ScreenshotPopup()->hide();
        QTRY_COMPARE(SentUploads(), 2);

        QTRY_COMPARE(m_service.Uploads().size(), before + 2);
        QMap<QString, QString> windows;
        for (const QJsonObject& upload : m_service.Uploads().mid(before))
            windows.insert(
                Title(upload), upload.value("fields").toObject().value("active_window").toString());
        QCOMPARE(windows.value("first"), QString("Window one"));
        QCOMPARE(windows.value("second"), QString("Window two"));
    }

    void theCapturesOwnMemoDecides()
    {
        StartTracking(*m_window, "Atlas", "taken with a memo");
        auto* misc = m_window->findChild<MiscFunctions*>();
        const int before = m_service.Uploads().size();

        QVERIFY(TakeCapture(*m_window));
        misc->SetMemo(QString());
        ScreenshotPopup()->hide();
        QTRY_COMPARE(SentUploads(), 1);

        QVERIFY(TakeCapture(*m_window));
        misc->SetMemo("set after the capture");
        ScreenshotPopup()->hide();
        QTest::qWait(50);
        QCOMPARE(SentUploads(), 1);

        QTRY_COMPARE(m_service.Uploads().size(), before + 1);
        QCOMPARE(Title(m_service.Uploads().last()), QString("taken with a memo"));
    }

    void aFailedUploadGoesToTheCache()
    {
        StartTracking(*m_window, "Borealis", "kept despite the failure");
        QVERIFY(m_service.Control("fail",
            { { "mode", "http500" }, { "path", "/k4p/diary/screenshot:var" }, { "times", "1" } }));
        Capture();
        QCOMPARE(SentUploads(), 1);
        auto* cache = Find<OfflineStorage>(*m_window, "offlineStorage");
        QTRY_COMPARE(cache->GetTotalStorageItems(), 1);
        const ScreenshotRecord cached = cache->GetOfflineStorage().first();
        QCOMPARE(cached.memo, QString("kept despite the failure"));
        QCOMPARE(cached.companyId, 12);
        QCOMPARE(cached.memberId, 1001);
        QVERIFY(!cached.image.isEmpty());
        QVERIFY(ToolTip(*m_window).contains("Writing to cache..."));

        // The next capture finds the cache and sends both.
        const int before = m_service.Uploads().size();
        Capture();
        QTRY_COMPARE(m_service.Uploads().size(), before + 2);
        QTRY_COMPARE(cache->GetTotalStorageItems(), 0);
    }

    // The window's check finds the network, the REST client's own does not and answers
    // NoConnection for that upload alone: the capture goes to the cache, and the answers of the
    // others find their own captures. Each capture reaches the service once, or waits in the
    // cache once.
    void eachAnswerFindsItsOwnCapture_data()
    {
        QTest::addColumn<QList<bool>>("sent"); // per capture: whether its upload can leave
        QTest::newRow("the first of two stays") << QList<bool> { false, true };
        QTest::newRow("the second of two stays") << QList<bool> { true, false };
        QTest::newRow("the middle of three stays") << QList<bool> { true, false, true };
    }

    void eachAnswerFindsItsOwnCapture()
    {
        QFETCH(QList<bool>, sent);
        StartTracking(*m_window, "Atlas", "capture 0");
        auto* misc = m_window->findChild<MiscFunctions*>();
        bool online = true;
        Find<RestAPI>(*m_window, "restApi")->SetNetworkCheck([&online] { return online; });
        const int before = m_service.Uploads().size();
        QStringList expected;
        for (int n = 0; n < sent.size(); ++n) {
            expected << QString("capture %1").arg(n);
            misc->SetMemo(expected.last());
            online = sent.at(n);
            Capture();
        }
        online = true;
        // The cache's own run, when one started, ends with what it sent out of the cache.
        QTRY_VERIFY(!Find<OfflineStorage>(*m_window, "offlineStorage")->IsUploading());
        QTRY_COMPARE(UploadedOrCached(before), expected);
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        QCOMPARE(UploadedOrCached(before), expected);
    }

    void aSuccessfulUploadIsNotCached()
    {
        StartTracking(*m_window, "Borealis", "fine");
        const int before = m_service.Uploads().size();
        Capture();
        QTRY_COMPARE(m_service.Uploads().size(), before + 1);
        // A later failure of another request must not bring the capture back.
        QVERIFY(m_service.Control("fail", { { "mode", "http500" } }));
        Find<RestAPI>(*m_window, "restApi")->StartWork(QTime::currentTime(), 12);
        QTest::qWait(300);
        QCOMPARE(Find<OfflineStorage>(*m_window, "offlineStorage")->GetTotalStorageItems(), 0);
    }

    void quittingKeepsUnsavedCapturesInTheCache()
    {
        StartTracking(*m_window, "Borealis", "worked until quitting");
        auto* cache = Find<OfflineStorage>(*m_window, "offlineStorage");
        auto* misc = m_window->findChild<MiscFunctions*>();
        // An upload the service has not answered yet; then, both still encoding, a capture
        // whose popup closed and one still in its popup.
        QVERIFY(m_service.Control("fail",
            { { "mode", "slow" }, { "path", "/k4p/diary/screenshot:var" }, { "delay", "5000" } }));
        Capture();
        QCOMPARE(SentUploads(), 1);
        Encoder()->Hold();
        misc->SetMemo("closed, encoding");
        QVERIFY(TakeCapture(*m_window));
        ScreenshotPopup()->hide();
        misc->SetMemo("in its popup, encoding");
        QVERIFY(TakeCapture(*m_window));
        QVERIFY(ScreenshotPopup()->isVisible());

        // The quit waits for the encodings, which go on once the worker is let go.
        CaptureEncoder* encoder = Encoder();
        std::thread release([encoder] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            encoder->Release();
        });
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        release.join();
        QStringList kept = Memos(cache->GetOfflineStorage());
        kept.sort();
        QCOMPARE(kept,
            QStringList({ "closed, encoding", "in its popup, encoding", "worked until quitting" }));
        for (const ScreenshotRecord& record : cache->GetOfflineStorage())
            QCOMPARE(QImage::fromData(record.image, "PNG"), m_desktop.picture);
        // Each capture is kept once: the popup closing and the encodings ending afterwards save
        // nothing more.
        ScreenshotPopup()->hide();
        QTest::qWait(100); // also lets the host look-up of the captures find the window there
        QCOMPARE(SentUploads(), 1);
        QCOMPARE(cache->GetTotalStorageItems(), 3);
    }

    // The popup closes and the client quits before the event loop turns to the save: the
    // capture goes to the cache, once, and is not uploaded.
    void aCaptureClosedJustBeforeQuittingIsKept()
    {
        StartTracking(*m_window, "Borealis", "closed as the client quit");
        auto* cache = Find<OfflineStorage>(*m_window, "offlineStorage");
        QSignalSpy encoded(Encoder(), &CaptureEncoder::Finished);
        QVERIFY(TakeCapture(*m_window));
        QVERIFY(encoded.count() == 1 || encoded.wait());
        ScreenshotPopup()->hide();
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        QCOMPARE(Memos(cache->GetOfflineStorage()), QStringList { "closed as the client quit" });
        QTest::qWait(100);
        QCOMPARE(SentUploads(), 0);
        QCOMPARE(cache->GetTotalStorageItems(), 1);
    }

    // The worker is held, so the first capture is still encoding when the second is saved:
    // both leave once, in the order they were taken.
    void aCaptureSavedWhileTheOneBeforeStillEncodes_data()
    {
        QTest::addColumn<bool>("online");
        QTest::newRow("uploaded") << true;
        QTest::newRow("cached") << false;
    }

    void aCaptureSavedWhileTheOneBeforeStillEncodes()
    {
        QFETCH(bool, online);
        StartTracking(*m_window, "Atlas", "first");
        m_desktop.network = online;
        auto* cache = Find<OfflineStorage>(*m_window, "offlineStorage");
        QSignalSpy encoded(Encoder(), &CaptureEncoder::Finished);
        Encoder()->Hold();
        QVERIFY(TakeCapture(*m_window));
        ScreenshotPopup()->hide();
        m_window->findChild<MiscFunctions*>()->SetMemo("second");
        QVERIFY(TakeCapture(*m_window));
        ScreenshotPopup()->hide();
        QTest::qWait(50);
        QCOMPARE(SentUploads(), 0);
        QCOMPARE(cache->GetTotalStorageItems(), 0);

        Encoder()->Release();
        QTRY_COMPARE(encoded.count(), 2);
        if (online)
            QTRY_COMPARE(SentTitles(), QStringList({ "first", "second" }));
        else
            QCOMPARE(Memos(cache->GetOfflineStorage()), QStringList({ "first", "second" }));
        QTest::qWait(50);
        QCOMPARE(SentUploads(), online ? 2 : 0);
        QCOMPARE(cache->GetTotalStorageItems(), online ? 0 : 2);
    }

    // A discard reaches the capture before its encoding starts: nothing is made, sent or kept.
    void aDiscardWhileEncodingCostsNothing()
    {
        StartTracking(*m_window, "Atlas", "thrown away");
        QSignalSpy encoded(Encoder(), &CaptureEncoder::Finished);
        QSignalSpy discarded(ScreenshotPopup(), &popupWindow::OnDiscardButtonClick);
        Encoder()->Hold();
        QVERIFY(TakeCapture(*m_window));
        QVERIFY(QMetaObject::invokeMethod(ScreenshotPopup(), "on_btnDiscard_clicked"));
        QCOMPARE(discarded.count(), 1);
        ScreenshotPopup()->hide();
        Encoder()->Release();
        QVERIFY(encoded.wait());
        // Saving after the fact finds nothing either.
        m_window->SaveScreenshot();
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        QTest::qWait(50);
        QCOMPARE(SentUploads(), 0);
        QCOMPARE(Find<OfflineStorage>(*m_window, "offlineStorage")->GetTotalStorageItems(), 0);
    }

    // The grab is still on its way when tracking stops, the next capture comes or the client
    // quits: each capture goes once, with the record of its own moment, and only a capture
    // still being taken shows in the popup.
    void aCaptureWhoseGrabIsLate_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QStringList>("uploaded");
        QTest::addColumn<QStringList>("cached");
        QTest::newRow("tracking stops") << "stop" << QStringList { "first" } << QStringList();
        QTest::newRow("the next capture")
            << "capture" << QStringList { "first", "second" } << QStringList();
        QTest::newRow("quitting") << "quit" << QStringList() << QStringList { "first" };
    }

    void aCaptureWhoseGrabIsLate()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, uploaded);
        QFETCH(QStringList, cached);
        GrabGate gate;
        TrackingEnvironment environment = m_window->Environment();
        environment.grabDesktop = gate.Wrap(environment.grabDesktop);
        m_window->SetEnvironment(environment);
        StartTracking(*m_window, "Atlas", "first");
        const int before = m_service.Uploads().size();
        m_desktop.windowTitle = "Window one";
        m_window->GetScreenshot();
        QTest::qWait(20);
        QVERIFY(!ScreenshotPopup()->isVisible());

        std::thread opening;
        if (meanwhile == "stop") {
            m_window->StopTrackingTime();
        } else if (meanwhile == "capture") {
            m_window->SetMemo("second", 0);
            m_desktop.windowTitle = "Window two";
            m_window->GetScreenshot();
        } else {
            // The quit waits for the grab and its encoding.
            opening = std::thread([&gate] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                gate.Open();
            });
            QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
            opening.join();
        }
        gate.Open();
        QTRY_VERIFY(m_window->findChild<MiscFunctions*>()->currentShot.picture.size()
            == ScreenshotPopup()->ShotSize() * 2);
        QTest::qWait(50);
        auto* shot = ScreenshotPopup()->findChild<QLabel*>("lblLastScreenshot");
        QCOMPARE(ScreenshotPopup()->isVisible() && shot->isVisibleTo(ScreenshotPopup()),
            meanwhile == "capture");
        if (meanwhile == "capture")
            QCOMPARE(ScreenshotPopup()->findChild<QLabel*>("lblActiveWindowName")->text(),
                QString("Window two"));
        HideScreenshotPopup();

        QTRY_COMPARE(SentTitles(), uploaded);
        auto* cache = Find<OfflineStorage>(*m_window, "offlineStorage");
        QTRY_COMPARE(Memos(cache->GetOfflineStorage()), cached);
        QTRY_COMPARE(m_service.Uploads().size(), before + uploaded.size());
        for (const QJsonObject& upload : m_service.Uploads().mid(before))
            QCOMPARE(upload.value("fields").toObject().value("active_window").toString(),
                Title(upload) == "first" ? QString("Window one") : QString("Window two"));
        QTest::qWait(50);
        QCOMPARE(SentTitles(), uploaded);
    }

private:
    QString CachePath() const { return m_cacheDir.filePath("storage.bin"); }

    // A capture whose popup times out, until its save is done.
    void Capture()
    {
        QSignalSpy encoded(Encoder(), &CaptureEncoder::Finished);
        QVERIFY(TakeCapture(*m_window));
        ScreenshotPopup()->hide();
        QVERIFY(encoded.count() == 1 || encoded.wait());
        // The save follows the close on the event loop's next turn.
        QCoreApplication::sendPostedEvents(
            Find<CaptureQueue>(*m_window, "captureQueue"), QEvent::MetaCall);
    }

    CaptureEncoder* Encoder() const { return Find<CaptureEncoder>(*m_window, "captureEncoder"); }

    ScreenshotRecord CachedRecord(const QString& memo) const
    {
        ScreenshotRecord record;
        record.memo = memo;
        record.memberId = 1001;
        record.companyId = 11;
        record.date = QDate::currentDate();
        record.time = QTime(8, 0);
        record.workingTime = QTime(0, 9);
        record.activeWindow = "Terminal";
        QBuffer buffer(&record.image);
        buffer.open(QIODevice::WriteOnly);
        FakeDesktop::Picture(Qt::gray).save(&buffer, "PNG");
        return record;
    }

    static QString Title(const QJsonObject& upload)
    {
        return upload.value("fields").toObject().value("title").toString();
    }

    // Uploads this window's own client sent (the cache sends through its own).
    int SentUploads() const { return SentTitles().size(); }

    // Their titles, in the order they were sent.
    QStringList SentTitles() const
    {
        static const QRegularExpression title("title=([^,]*)");
        QStringList titles;
        for (const QList<QVariant>& line : qAsConst(*m_uploadsSent))
            if (line.at(0).toString().contains("POST /k4p/diary/screenshot:var"))
                titles << title.match(line.at(0).toString()).captured(1);
        return titles;
    }

    // The titles of the uploads the service took from position `from` on and the memos of the
    // captures in the cache, sorted: each capture once.
    QStringList UploadedOrCached(int from) const
    {
        QStringList all
            = Memos(Find<OfflineStorage>(*m_window, "offlineStorage")->GetOfflineStorage());
        const QList<QJsonObject> uploads = m_service.Uploads().mid(from);
        for (const QJsonObject& upload : uploads)
            all << Title(upload);
        all.sort();
        return all;
    }

    static QStringList Memos(const QList<ScreenshotRecord>& records)
    {
        QStringList memos;
        for (const ScreenshotRecord& record : records)
            memos << record.memo;
        return memos;
    }

    FakeServiceProcess m_service;
    QTemporaryDir m_cacheDir;
    std::unique_ptr<RosterWindow> m_window;
    FakeDesktop m_desktop;
    std::unique_ptr<QSignalSpy> m_uploadsSent;
};

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"
