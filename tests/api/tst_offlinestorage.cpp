#include "../core/FileMode.h"
#include "ApiRecorder.h"
#include "AppInfo.h"
#include "CacheFolder.h"
#include "FakeServiceProcess.h"
#include "OfflineStorage.h"

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Environment of the child that writes the cache while the test kills it.
const char* const writerVariable = "MQ_CACHE_WRITER_PATH";
constexpr int killImageSize = 2 * 1024 * 1024;

ScreenshotRecord Shot(int n, int imageSize = 2000)
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
    shot.image = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(imageSize - 8, char('a' + n % 26));
    return shot;
}

QStringList Memos(const QList<ScreenshotRecord>& shots)
{
    QStringList memos;
    for (const ScreenshotRecord& shot : shots)
        memos << shot.memo;
    return memos;
}

QStringList Memos(const QList<int>& numbers)
{
    QStringList memos;
    for (const int n : numbers)
        memos << Shot(n).memo;
    return memos;
}

// The child: changes the cache for good, adding captures with large pictures while it is not
// full and taking the oldest away when it is, and says what it is about to do and what it did.
int RunCacheWriter()
{
    CacheFolder cache(QString::fromLocal8Bit(qgetenv(writerVariable)));
    for (int n = qEnvironmentVariableIntValue("MQ_CACHE_WRITER_FIRST");; ++n) {
        const QList<CacheFolder::Record> records = cache.Records();
        if (records.size() < OfflineStorage::maxItems) {
            printf("adding %d\n", n);
            fflush(stdout);
            cache.Announce();
            if (!cache.Add(Shot(n, killImageSize)))
                return 1;
            printf("added %d\n", n);
        } else {
            ScreenshotRecord oldest = records.first().shot;
            oldest.image = CacheFolder::ReadImage(records.first());
            printf("removing %s\n", qPrintable(oldest.memo));
            fflush(stdout);
            if (!cache.Remove(oldest))
                return 1;
            printf("removed %s\n", qPrintable(oldest.memo));
        }
        fflush(stdout);
    }
}

} // namespace

