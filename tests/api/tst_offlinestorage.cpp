#include "ApiRecorder.h"
#include "AppInfo.h"
#include "FakeServiceProcess.h"
#include "OfflineStorage.h"

#include <QtTest>

#include <unistd.h>

// The cache file, and uploading it to the fake service.
class TestOfflineStorage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(service.Start());
        service.PointClientsHere();
        RestAPI api;
        ApiRecorder answers(&api);
        api.Login("demo", "demo123");
        QVERIFY(answers.WaitFor(RestAPI::LoginState).ok);
        demo = api.GetCurrentUserInfo();
    }

    void init()
    {
        QVERIFY(service.Control("reset"));
        storage = std::make_unique<OfflineStorage>();
        storage->SetStoragePath(dir.filePath(QString("cache%1/storage.bin").arg(++round)));
    }

    void cleanup() { storage.reset(); }

    void defaultPathIsInTheDataFolder()
    {
        QCOMPARE(OfflineStorage().StoragePath(), AppInfo::dataFolder() + "/data/storage.bin");
    }

    void everyFieldRoundTrips()
    {
        ScreenshotRecord shot = Shot(7);
        shot.memo = QString::fromUtf8("Ünïcode memo with \"quotes\", \n a line feed and 100% + &");
        shot.time = QTime(23, 59, 58, 123);
        shot.workingTime = QTime(8, 7, 6, 5);
        QVERIFY(storage->AddToStorage(shot));
        ScreenshotRecord blank;
        blank.image = "x";
        blank.memberId = 1001;
        QVERIFY(storage->AddToStorage(blank));

        const QList<ScreenshotRecord> read = storage->GetOfflineStorage();
        QCOMPARE(read.size(), 2);
        const ScreenshotRecord& back = read.at(0);
        QCOMPARE(back.memo, shot.memo);
        QCOMPARE(back.time, shot.time);
        QCOMPARE(back.date, shot.date);
        QCOMPARE(back.activeWindow, shot.activeWindow);
        QCOMPARE(back.image, shot.image);
        QCOMPARE(back.keyStrokes, shot.keyStrokes);
        QCOMPARE(back.mouseClicks, shot.mouseClicks);
        QCOMPARE(back.companyId, shot.companyId);
        QCOMPARE(back.workingTime, shot.workingTime);
        QCOMPARE(back.memberId, shot.memberId);
        // Unset dates and times stay unset.
        QVERIFY(read.at(1).date.isNull());
        QVERIFY(!read.at(1).time.isValid());
        QVERIFY(!read.at(1).workingTime.isValid());
    }

    void fileFollowsTheDocumentedLayout()
    {
        const ScreenshotRecord shot = Shot(1);
        QVERIFY(storage->AddToStorage(shot));
        const QByteArray bytes = FileBytes();
        QCOMPARE(bytes.left(14), QByteArray("OFFLINESTORAGE"));
        QDataStream in(bytes);
        in.skipRawData(14);
        quint16 version = 0;
        in >> version;
        QCOMPARE(version, quint16(1));
        QByteArray tag(6, 0);
        in.readRawData(tag.data(), 6);
        QCOMPARE(tag, QByteArray("IMGHDR"));
        quint32 fieldsSize = 0;
        quint32 imageSize = 0;
        in >> fieldsSize >> imageSize;
        QCOMPARE(int(imageSize), shot.image.size());
        qint32 memberId = 0;
        in >> memberId;
        QCOMPARE(memberId, 1001);
        QCOMPARE(bytes.mid(16 + 14 + int(fieldsSize)), shot.image);
    }

    void aCaptureWithoutMemberGetsTheSignedInOne()
    {
        ScreenshotRecord shot = Shot(1);
        shot.memberId = -1;
        storage->SetSecurityInfo(demo);
        QVERIFY(storage->AddToStorage(shot));
        QCOMPARE(storage->GetOfflineStorage().at(0).memberId, 1001);
    }

    void atMostTwelveRecords()
    {
        QCOMPARE(storage->GetTotalStorageItems(), 0);
        QVERIFY(storage->GetCacheIsFree());
        for (int i = 0; i < 11; ++i)
            QVERIFY(storage->AddToStorage(Shot(i)));
        QVERIFY(storage->GetCacheIsFree());
        QVERIFY(storage->AddToStorage(Shot(11)));
        QCOMPARE(storage->GetTotalStorageItems(), 12);
        QVERIFY(!storage->GetCacheIsFree());
        const QByteArray full = FileBytes();
        QVERIFY(!storage->AddToStorage(Shot(12)));
        QCOMPARE(FileBytes(), full);
    }

    void aFileCutShortKeepsItsWholeRecords_data()
    {
        // Where the last record is cut, counted from its start.
        QTest::addColumn<int>("keep");
        QTest::newRow("inside the head") << 7;
        QTest::newRow("inside the fields") << 14 + 20;
        QTest::newRow("inside the picture") << 14 + 200;
    }
    void aFileCutShortKeepsItsWholeRecords()
    {
        QFETCH(int, keep);
        QVERIFY(storage->AddToStorage(Shot(0, 3000)));
        QVERIFY(storage->AddToStorage(Shot(1, 3000)));
        const int twoRecords = FileBytes().size();
        QVERIFY(storage->AddToStorage(Shot(2, 3000)));
        QFile file(storage->StoragePath());
        QVERIFY(file.resize(twoRecords + keep));

        QCOMPARE(storage->GetTotalStorageItems(), 2);
        const QList<ScreenshotRecord> kept = storage->GetOfflineStorage();
        QCOMPARE(kept.size(), 2);
        QCOMPARE(kept.at(1).memo, Shot(1).memo);
        QCOMPARE(kept.at(1).image, Shot(1, 3000).image);

        // The next write keeps them and drops the broken tail.
        QVERIFY(storage->AddToStorage(Shot(9)));
        const QList<ScreenshotRecord> after = storage->GetOfflineStorage();
        QCOMPARE(after.size(), 3);
        QCOMPARE(after.at(0).memo, Shot(0).memo);
        QCOMPARE(after.at(2).memo, Shot(9).memo);
    }

    void aForeignFileIsSetAsideNotOverwritten()
    {
        QDir().mkpath(QFileInfo(storage->StoragePath()).absolutePath());
        QFile foreign(storage->StoragePath());
        QVERIFY(foreign.open(QIODevice::WriteOnly));
        foreign.write("Somebody's notes, not a cache");
        foreign.close();

        QCOMPARE(storage->GetTotalStorageItems(), 0);
        QVERIFY(storage->GetOfflineStorage().isEmpty());
        QCOMPARE(FileBytes(), QByteArray("Somebody's notes, not a cache"));

        QVERIFY(storage->AddToStorage(Shot(1)));
        QCOMPARE(storage->GetTotalStorageItems(), 1);
        const QDir folder = QFileInfo(storage->StoragePath()).dir();
        const QStringList aside = folder.entryList({ "storage.bin.foreign-*" });
        QCOMPARE(aside.size(), 1);
        QFile kept(folder.filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("Somebody's notes, not a cache"));
    }

    void aFailedWriteLeavesTheOldFile()
    {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(storage->AddToStorage(Shot(1)));
        const QByteArray before = FileBytes();
        const QString folder = QFileInfo(storage->StoragePath()).absolutePath();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        const bool added = storage->AddToStorage(Shot(2));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!added);
        QCOMPARE(FileBytes(), before);
    }

    void uploadSendsOwnRecordsInOrderAndLeavesOthers()
    {
        QVERIFY(storage->AddToStorage(Shot(1)));
        ScreenshotRecord other = Shot(2);
        other.memberId = 2002;
        QVERIFY(storage->AddToStorage(other));
        QVERIFY(storage->AddToStorage(Shot(3)));
        QVERIFY(storage->AddToStorage(Shot(4)));
        const int before = service.Uploads().size();

        storage->SetSecurityInfo(demo);
        storage->UploadOfflineStorage();
        QVERIFY(storage->IsUploading());
        QTRY_VERIFY(!storage->IsUploading());

        const QList<QJsonObject> uploads = service.Uploads().mid(before);
        QCOMPARE(uploads.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const ScreenshotRecord sent = Shot(i == 0 ? 1 : i + 2);
            const QJsonObject fields = uploads.at(i).value("fields").toObject();
            QCOMPARE(fields.value("title").toString(), sent.memo);
            QCOMPARE(fields.value("active_window").toString(), sent.activeWindow);
            QCOMPARE(fields.value("key_strokes").toString(), QString::number(sent.keyStrokes));
            QCOMPARE(fields.value("mouse_clicks").toString(), QString::number(sent.mouseClicks));
            QCOMPARE(fields.value("team_id").toString(), QString::number(sent.companyId));
            QCOMPARE(fields.value("capture_date").toString(), sent.date.toString("yyyy-MM-dd"));
            QCOMPARE(fields.value("capture_time").toString(), sent.time.toString("HH:mm:ss"));
            QCOMPARE(
                fields.value("working_time").toString(), sent.workingTime.toString("HH:mm:ss"));
            QCOMPARE(service.UploadImage(uploads.at(i)), sent.image);
        }
        const QList<ScreenshotRecord> left = storage->GetOfflineStorage();
        QCOMPARE(left.size(), 1);
        QCOMPARE(left.at(0).memberId, 2002);
    }

    void aRecordLeavesOnlyAfterTheServiceConfirmedIt()
    {
        for (int i = 1; i <= 3; ++i)
            QVERIFY(storage->AddToStorage(Shot(i)));
        QVERIFY(service.Control("fail",
            { { "mode", "http500" }, { "path", "/k4p/diary/screenshot:var" }, { "after", "1" } }));
        const int before = service.Uploads().size();
        storage->SetSecurityInfo(demo);
        storage->UploadOfflineStorage();
        QTRY_VERIFY(!storage->IsUploading());
        QCOMPARE(service.Uploads().size(), before + 1);
        QList<ScreenshotRecord> left = storage->GetOfflineStorage();
        QCOMPARE(left.size(), 2);
        QCOMPARE(left.at(0).memo, Shot(2).memo);

        QVERIFY(service.Control("reset"));
        storage->UploadOfflineStorage();
        QTRY_VERIFY(!storage->IsUploading());
        QCOMPARE(service.Uploads().size(), before + 3);
        QCOMPARE(storage->GetTotalStorageItems(), 0);
    }

    void capturesCachedDuringTheUploadGoToo()
    {
        QVERIFY(storage->AddToStorage(Shot(1)));
        const int before = service.Uploads().size();
        storage->SetSecurityInfo(demo);
        storage->UploadOfflineStorage();
        QVERIFY(storage->AddToStorage(Shot(2)));
        storage->UploadOfflineStorage(); // already running: no second run
        QTRY_VERIFY(!storage->IsUploading());
        QCOMPARE(service.Uploads().size(), before + 2);
        QCOMPARE(storage->GetTotalStorageItems(), 0);
    }

    void withoutSignInNothingIsSent()
    {
        QVERIFY(storage->AddToStorage(Shot(1)));
        const int before = service.Requests().size();
        storage->UploadOfflineStorage();
        QVERIFY(!storage->IsUploading());
        QTest::qWait(50);
        QCOMPARE(service.Requests().size(), before);
        QCOMPARE(storage->GetTotalStorageItems(), 1);
    }

private:
    static ScreenshotRecord Shot(int n, int imageSize = 2000)
    {
        ScreenshotRecord shot;
        shot.memo = QString("Memo %1").arg(n);
        shot.time = QTime(10, n % 60, 30);
        shot.date = QDate(2026, 12, 1 + n % 28);
        shot.activeWindow = QString("Editor - file%1.cpp").arg(n);
        shot.keyStrokes = 100 + n;
        shot.mouseClicks = 10 + n;
        shot.companyId = 11;
        shot.workingTime = QTime(0, 9, n % 60);
        shot.memberId = 1001;
        // A real PNG signature up front, so the service takes it.
        shot.image
            = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(imageSize - 8, char('a' + n % 26));
        return shot;
    }

    QByteArray FileBytes() const
    {
        QFile file(storage->StoragePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    FakeServiceProcess service;
    RestAPI::SecurityUserInfo demo;
    QTemporaryDir dir;
    std::unique_ptr<OfflineStorage> storage;
    int round = 0;
};

QTEST_MAIN(TestOfflineStorage)
#include "tst_offlinestorage.moc"
