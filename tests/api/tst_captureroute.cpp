#include "CaptureRoute.h"

#include <QtTest>

using Way = CaptureRoute::Way;
using Fate = CaptureRoute::Fate;
using Word = CaptureRoute::Word;

// Where a saved capture goes and what the status says, for every way a save can take. The cache
// holds at most 12 captures.
class TestCaptureRoute : public QObject
{
    Q_OBJECT
private slots:
    void route_data()
    {
        QTest::addColumn<bool>("online");
        QTest::addColumn<int>("cached");
        QTest::addColumn<bool>("cacheTakes"); // its answer, were it offered the capture
        QTest::addColumn<bool>("cacheUploading");
        QTest::addColumn<Way>("way");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<Fate>("fate");
        QTest::addColumn<bool>("startsCacheUpload");
        QTest::addColumn<Word>("word");

        QTest::newRow("online, nothing cached")
            << true << 0 << true << false //
            << Way::Upload << false << Fate::Uploaded << false << Word::None;
        // The cache's run is still ending after its last record left.
        QTest::newRow("online, nothing cached, the cache's upload ending")
            << true << 0 << true << true //
            << Way::Upload << false << Fate::Uploaded << false << Word::None;
        QTest::newRow("online, one waits")
            << true << 1 << true << false //
            << Way::BehindCached << true << Fate::Cached << true << Word::UploadingCache;
        QTest::newRow("online, some wait, the cache uploading")
            << true << 5 << true << true //
            << Way::BehindCached << true << Fate::Cached << false << Word::None;
        QTest::newRow("online, the cache cannot be written")
            << true << 3 << false << false //
            << Way::BehindCached << true << Fate::Uploaded << true << Word::UploadingCache;
        QTest::newRow("online, the cache full and uploading")
            << true << 12 << false << true //
            << Way::BehindCached << true << Fate::Uploaded << false << Word::None;
        QTest::newRow("offline, nothing cached")
            << false << 0 << true << false //
            << Way::KeepOffline << true << Fate::Cached << false << Word::WritingToCache;
        QTest::newRow("offline, room for one more")
            << false << 11 << true << false //
            << Way::KeepOffline << true << Fate::Cached << false << Word::WritingToCache;
        // Offline the cache's upload is never started, whether or not one runs.
        QTest::newRow("offline, the cache uploading")
            << false << 4 << true << true //
            << Way::KeepOffline << true << Fate::Cached << false << Word::WritingToCache;
        QTest::newRow("offline, the cache cannot be written")
            << false << 11 << false << false //
            << Way::KeepOffline << true << Fate::Lost << false << Word::CacheFull;
        QTest::newRow("offline, the cache full")
            << false << 12 << true << false //
            << Way::Lose << false << Fate::Lost << false << Word::CacheFull;
        QTest::newRow("offline, more than a full cache")
            << false << 13 << true << true //
            << Way::Lose << false << Fate::Lost << false << Word::CacheFull;
    }

    void route()
    {
        QFETCH(bool, online);
        QFETCH(int, cached);
        QFETCH(bool, cacheTakes);
        QFETCH(bool, cacheUploading);
        QFETCH(Way, way);
        QFETCH(bool, offered);
        QFETCH(Fate, fate);
        QFETCH(bool, startsCacheUpload);
        QFETCH(Word, word);

        QCOMPARE(CaptureRoute::ForSave(online, cached), way);
        QCOMPARE(CaptureRoute::OffersToCache(way), offered);
        // As the window asks: the cache answers only when it is offered the capture.
        const CaptureRoute::Outcome outcome
            = CaptureRoute::After(way, offered && cacheTakes, cacheUploading);
        QCOMPARE(outcome.fate, fate);
        QCOMPARE(outcome.startsCacheUpload, startsCacheUpload);
        QCOMPARE(outcome.word, word);
        // An answer the cache was never asked for changes nothing.
        QCOMPARE(CaptureRoute::After(way, cacheTakes, cacheUploading).fate, fate);
    }
};

QTEST_GUILESS_MAIN(TestCaptureRoute)
#include "tst_captureroute.moc"
