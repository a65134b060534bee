#include "CacheFolder.h"
#include "OfflineStorage.h"

#include <QTemporaryDir>
#include <QtTest>

// Counting a full offline cache: 12 captures of 3 MB each (36 MB), one file each. The count
// reads the record heads and fields and seeks past the pictures, so it costs the same however
// large the pictures are.
class BenchOfflineStorage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    OfflineStorage storage;

private slots:
    void initTestCase()
    {
        storage.SetStoragePath(dir.filePath("storage.bin"));
        for (int i = 0; i < OfflineStorage::maxItems; ++i) {
            ScreenshotRecord shot;
            shot.memo = QString("Capture %1").arg(i);
            shot.date = QDate(2026, 12, 7);
            shot.time = QTime(9, i, 0);
            shot.workingTime = QTime(0, 9 * i, 0);
            shot.activeWindow = "Editor";
            shot.companyId = 11;
            shot.memberId = 1001;
            shot.image = QByteArray(3 * 1024 * 1024, char('a' + i));
            QVERIFY(storage.AddToStorage(shot));
        }
        storage.WaitForChanges();
        qint64 size = 0;
        const QDir folder(CacheFolder(storage.StoragePath()).FolderPath());
        for (const QFileInfo& file : folder.entryInfoList({ "*.bin" }))
            size += file.size();
        QCOMPARE(size / (1024 * 1024), 36);
    }

    void getTotalStorageItems()
    {
        QCOMPARE(storage.GetTotalStorageItems(), 12);
        QBENCHMARK
        {
            storage.GetTotalStorageItems();
        }
    }

    void getCacheIsFree()
    {
        QVERIFY(!storage.GetCacheIsFree());
        QBENCHMARK
        {
            storage.GetCacheIsFree();
        }
    }
};

QTEST_MAIN(BenchOfflineStorage)
#include "bench_offlinestorage.moc"
