#include "SingleApplication.h"

#include <QLockFile>
#include <QProcess>
#include <QUuid>
#include <QtTest>

#include <cstdio>
#include <cstring>

namespace {

// Run as "--instance <id> probe|hold [early]": builds the application object, prints "running"
// or "primary", and with "hold" stays up as the primary until it is killed. With "early" the
// lock is taken on its worker while the instance does other work, as the client does.
int runInstance(int argc, char** argv)
{
    const QString id = QString::fromLocal8Bit(argv[2]);
    const bool hold = std::strcmp(argv[3], "hold") == 0;
    const bool early = argc > 4 && std::strcmp(argv[4], "early") == 0;
    SingleApplication app(argc, argv, id);
    if (early) {
        app.StartTakingLock();
        QThread::msleep(20);
    }
    const bool running = app.isRunning();
    std::printf("%s\n", running ? "running" : "primary");
    std::fflush(stdout);
    if (running || !hold)
        return running ? 1 : 0;
    return app.exec();
}

} // namespace

class TestSingleApplication : public QObject
{
    Q_OBJECT
private slots:
    void init() { id = "Single Test " + QUuid::createUuid().toString(QUuid::WithoutBraces); }

    // Each test runs with the lock taken as isRunning is asked, and taken early on its worker.
    void initTestCase_data()
    {
        QTest::addColumn<bool>("early");
        QTest::newRow("lock taken when asked") << false;
        QTest::newRow("lock taken early") << true;
    }

    void cleanup()
    {
        for (QProcess* process : qAsConst(holders)) {
            process->kill();
            process->waitForFinished();
        }
        qDeleteAll(holders);
        holders.clear();
    }

    void secondInstanceSeesTheFirst()
    {
        QCOMPARE(startHolder(), QByteArray("primary"));
        QCOMPARE(probe(), QByteArray("running"));
        QCOMPARE(probe(), QByteArray("running"));
        // Another id is another application.
        const QString mine = id;
        id += " other";
        QCOMPARE(probe(), QByteArray("primary"));
        id = mine;
    }

    void killedHolderDoesNotBlockTheNextStart()
    {
        QCOMPARE(startHolder(), QByteArray("primary"));
        QProcess* first = holders.takeFirst();
        first->kill();
        QVERIFY(first->waitForFinished());
        delete first;
        QVERIFY(QFile::exists(SingleApplication::LockFilePath(id)));

        QCOMPARE(startHolder(), QByteArray("primary"));
        QCOMPARE(probe(), QByteArray("running"));
    }

    void lockWithoutAnsweringHolderIsTakenOver()
    {
        // A lock left by a crashed instance whose process id now belongs to a live process
        // of the same name: the lock looks held, but nobody answers.
        const QString path = SingleApplication::LockFilePath(id);
        QByteArray content;
        {
            QLockFile lock(path);
            QVERIFY(lock.tryLock(0));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            content = file.readAll();
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        QCOMPARE(probe(), QByteArray("primary"));
        QCOMPARE(startHolder(), QByteArray("primary"));
        QCOMPARE(probe(), QByteArray("running"));
    }

private:
    static QStringList Arguments(const QString& id, const char* role)
    {
        QFETCH_GLOBAL(bool, early);
        QStringList arguments { "--instance", id, role };
        if (early)
            arguments << "early";
        return arguments;
    }

    QByteArray startHolder()
    {
        auto* process = new QProcess;
        holders.append(process);
        process->start(QCoreApplication::applicationFilePath(), Arguments(id, "hold"));
        if (!process->waitForStarted(5000))
            return "not started";
        while (!process->canReadLine()) {
            if (!process->waitForReadyRead(10000))
                return "no answer";
        }
        return process->readLine().trimmed();
    }

    QByteArray probe()
    {
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(), Arguments(id, "probe"));
        if (!process.waitForFinished(15000))
            return "no answer";
        return process.readAllStandardOutput().trimmed();
    }

    QString id;
    QList<QProcess*> holders;
};

int main(int argc, char* argv[])
{
    if (argc >= 4 && std::strcmp(argv[1], "--instance") == 0)
        return runInstance(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleapplication.moc"
