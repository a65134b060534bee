#include "AppInfo.h"
#include "FakeServiceProcess.h"
#include "SettingsProvider.h"
#include "tracking/updateDialog.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

// The update window against the fake service's installer download; the hand-over to the
// installer is replaced, so nothing is opened and the test keeps running.
class TestUpdateDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(service.Start());
        service.PointClientsHere();
    }

    void init()
    {
        QVERIFY(service.Control("reset"));
        QDir(AppInfo::dataFolder()).removeRecursively();
        SettingsProvider::instance()->SetKeyByName("/update/date", QDate());
        dialog = std::make_unique<updateDialog>();
        launched.clear();
        dialog->SetInstallerLauncher([this](const QString& path) {
            launched << path;
            return launchWorks;
        });
        launchWorks = true;
    }

    void cleanup() { dialog.reset(); }

    void showsBothVersions()
    {
        Show();
        QVERIFY(dialog->isVisible());
        QCOMPARE(Label("lblCurrentVersion")->text(), QString("1.0.0"));
        QCOMPARE(Label("lblAvailableVersion")->text(), QString("1.1"));
        QVERIFY(!Progress()->isVisible());
        QVERIFY(Button("btnUpdate")->isEnabled());
    }

    void updateDownloadsIntoTheDataFolderAndOpensIt()
    {
        Show();
        QSignalSpy started(dialog.get(), &updateDialog::DownloadUpdate);
        Button("btnUpdate")->click();
        QCOMPARE(started.size(), 1);
        QVERIFY(Progress()->isVisible());
        QVERIFY(!Button("btnUpdate")->isEnabled());
        QTRY_COMPARE(launched.size(), 1);
        const QString expected = AppInfo::dataFolder() + "/movarelquintash-client_1.1_amd64.deb";
        QCOMPARE(launched.first(), expected);
        QCOMPARE(QFileInfo(expected).size(), 512 * 1024);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(StoredDate(), QDate::currentDate());
    }

    void cancelKeepsTodayAndDownloadsNothing()
    {
        Show();
        QSignalSpy canceled(dialog.get(), &updateDialog::DownloadCanceled);
        Button("btnCancel")->click();
        QCOMPARE(canceled.size(), 1);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(StoredDate(), QDate::currentDate());
        QVERIFY(launched.isEmpty());
        QVERIFY(!QDir(AppInfo::dataFolder()).exists()
            || QDir(AppInfo::dataFolder()).entryList(QDir::Files).isEmpty());
    }

    void closingDuringTheDownloadCancelsIt()
    {
        QVERIFY(service.Control(
            "fail", { { "mode", "slow" }, { "path", "/downloads/*" }, { "delay", "3000" } }));
        Show();
        QSignalSpy canceled(dialog.get(), &updateDialog::DownloadCanceled);
        QSignalSpy failed(dialog.get(), &updateDialog::DownloadUpdateError);
        Button("btnUpdate")->click();
        QTest::qWait(100);
        QVERIFY(dialog->close());
        QCOMPARE(canceled.size(), 1);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(StoredDate(), QDate::currentDate());
        QTest::qWait(200);
        QVERIFY(failed.isEmpty());
        QVERIFY(launched.isEmpty());
        // No installer and no half-written temporary file are left behind.
        QVERIFY(QDir(AppInfo::dataFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void aFailedDownloadSaysSoAndAllowsAnotherTry()
    {
        QVERIFY(service.Control(
            "fail", { { "mode", "http500" }, { "path", "/downloads/*" }, { "times", "1" } }));
        Show();
        QSignalSpy failed(dialog.get(), &updateDialog::DownloadUpdateError);
        Button("btnUpdate")->click();
        QTRY_COMPARE(failed.size(), 1);
        QVERIFY(dialog->isVisible());
        QVERIFY(Label("lblStatus")->text().contains("HTTP 500"));
        QVERIFY(Button("btnUpdate")->isEnabled());
        QVERIFY(!StoredDate().isValid());
        QVERIFY(launched.isEmpty());

        Button("btnUpdate")->click();
        QTRY_COMPARE(launched.size(), 1);
    }

    void anInstallerThatCannotBeOpenedIsAFailure()
    {
        launchWorks = false;
        Show();
        QSignalSpy failed(dialog.get(), &updateDialog::DownloadUpdateError);
        Button("btnUpdate")->click();
        QTRY_COMPARE(failed.size(), 1);
        QVERIFY(dialog->isVisible());
        QVERIFY(Label("lblStatus")->text().contains("could not be opened"));
    }

    void installerFileNames_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "https://h/dl/client_1.2_amd64.deb"
                               << "client_1.2_amd64.deb";
        QTest::newRow("query ignored") << "https://h/dl/setup.run?token=1/2"
                                       << "setup.run";
        QTest::newRow("encoded slashes") << "https://h/dl/..%2F..%2F.bashrc"
                                         << "bashrc";
        QTest::newRow("dot dot") << "https://h/dl/.."
                                 << "update";
        QTest::newRow("no segment") << "https://h/"
                                    << "update";
        QTest::newRow("odd characters") << "https://h/a%00b%20c$d.deb"
                                        << "a_b_c_d.deb";
    }
    void installerFileNames()
    {
        QFETCH(QString, address);
        QFETCH(QString, name);
        QCOMPARE(updateDialog::InstallerFileName(QUrl(address)), name);
    }

private:
    void Show()
    {
        RestAPI::SecurityUserInfo info;
        info.memberId = 1001;
        info.hashKey = "key";
        RestAPI::UpdateInfo update;
        update.version = "1.1";
        update.downloadUrl
            = service.BaseUrl().toString() + "/downloads/movarelquintash-client_1.1_amd64.deb";
        dialog->showUpdate(info, update, "1.0.0", "1.1");
    }

    QLabel* Label(const char* name) const { return dialog->findChild<QLabel*>(name); }
    QPushButton* Button(const char* name) const { return dialog->findChild<QPushButton*>(name); }
    QProgressBar* Progress() const { return dialog->findChild<QProgressBar*>("progressBar"); }

    static QDate StoredDate()
    {
        return SettingsProvider::instance()->GetCurrentSettings().updateDate;
    }

    FakeServiceProcess service;
    std::unique_ptr<updateDialog> dialog;
    QStringList launched;
    bool launchWorks = true;
};

QTEST_MAIN(TestUpdateDialog)
#include "tst_updatedialog.moc"
