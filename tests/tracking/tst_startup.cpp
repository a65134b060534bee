#include "XdoTool.h"

#include <QProcess>
#include <QtTest>

// Runs the client itself twice on the test's display and answers the second one's box as a
// user would.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void secondInstanceSaysSoAndLeavesWithMinusOne()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Nothing may leave the machine: the service is a closed local port.
        environment.insert("MOVARELQUINTASH_API_URL", "https://127.0.0.1:9");
        environment.insert("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");

        QProcess first;
        first.setProcessEnvironment(environment);
        first.start(CLIENT_PATH, QStringList());
        QVERIFY(first.waitForStarted());
        // The first instance is up once its sign-in dialog is.
        QVERIFY(!findWindow(first.processId(), "^Sign in - ").isEmpty());

        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(CLIENT_PATH, QStringList());
        QVERIFY(second.waitForStarted());
        const QString box = findWindow(second.processId(), "^Movarelquintash Client$");
        QVERIFY(!box.isEmpty());
        QVERIFY(!second.waitForFinished(300)); // the box waits for its answer
        QVERIFY(xdotool({ "windowfocus", "--sync", box }));
        QVERIFY(xdotool({ "key", "Return" }));
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 255); // -1 as the shell sees it

        // The running instance is untouched.
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
    }

private:
    // The id of the first window of the process whose name matches, waiting for it to appear.
    static QString findWindow(qint64 pid, const QString& namePattern)
    {
        QProcess search;
        search.start("xdotool",
            { "search", "--sync", "--onlyvisible", "--pid", QString::number(pid), "--name",
                namePattern });
        if (!search.waitForFinished(15000)) {
            search.kill();
            search.waitForFinished();
            return {};
        }
        return QString::fromLatin1(search.readAllStandardOutput()).split('\n').value(0).trimmed();
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