// The cache file, and uploading it to the fake service.
class TestOfflineStorage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The usual mask, under which created files would be readable by others.
        umask(022);
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

    // Each capture is a cache file of its own in the folder next to the earlier file's place.
    void fileFollowsTheDocumentedLayout()
    {
        const ScreenshotRecord shot = Shot(1);
        QVERIFY(storage->AddToStorage(shot));
        storage->WaitForChanges();
        QCOMPARE(CacheFiles(), QStringList({ Folder() + "/0000000000.bin" }));
        const QByteArray bytes = ReadFile(CacheFiles().first());
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
        QCOMPARE(fileMode(Folder()), 0700);
        QCOMPARE(fileMode(CacheFiles().first()), 0600);
    }

    // The earlier layout's single file is read as it is and moved into the folder once, at the
    // first change; its records stay the oldest.
    void theEarlierFileIsReadAndMovedInOnce()
    {
        WriteFile(LegacyBytes({ Shot(1), Shot(2), Shot(3) }));
        QCOMPARE(storage->GetTotalStorageItems(), 3);
        QCOMPARE(Memos(storage->GetOfflineStorage()), Memos(QList<int> { 1, 2, 3 }));
        QVERIFY(storage->AddToStorage(Shot(4)));
        storage->WaitForChanges();
        QVERIFY(!QFile::exists(storage->StoragePath()));
        QCOMPARE(CacheFiles().size(), 2);
        QCOMPARE(Memos(storage->GetOfflineStorage()), Memos(QList<int> { 1, 2, 3, 4 }));

        storage->SetSecurityInfo(demo);
        storage->UploadOfflineStorage();
        QTRY_VERIFY(!storage->IsUploading());
        QCOMPARE(storage->GetTotalStorageItems(), 0);
        QVERIFY(CacheFiles().isEmpty());
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
        storage->WaitForChanges();
        const QMap<QString, QByteArray> full = Snapshot();
        QVERIFY(!storage->AddToStorage(Shot(12)));
        QCOMPARE(Snapshot(), full);
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
        const int twoRecords = LegacyBytes({ Shot(0, 3000), Shot(1, 3000) }).size();
        WriteFile(
            LegacyBytes({ Shot(0, 3000), Shot(1, 3000), Shot(2, 3000) }).left(twoRecords + keep));

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
        QCOMPARE(ReadFile(storage->StoragePath()), QByteArray("Somebody's notes, not a cache"));

        QVERIFY(storage->AddToStorage(Shot(1)));
        QCOMPARE(storage->GetTotalStorageItems(), 1);
        storage->WaitForChanges();
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
        storage->WaitForChanges();
        const QMap<QString, QByteArray> before = Snapshot();
        QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::ExeOwner);
        const bool added = storage->AddToStorage(Shot(2));
        QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!added);
        QCOMPARE(Snapshot(), before);
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

    // Whatever a damage hits costs only the bytes it hit: count and list agree, a capture added
    // afterwards reads back, the damaged bytes are kept aside, every intact record uploads.
    void damageCostsOnlyTheDamagedRecord_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QList<int>>("intact");
        const QList<int> allButOne { 0, 2, 3 };
        QTest::newRow("fields of a record") << "fields" << allButOne;
        QTest::newRow("tag of a record") << "tag" << allButOne;
        QTest::newRow("picture size of a record") << "size" << allButOne;
        QTest::newRow("byte inserted into a head") << "insert" << allButOne;
        QTest::newRow("byte deleted from a head") << "delete" << allButOne;
        QTest::newRow("record zeroed") << "zero" << allButOne;
        QTest::newRow("noise like a record between two") << "noise" << QList<int> { 0, 1, 2, 3 };
        QTest::newRow("cut short in the last record") << "cut" << QList<int> { 0, 1, 2 };
    }

    void damageCostsOnlyTheDamagedRecord()
    {
        QFETCH(QString, damage);
        QFETCH(QList<int>, intact);
        QList<int> offsets;
        QList<ScreenshotRecord> shots;
        for (int n = 0; n < 4; ++n) {
            offsets << (shots.isEmpty() ? 16 : LegacyBytes(shots).size());
            shots << Shot(n, 3000);
        }
        QByteArray bytes = LegacyBytes(shots);
        const int hit = damage == "cut" ? offsets.at(3) : offsets.at(1);
        if (damage == "fields")
            bytes.replace(hit + 14 + 16, 4, "\x7f\xff\xff\xff");
        else if (damage == "tag")
            bytes[hit] = 'X';
        else if (damage == "size")
            bytes.replace(hit + 10, 4, "\x0f\xff\xff\xff");
        else if (damage == "insert")
            bytes.insert(hit + 8, 'Q');
        else if (damage == "delete")
            bytes.remove(hit + 8, 1);
        else if (damage == "zero")
            bytes.replace(hit, offsets.at(2) - hit, QByteArray(offsets.at(2) - hit, '\0'));
        else if (damage == "noise")
            bytes.insert(offsets.at(2), "IMGHDR" + QByteArray(94, '\xee'));
        else if (damage == "cut")
            bytes.truncate(hit + 100);
        WriteFile(bytes);

        QCOMPARE(storage->GetTotalStorageItems(), intact.size());
        QList<ScreenshotRecord> read = storage->GetOfflineStorage();
        QCOMPARE(Memos(read), Memos(intact));
        for (int i = 0; i < intact.size(); ++i)
            QCOMPARE(read.at(i).image, Shot(intact.at(i), 3000).image);

        QVERIFY(storage->AddToStorage(Shot(9)));
        QCOMPARE(Memos(storage->GetOfflineStorage()), Memos(intact + QList<int> { 9 }));
        const QStringList aside = AsideFiles("damaged");
        QCOMPARE(aside.size(), 1);
        QCOMPARE(fileMode(Folder()), 0700);
        for (const QString& file : CacheFiles())
            QCOMPARE(fileMode(file), 0600);
        QCOMPARE(fileMode(aside.first()), 0600);
        const QByteArray kept = ReadFile(aside.first());
        QVERIFY(kept.startsWith("OFFLINESTORAGE"));
        QVERIFY(kept.size() > 16 && bytes.contains(kept.mid(16)));
        // The cache holds no damage any more: the next write keeps nothing aside.
        QVERIFY(storage->AddToStorage(Shot(8)));
        storage->WaitForChanges();
        QCOMPARE(AsideFiles("damaged"), aside);

        const int before = service.Uploads().size();
        storage->SetSecurityInfo(demo);
        storage->UploadOfflineStorage();
        QTRY_VERIFY(!storage->IsUploading());
        QStringList uploaded;
        const QList<QJsonObject> uploads = service.Uploads().mid(before);
        for (const QJsonObject& upload : uploads)
            uploaded << upload.value("fields").toObject().value("title").toString();
        QCOMPARE(uploaded, Memos(intact + QList<int> { 9, 8 }));
        QCOMPARE(storage->GetTotalStorageItems(), 0);
    }

    void capturesThatWouldNotReadBackAreRefused_data()
    {
        QTest::addColumn<ScreenshotRecord>("shot");
        ScreenshotRecord title = Shot(1);
        title.activeWindow = QString(1100 * 1024, QLatin1Char('w'));
        QTest::newRow("window title of a megabyte") << title;
        ScreenshotRecord year = Shot(2);
        year.date = QDate(12026, 1, 1);
        QTest::newRow("five-digit year") << year;
        ScreenshotRecord blank = Shot(3);
        blank.image.clear();
        QTest::newRow("no picture") << blank;
    }

    void capturesThatWouldNotReadBackAreRefused()
    {
        QFETCH(ScreenshotRecord, shot);
        QVERIFY(storage->AddToStorage(Shot(0)));
        storage->WaitForChanges();
        const QMap<QString, QByteArray> before = Snapshot();
        QVERIFY(!storage->AddToStorage(shot));
        QCOMPARE(Snapshot(), before);
    }

    void refusedRecordsAreSetAsideAndTheOthersGoOn()
    {
        QVERIFY(storage->AddToStorage(Shot(1)));
        ScreenshotRecord undated = Shot(2);
        undated.date = QDate(); // the service answers HTTP 400
        QVERIFY(storage->AddToStorage(undated));
        QVERIFY(storage->AddToStorage(Shot(3)));
        ScreenshotRecord notPng = Shot(4);
        notPng.image = "GIF89a, not what the service takes";
        QVERIFY(storage->AddToStorage(notPng));
        QVERIFY(storage->AddToStorage(Shot(5)));

        const int before = service.Uploads().size();
        storage->SetSecurityInfo(demo);
        storage->UploadOfflineStorage();
        QTRY_VERIFY(!storage->IsUploading());
        QCOMPARE(service.Uploads().size(), before + 3);
        QCOMPARE(storage->GetTotalStorageItems(), 0);

        // Each refused record is kept whole, in a cache file of its own.
        QStringList refused;
        const QStringList aside = AsideFiles("refused");
        for (const QString& path : aside) {
            OfflineStorage kept;
            kept.SetStoragePath(path);
            const QList<ScreenshotRecord> records = kept.GetOfflineStorage();
            QCOMPARE(records.size(), 1);
            refused << records.first().memo;
            QCOMPARE(fileMode(path), 0600);
        }
        refused.sort();
        QCOMPARE(refused, Memos(QList<int> { 2, 4 }));
    }

    void anAnswerWithoutAnIdKeepsTheRecord()
    {
        QVERIFY(storage->AddToStorage(Shot(1)));
        QVERIFY(storage->AddToStorage(Shot(2)));
        QVERIFY(service.Control(
            "fail", { { "mode", "bad-id" }, { "path", "/k4p/diary/screenshot:var" } }));
        storage->SetSecurityInfo(demo);
        storage->UploadOfflineStorage();
        QTRY_VERIFY(!storage->IsUploading());
        QCOMPARE(Memos(storage->GetOfflineStorage()), Memos(QList<int> { 1, 2 }));
        QVERIFY(AsideFiles("refused").isEmpty());
    }

    void aPipeInPlaceOfTheFileIsNeverOpened()
    {
        QDir().mkpath(QFileInfo(storage->StoragePath()).absolutePath());
        QCOMPARE(mkfifo(QFile::encodeName(storage->StoragePath()).constData(), 0600), 0);
        QCOMPARE(storage->GetTotalStorageItems(), 0);
        QVERIFY(storage->GetOfflineStorage().isEmpty());
        QVERIFY(storage->AddToStorage(Shot(1)));
        QCOMPARE(storage->GetTotalStorageItems(), 1);
        storage->WaitForChanges();
        QCOMPARE(AsideFiles("foreign").size(), 1);
    }

    // Anything else in the folder with a record's name, or with that of its part file, is not
    // the cache's: it stays as it is and the next capture takes the name after it.
    void namesTakenByOtherThingsAreSkipped_data()
    {
        QTest::addColumn<QString>("occupant");
        QTest::addColumn<QString>("name");
        QTest::newRow("folder") << "folder" << "0000000000.bin";
        QTest::newRow("folder with a file in it") << "full folder" << "0000000000.bin";
        QTest::newRow("folder in the part's place") << "folder" << "0000000000.bin.part";
        QTest::newRow("link to a folder") << "link" << "0000000000.bin";
        QTest::newRow("folder with a later name") << "folder" << "0000000004.bin";
    }

    void namesTakenByOtherThingsAreSkipped()
    {
        QFETCH(QString, occupant);
        QFETCH(QString, name);
        const QString path = Folder() + "/" + name;
        QVERIFY(QDir().mkpath(occupant == "link" ? path + ".target" : path));
        if (occupant == "link")
            QVERIFY(QFile::link(path + ".target", path));
        if (occupant == "full folder")
            QVERIFY(QFile(path + "/notes").open(QIODevice::WriteOnly));

        QSignalSpy notKept(storage.get(), &OfflineStorage::NotKept);
        for (int n = 0; n < 6; ++n)
            QVERIFY(storage->AddToStorage(Shot(n)));
        QCOMPARE(Memos(storage->GetOfflineStorage()), Memos(QList<int> { 0, 1, 2, 3, 4, 5 }));
        QCOMPARE(notKept.count(), 0);
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(QFileInfo(path).isSymLink(), occupant == "link");
        QCOMPARE(QFileInfo::exists(path + "/notes"), occupant == "full folder");
    }

    // A file larger than any the cache writes is set aside as it is, by a rename on the cache's
    // worker: the window's thread counts the records without reading it, and nothing copies it.
    // The files are sparse, so they cost no disk.
    void filesLargerThanAnyRecordAreSetAsideUnread_data()
    {
        QTest::addColumn<bool>("earlierFile");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QList<qint64>>("pictures"); // records the file begins with
        QTest::addColumn<bool>("setAside");
        const qint64 gigabytes2 = 2LL << 30;
        QTest::newRow("2 GB after a record") << false << gigabytes2 << QList<qint64> { 100 } << true;
        QTest::newRow("2 GB without a header") << false << gigabytes2 << QList<qint64>() << true;
        QTest::newRow("a byte over the largest record")
            << false << largestFolderFile + 1 << QList<qint64> { 100 } << true;
        QTest::newRow("the largest record") << false << largestFolderFile
                                            << QList<qint64> { maxPicture } << false;
        QTest::newRow("earlier file a byte over a full cache")
            << true << 12 * (largestFolderFile - 16) + 17 << QList<qint64> { 100 } << true;
        // Whole records of the earlier layout: it stays in its place rather than be moved in.
        const qint64 second = largestFolderFile + 1000 - 16 - 2 * (14 + (1 << 20)) - (200 << 20);
        QTest::newRow("earlier file with two records too large for the folder")
            << true << largestFolderFile + 1000 << QList<qint64> { 200 << 20, second } << false;
    }

    void filesLargerThanAnyRecordAreSetAsideUnread()
    {
        QFETCH(bool, earlierFile);
        QFETCH(qint64, size);
        QFETCH(QList<qint64>, pictures);
        QFETCH(bool, setAside);
        const QString path = earlierFile ? storage->StoragePath() : Folder() + "/0000000000.bin";
        WriteSparseCache(path, size, pictures);
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);

        const qint64 readOnThisThread = ReadBytes("/proc/thread-self/io");
        const qint64 readByAll = ReadBytes("/proc/self/io");
        const int kept = setAside ? 0 : pictures.size();
        QCOMPARE(storage->GetTotalStorageItems(), kept);
        QVERIFY(storage->GetCacheIsFree());
        QVERIFY(storage->AddToStorage(Shot(1)));
        QCOMPARE(storage->GetTotalStorageItems(), kept + 1);
        storage->WaitForChanges();
        QCOMPARE(storage->GetTotalStorageItems(), kept + 1);
        // Records' fields are read (a megabyte each here, at every count), never a picture.
        QVERIFY(ReadBytes("/proc/thread-self/io") - readOnThisThread < 64 << 20);
        QVERIFY(ReadBytes("/proc/self/io") - readByAll < 64 << 20);

        const QStringList aside = AsideFiles("oversized");
        QCOMPARE(aside.size(), setAside ? 1 : 0);
        QVERIFY(AsideFiles("damaged").isEmpty());
        struct stat after;
        QCOMPARE(::stat(QFile::encodeName(setAside ? aside.first() : path).constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(qint64(after.st_size), size);
        QCOMPARE(after.st_blocks, before.st_blocks);
    }

    // The child changes the cache and is killed at various moments of a write, a removal, the
    // move of the earlier file and a removal from it: afterwards the cache holds only whole
    // records, every record it said it added and none it said it removed; the change it was
    // making is either done or not.
    void aKillDuringAChangeLosesNothing_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("earlierFile");
        for (const int delayMs : { 0, 2, 5, 10, 20, 40, 80, 160 }) {
            QTest::addRow("after %d ms", delayMs) << delayMs << false;
            QTest::addRow("after %d ms, earlier file", delayMs) << delayMs << true;
        }
    }

    void aKillDuringAChangeLosesNothing()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, earlierFile);
        QStringList expected;
        if (earlierFile) {
            QList<ScreenshotRecord> shots;
            for (int n = 100; n < 106; ++n)
                shots << Shot(n, killImageSize);
            WriteFile(LegacyBytes(shots));
            expected = Memos(shots);
        }
        QProcess writer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(writerVariable, storage->StoragePath());
        environment.insert("MQ_CACHE_WRITER_FIRST", "0");
        // Under the sanitizers: the writer's memory is still checked, but it is killed, so
        // slow stack traces for a leak report would only slow it down.
        environment.insert("ASAN_OPTIONS",
            environment.value("ASAN_OPTIONS") + ":fast_unwind_on_malloc=1:detect_leaks=0");
        writer.setProcessEnvironment(environment);
        writer.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(writer.waitForReadyRead(20000));
        if (delayMs > 0)
            QTest::qSleep(delayMs);
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished(10000));

        // What the child said it did, and the change it may have been making.
        QString doubtful;
        const QStringList lines = QString::fromLatin1(writer.readAllStandardOutput()).split('\n');
        for (const QString& line : lines) {
            const QString word = line.section(' ', 0, 0);
            const QString what = line.section(' ', 1);
            if (word == "adding")
                doubtful = Shot(what.toInt()).memo;
            else if (word == "removing")
                doubtful = what;
            else if (word == "added")
                expected << Shot(what.toInt()).memo;
            else if (word == "removed")
                expected.removeOne(what);
            if (word == "added" || word == "removed")
                doubtful.clear();
        }
        QStringList done = expected;
        if (doubtful.isEmpty())
            ;
        else if (done.contains(doubtful))
            done.removeOne(doubtful);
        else
            done << doubtful;

        const QList<ScreenshotRecord> kept = storage->GetOfflineStorage();
        QVERIFY2(Memos(kept) == expected || Memos(kept) == done,
            qPrintable(Memos(kept).join(", ") + " | " + expected.join(", ")));
        for (const ScreenshotRecord& record : kept)
            QCOMPARE(record.image, Shot(record.memo.section(' ', 1).toInt(), killImageSize).image);
        // Nothing half written is taken for damage: the next change sets nothing aside and
        // leaves no part of a file behind.
        CacheFolder cache(storage->StoragePath());
        QStringList after = Memos(kept);
        if (kept.isEmpty()) {
            cache.Announce();
            QVERIFY(cache.Add(Shot(300)));
            after << Shot(300).memo;
        } else {
            QVERIFY(cache.Remove(kept.first()));
            after.removeFirst();
        }
        QCOMPARE(Memos(storage->GetOfflineStorage()), after);
        QVERIFY(AsideFiles("damaged").isEmpty());
        QVERIFY(QDir(Folder()).entryList({ "*.part" }, QDir::Files).isEmpty());
    }

