#include "tracking/MiscFunctions.h"

#include "FakeServiceProcess.h"
#include "RestAPI.h"

#include <QBuffer>
#include <QHostInfo>
#include <QJsonObject>
#include <QPainter>
#include <QtTest>

class TestMiscFunctions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        // Up before any REST client of the run is made, as the client itself has it.
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void opensOnlyWebAddresses_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened");
        QTest::newRow("http") << "http://www.movarelquintash.com/Sites/1/Main/My_Mail.php"
                              << "http://www.movarelquintash.com/Sites/1/Main/My_Mail.php";
        QTest::newRow("https with query")
            << "https://example.test/Brows_Jobs_Result.php?Filter_Keyword=qt"
            << "https://example.test/Brows_Jobs_Result.php?Filter_Keyword=qt";
        QTest::newRow("upper-case scheme") << "HTTP://example.test/a"
                                           << "http://example.test/a";
        QTest::newRow("blanks around") << "  https://example.test/  "
                                       << "https://example.test/";
        QTest::newRow("file") << "file:///etc/passwd"
                              << "";
        QTest::newRow("relative path") << "/Sites/1/Main/Academy.php"
                                       << "";
        QTest::newRow("script") << "javascript:alert(1)"
                                << "";
        QTest::newRow("other program") << "mailto:someone@example.test"
                                       << "";
        QTest::newRow("no host") << "http:///path"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    void opensOnlyWebAddresses()
    {
        QFETCH(QString, link);
        QFETCH(QString, opened);
        MiscFunctions misc;
        QList<QUrl> seen;
        misc.SetLinkOpener([&seen](const QUrl& url) {
            seen.append(url);
            return true;
        });
        misc.openLink(link);
        if (opened.isEmpty()) {
            QVERIFY(seen.isEmpty());
        } else {
            QCOMPARE(seen.size(), 1);
            QCOMPARE(seen.first().toString(), opened);
        }
    }

    void veiledAvatarKeepsShapeAndSize()
    {
        MiscFunctions misc;
        QVERIFY(misc.GetUserAvatar(true).isNull());
        QVERIFY(misc.GetUserAvatar(false).isNull());

        QPixmap avatar(20, 20);
        avatar.fill(Qt::transparent);
        {
            QPainter painter(&avatar);
            painter.fillRect(0, 0, 10, 20, QColor(0, 0, 200));
        }
        misc.SetUserAvatar(avatar);
        QCOMPARE(misc.GetUserAvatar(true).toImage(), avatar.toImage());
        const QImage veiled = misc.GetUserAvatar(false).toImage();
        QCOMPARE(veiled.size(), avatar.size());
        const QColor covered = veiled.pixelColor(2, 2);
        QCOMPARE(covered.alpha(), 255);
        QVERIFY(covered.red() > 100); // paler than the picture
        QCOMPARE(veiled.pixelColor(15, 15).alpha(), 0); // transparent stays transparent
    }

    void samplesRunWithoutAnInputCounter()
    {
        // Offscreen there is nothing to count: the samples still come, with zero counts.
        MiscFunctions misc;
        misc.SetSampleInterval(20);
        misc.StartCountEvents();
        QTRY_VERIFY(misc.GetStatistic().size() >= 2);
        for (const MiscFunctions::EVENTS_STATISTIC& sample : misc.GetStatistic())
            QCOMPARE(sample.keyEvents + sample.mouseEvents, 0);
        misc.StopCountEvents();
        const int taken = misc.GetStatistic().size();
        QTest::qWait(100);
        QCOMPARE(misc.GetStatistic().size(), taken);
    }

    void uploadsTheShotWithItsFields()
    {
        RestAPI api;
        QSignalSpy ok(&api, &RestAPI::ApiDataOk);
        QSignalSpy failed(&api, &RestAPI::ApiDataError);
        api.Login("demo", "demo123");
        QTRY_COMPARE(ok.count(), 1);

        MiscFunctions misc;
        ScreenshotRecord shot;
        misc.UploadShot(shot); // without a client nothing is sent
        misc.SetApiHandle(&api);
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        shot.memo = "Fixing the build & tests";
        shot.activeWindow = "Editor - main.cpp";
        shot.keyStrokes = 120;
        shot.mouseClicks = 34;
        shot.companyId = 11;
        shot.date = QDate(2026, 12, 7);
        shot.time = QTime(9, 30, 5);
        shot.workingTime = QTime(0, 9, 0);
        shot.image = png;
        misc.UploadShot(shot);
        QTRY_COMPARE(ok.count(), 2);
        QCOMPARE(ok.at(1).at(0).value<RestAPI::ApiResult>().state, RestAPI::ScreenshotUpload);
        QCOMPARE(failed.count(), 0);

        const QList<QJsonObject> uploads = m_service.Uploads();
        QCOMPARE(uploads.size(), 1);
        const QJsonObject fields = uploads.first().value("fields").toObject();
        QCOMPARE(fields.value("title").toString(), QString("Fixing the build & tests"));
        QCOMPARE(fields.value("active_window").toString(), QString("Editor - main.cpp"));
        QCOMPARE(fields.value("key_strokes").toString(), QString("120"));
        QCOMPARE(fields.value("mouse_clicks").toString(), QString("34"));
        QCOMPARE(fields.value("host_name").toString(), QHostInfo::localHostName());
        QCOMPARE(fields.value("team_id").toString(), QString("11"));
        QCOMPARE(fields.value("working_time").toString(), QString("00:09:00"));
        QCOMPARE(fields.value("capture_date").toString(), QString("2026-12-07"));
        QCOMPARE(fields.value("capture_time").toString(), QString("09:30:05"));
        QCOMPARE(m_service.UploadImage(uploads.first()), png);
    }

private:
    FakeServiceProcess m_service;
};

QTEST_MAIN(TestMiscFunctions)
#include "tst_miscfunctions.moc"
