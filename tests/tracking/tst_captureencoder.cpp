#include "tracking/CaptureEncoder.h"

#include "Constants.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>

namespace {

QImage Filled(const QColor& color)
{
    QImage picture(64, 40, QImage::Format_RGB32);
    picture.fill(color);
    return picture;
}

// Noise compresses slowly: a picture whose encoding is still running a moment after it began.
QImage Noise()
{
    QImage picture(3000, 2000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < picture.height(); ++y)
        random.fillRange(reinterpret_cast<quint32*>(picture.scanLine(y)), picture.width());
    return picture;
}

} // namespace

class TestCaptureEncoder : public QObject
{
    Q_OBJECT
private slots:
    // Jobs end in the order they were started; each PNG reads back as its picture, which the
    // job hands out as grabbed before and as read back after.
    void encodesInOrder()
    {
        CaptureEncoder encoder;
        const QList<QColor> colors { Qt::darkCyan, Qt::darkRed, Qt::yellow };
        QList<CaptureEncoder::JobPtr> jobs;
        encoder.Hold();
        for (const QColor& color : colors)
            jobs << encoder.Start(Filled(color));
        QCOMPARE(jobs.first()->Picture(), Filled(colors.first()));
        QVERIFY(!jobs.first()->IsFinished());
        QVERIFY(jobs.first()->Png().isEmpty());

        QList<int> finishedAtEachSignal;
        connect(&encoder, &CaptureEncoder::Finished, this, [&] {
            int finished = 0;
            while (finished < jobs.size() && jobs.at(finished)->IsFinished())
                ++finished;
            for (int later = finished; later < jobs.size(); ++later)
                QVERIFY2(!jobs.at(later)->IsFinished(), "a later job ended first");
            finishedAtEachSignal << finished;
        });
        encoder.Release();
        QTRY_COMPARE(finishedAtEachSignal.size(), colors.size());
        QCOMPARE(finishedAtEachSignal.last(), colors.size());
        for (int n = 0; n < colors.size(); ++n) {
            QCOMPARE(QImage::fromData(jobs.at(n)->Png(), "PNG"), Filled(colors.at(n)));
            QCOMPARE(jobs.at(n)->Picture(), Filled(colors.at(n)));
        }
    }

    // The encoding thread notes whether the PNG holds the uploads' fixed multipart boundary, so
    // the upload need not search it on the GUI thread; a PNG's text chunk carries it verbatim.
    void notesWhetherThePngHoldsTheBoundary_data()
    {
        const QString boundary = MyMimeTypes::boundary;
        const QString comment = QStringLiteral("Comment");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("holds");
        QTest::newRow("no text") << QString() << QString() << false;
        QTest::newRow("as the text") << comment << boundary << true;
        QTest::newRow("as the text's name") << boundary << QStringLiteral("x") << true;
        QTest::newRow("all of it but its last letter") << comment << boundary.chopped(1) << false;
    }

    void notesWhetherThePngHoldsTheBoundary()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(bool, holds);
        QImage picture = Filled(Qt::darkCyan);
        if (!key.isEmpty())
            picture.setText(key, text);
        CaptureEncoder encoder;
        encoder.Hold();
        const CaptureEncoder::JobPtr job = encoder.Start(picture);
        QTRY_VERIFY(job->IsGrabbed());
        QVERIFY(!job->PngHoldsBoundary()); // nothing to hold yet
        encoder.Release();
        job->Wait();
        QCOMPARE(job->PngHoldsBoundary(), holds);
        QCOMPARE(job->Png().contains(MyMimeTypes::boundary.toLatin1()), holds);
    }

    // Grabs run on a thread of their own: they go on while the encodings are held, each job
    // with its thumbnail at twice the box and its Grabbed before its Finished. A job cancelled
    // while the grab before it runs never grabs.
    void grabsGoOnWhileEncodingsWait()
    {
        CaptureEncoder encoder;
        std::promise<void> letGo;
        const std::shared_future<void> firstMayEnd = letGo.get_future().share();
        std::atomic<int> grabs { 0 };
        const auto grab = [&grabs](QColor color, std::shared_future<void> wait) {
            return [&grabs, color, wait] {
                if (wait.valid())
                    wait.wait();
                ++grabs;
                return Filled(color);
            };
        };
        QStringList heard;
        connect(&encoder, &CaptureEncoder::Grabbed, this, [&] { heard << "grabbed"; });
        connect(&encoder, &CaptureEncoder::Finished, this, [&] { heard << "finished"; });
        encoder.Hold();
        const CaptureEncoder::JobPtr first
            = encoder.Start(grab(Qt::darkCyan, firstMayEnd), QSize(8, 5));
        const CaptureEncoder::JobPtr cancelled = encoder.Start(grab(Qt::red, {}), QSize(8, 5));
        const CaptureEncoder::JobPtr third = encoder.Start(grab(Qt::darkRed, {}), QSize(8, 5));
        cancelled->Cancel();
        letGo.set_value();
        QTRY_COMPARE(heard, QStringList({ "grabbed", "grabbed", "grabbed" }));
        QCOMPARE(grabs.load(), 2);
        QVERIFY(!first->IsFinished() && !third->IsFinished());
        QCOMPARE(first->Thumbnail().size(), QSize(16, 10));
        QCOMPARE(first->Thumbnail().pixel(8, 5), QColor(Qt::darkCyan).rgb());
        QVERIFY(cancelled->Thumbnail().isNull());
        QCOMPARE(third->Picture(), Filled(Qt::darkRed));

        encoder.Release();
        QTRY_COMPARE(heard.count("finished"), 3);
        QCOMPARE(QImage::fromData(first->Png(), "PNG"), Filled(Qt::darkCyan));
        QVERIFY(cancelled->Png().isEmpty());
        QCOMPARE(QImage::fromData(third->Png(), "PNG"), Filled(Qt::darkRed));
    }

    // A cancelled job ends without a PNG, whether it had started or not, and the worker goes
    // on with the next.
    void cancelLeavesNoPng_data()
    {
        QTest::addColumn<bool>("started");
        QTest::newRow("before it starts") << false;
        QTest::newRow("while it runs") << true;
    }

    void cancelLeavesNoPng()
    {
        QFETCH(bool, started);
        CaptureEncoder encoder;
        if (!started)
            encoder.Hold();
        const CaptureEncoder::JobPtr cancelled = encoder.Start(Noise());
        const CaptureEncoder::JobPtr next = encoder.Start(Filled(Qt::blue));
        if (started)
            QTest::qWait(20);
        cancelled->Cancel();
        encoder.Release();
        cancelled->Wait();
        QVERIFY(cancelled->IsFinished());
        QVERIFY(cancelled->Png().isEmpty());
        next->Wait();
        QCOMPARE(QImage::fromData(next->Png(), "PNG"), Filled(Qt::blue));
    }

    // Going away with jobs queued or held cancels them instead of waiting for their PNGs.
    void destroyedWithJobsLeft()
    {
        auto encoder = std::make_unique<CaptureEncoder>();
        encoder->Hold();
        const CaptureEncoder::JobPtr first = encoder->Start(Noise());
        const CaptureEncoder::JobPtr second = encoder->Start(Filled(Qt::gray));
        encoder.reset();
        QVERIFY(first->IsFinished() && second->IsFinished());
        QVERIFY(first->Png().isEmpty() && second->Png().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCaptureEncoder)
#include "tst_captureencoder.moc"