private:
    // The largest picture a record holds, and the largest file the folder holds: one record with
    // fields and picture at their bounds.
    static constexpr qint64 maxPicture = 256 << 20;
    static constexpr qint64 largestFolderFile = 16 + 14 + (1 << 20) + maxPicture;

    // A user-only cache file of `size` bytes, mostly holes: when `pictures` names any, a header
    // and, for each, a record of that picture size (its fields a megabyte, padding and all).
    void WriteSparseCache(const QString& path, qint64 size, const QList<qint64>& pictures)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        if (!pictures.isEmpty())
            file.write(QByteArray("OFFLINESTORAGE\0\1", 16));
        const QByteArray one = LegacyBytes({ Shot(1) });
        quint32 fieldsSize = 0;
        QDataStream(one.mid(16 + 6, 4)) >> fieldsSize;
        const QByteArray fields
            = one.mid(16 + 14, int(fieldsSize)).leftJustified(1 << 20, '\0', true);
        for (const qint64 picture : pictures) {
            QByteArray head("IMGHDR");
            QDataStream(&head, QIODevice::Append) << quint32(fields.size()) << quint32(picture);
            file.write(head + fields);
            QVERIFY(file.seek(file.pos() + picture));
        }
        QVERIFY(file.resize(size));
    }

    // Bytes read so far, as the kernel counts them for this thread or the whole process.
    static qint64 ReadBytes(const char* ioFile)
    {
        const QString text = QString::fromLatin1(ReadFile(QString::fromLatin1(ioFile)));
        static const QRegularExpression rchar("^rchar: (\\d+)$", QRegularExpression::MultilineOption);
        return rchar.match(text).captured(1).toLongLong();
    }

    QStringList AsideFiles(const QString& kind) const
    {
        const QDir folder = QFileInfo(storage->StoragePath()).dir();
        QStringList paths;
        const QStringList names = folder.entryList(
            { "storage.bin." + kind + "-*" }, QDir::Files | QDir::System, QDir::Name);
        for (const QString& name : names)
            paths << folder.filePath(name);
        return paths;
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Writes the file of the earlier layout.
    void WriteFile(const QByteArray& bytes) const
    {
        QDir().mkpath(QFileInfo(storage->StoragePath()).absolutePath());
        QFile file(storage->StoragePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }

    QString Folder() const { return CacheFolder(storage->StoragePath()).FolderPath(); }

    // The folder's cache files, oldest first.
    QStringList CacheFiles() const
    {
        QStringList files;
        const QDir folder(Folder());
        for (const QString& name : folder.entryList({ "*.bin" }, QDir::Files, QDir::Name))
            files << folder.filePath(name);
        return files;
    }

    // Every file of the cache with its bytes: the cache as it is.
    QMap<QString, QByteArray> Snapshot() const
    {
        QMap<QString, QByteArray> files;
        for (const QString& file : CacheFiles() + QStringList { storage->StoragePath() })
            files.insert(file, ReadFile(file));
        return files;
    }

    // One cache file holding `shots`, as the earlier layout kept them all: the records the
    // cache writes one per file, behind one header.
    QByteArray LegacyBytes(const QList<ScreenshotRecord>& shots)
    {
        OfflineStorage scratch;
        scratch.SetStoragePath(dir.filePath(QString("scratch%1/storage.bin").arg(++round)));
        for (const ScreenshotRecord& shot : shots)
            scratch.AddToStorage(shot);
        scratch.WaitForChanges();
        QByteArray bytes;
        const QDir folder(CacheFolder(scratch.StoragePath()).FolderPath());
        for (const QString& name : folder.entryList({ "*.bin" }, QDir::Files, QDir::Name)) {
            const QByteArray file = ReadFile(folder.filePath(name));
            bytes += bytes.isEmpty() ? file : file.mid(16);
        }
        return bytes;
    }

    FakeServiceProcess service;
    RestAPI::SecurityUserInfo demo;
    QTemporaryDir dir;
    std::unique_ptr<OfflineStorage> storage;
    int round = 0;
};

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet(writerVariable)) {
        QCoreApplication app(argc, argv);
        return RunCacheWriter();
    }
    QTEST_MAIN_IMPL(TestOfflineStorage)
}
#include "tst_offlinestorage.moc"
