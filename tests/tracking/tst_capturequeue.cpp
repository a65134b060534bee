#include "tracking/CaptureQueue.h"

#include "LogManager.h"
#include "NetworkChecker.h"
#include "OfflineStorage.h"
#include "RestAPI.h"
#include "SettingsProvider.h"
#include "popupWindow.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// What the queue works with, as the main window holds it: without a network, so every capture
// saved goes to the offline cache, whose records (named by the capture's window title, its
// number) tell which captures were saved, how often and in what order.
struct Day
{
    explicit Day(const QString& cachePath)
    {
        environment.grabDesktop = [] {
            QImage desktop(64, 48, QImage::Format_RGB32);
            desktop.fill(Qt::darkCyan);
            return desktop;
        };
        environment.randomDraw = [] {
            return 0;
        };
        environment.activeWindowTitle = [this] {
            return QString::number(++taken);
        };
        environment.isNetworkEnabled = [] {
            return false;
        };
        environment.isServerEnabled = [] {
            return false;
        };
        cache.SetStoragePath(cachePath);
        misc.SetMemo(QStringLiteral("queue rules"));
    }

    QStringList Cached()
    {
        QStringList titles;
        for (const ScreenshotRecord& record : cache.GetOfflineStorage())
            titles << record.activeWindow;
        return titles;
    }

    TrackingEnvironment environment;
    int taken = 0;
    bool tracking = true;
    MiscFunctions misc;
    RestAPI restApi;
    LogManager log;
    OfflineStorage cache;
    NetworkChecker networkChecker;
    MadeOnFirstUse<popupWindow> popup;
    CaptureQueue queue { Services() };

    CaptureQueue::Services Services()
    {
        const auto isTracking = [this] {
            return tracking;
        };
        const auto workingTime = [] {
            return QTime(0, 0);
        };
        return { environment, misc, restApi, log, cache, networkChecker, popup, isTracking,
            workingTime };
    }
};

} // namespace

class TestCaptureQueue : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        SettingsProvider::SETTINGS settings;
        settings.soundMode = 0;
        SettingsProvider::instance()->SetCurrentSettings(settings);
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir.path()));
    }

    void eachCaptureIsSavedOnceInTheOrderTaken_data()
    {
        QTest::addColumn<bool>("notices");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("cached");
        // t: a capture taken, its grab back (and its popup shown, with notices);
        // g: a capture taken, its grab not back yet; c: its popup closed; d: discarded there;
        // S: saved once more (a second close); m: the memo cleared; s: tracking stopped;
        // e: tracking ended by a sign-out or exit; q: quit. The event loop runs at the end.
        QTest::newRow("each close saves its own")
            << true << "tctctc" << QStringList { "1", "2", "3" };
        QTest::newRow("the next capture saves the one before")
            << true << "tttq" << QStringList { "1", "2", "3" };
        QTest::newRow("a grab not back is saved by the next")
            << true << "ggtq" << QStringList { "1", "2", "3" };
        QTest::newRow("a second close saves nothing") << true << "tcSSq" << QStringList { "1" };
        QTest::newRow("a close just before quit") << true << "tcq" << QStringList { "1" };
        QTest::newRow("a discard keeps nothing") << true << "tdtctdq" << QStringList { "2" };
        QTest::newRow("the capture's own memo decides") << true << "tmtcq" << QStringList { "1" };
        QTest::newRow("a stop while grabbing saves on show") << true << "gs" << QStringList { "1" };
        QTest::newRow("the end of tracking keeps them all")
            << true << "tgtge" << QStringList { "1", "2", "3", "4" };
        QTest::newRow("quit right after the end")
            << true << "tgteq" << QStringList { "1", "2", "3" };
        QTest::newRow("quit waits for the grab") << true << "ggq" << QStringList { "1", "2" };
        QTest::newRow("without notices at once") << false << "tgt" << QStringList { "1", "2", "3" };
        QTest::newRow("without notices, quit") << false << "tggq" << QStringList { "1", "2", "3" };
    }

    void eachCaptureIsSavedOnceInTheOrderTaken()
    {
        QFETCH(bool, notices);
        QFETCH(QString, steps);
        QFETCH(QStringList, cached);
        SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
        settings.enableSnapshots = notices;
        SettingsProvider::instance()->SetCurrentSettings(settings);
        Day day(m_dir.filePath("storage.bin"));

        for (const QChar each : steps) {
            const char step = each.toLatin1();
            popupWindow& popup = day.popup.Get();
            switch (step) {
            case 't':
                day.queue.Take();
                QTRY_VERIFY(!day.queue.GrabRunning());
                QTRY_COMPARE(popup.isVisible(), notices);
                break;
            case 'g':
                day.queue.Take();
                QVERIFY(!popup.isVisible());
                break;
            case 'c':
                popup.hide();
                break;
            case 'd':
                popup.findChild<QPushButton*>("btnDiscard")->click();
                popup.hide();
                break;
            case 'S':
                day.queue.Save();
                break;
            case 'm':
                day.misc.SetMemo(QString());
                break;
            case 's':
                day.tracking = false;
                break;
            case 'e':
                day.tracking = false;
                day.queue.KeepPendingInCache();
                QVERIFY(!popup.isVisible());
                break;
            case 'q':
                day.queue.KeepUnsaved();
                QVERIFY(!popup.isVisible());
                break;
            }
        }
        QTRY_COMPARE(day.Cached(), cached);
        // Nothing comes later: a capture saved twice would be in the cache by now.
        QTest::qWait(100);
        QCOMPARE(day.Cached(), cached);
        QVERIFY(!day.queue.GrabRunning());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestCaptureQueue)
#include "tst_capturequeue.moc"
