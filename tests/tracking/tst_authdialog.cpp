#include "tracking/AuthDialog.h"

#include "AppInfo.h"
#include "FakeServiceProcess.h"
#include "SettingsKeys.h"
#include "SettingsProvider.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestAuthDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void cleanup()
    {
        QSettings(AppInfo::organizationName, AppInfo::applicationName).clear();
        m_service.Control("reset");
    }

    void signInHandsOnTheMemberAndSavesTheCredentials()
    {
        AuthDialog dialog;
        QSignalSpy complete(&dialog, &AuthDialog::OnAuthComplete);
        QSignalSpy failed(&dialog, &AuthDialog::OnAuthFailed);
        dialog.showAuthDialogWithPrompt(false);
        submit(dialog, " demo ", "demo123", true);
        QTRY_COMPARE(complete.count(), 1);
        QCOMPARE(failed.count(), 0);
        QVERIFY(!dialog.isVisible());

        QCOMPARE(complete.at(0).at(0).toString(), QString("demo"));
        const auto info = complete.at(0).at(1).value<RestAPI::SecurityUserInfo>();
        QCOMPARE(info.memberId, 1001);
        QCOMPARE(info.memberUsername, QString("demo"));
        QVERIFY(!info.hashKey.isEmpty());
        QCOMPARE(info.password, QString("demo123"));

        // Only the digest travels.
        const QJsonObject login = lastRequest("/k4p/auth/login:var");
        QCOMPARE(login.value("fields").toObject().value("password").toString(),
            QString(QCryptographicHash::hash("demo123", QCryptographicHash::Md5).toHex()));

        SettingsProvider settings;
        QCOMPARE(settings.GetLoginName(), QString("demo"));
        QCOMPARE(settings.GetPassword(), QString("demo123"));

        // The next time the dialog offers both again; without "Remember password" the saved
        // one is forgotten.
        dialog.showAuthDialogWithPrompt(false);
        QCOMPARE(field(dialog, "txtLoginName")->text(), QString("demo"));
        QCOMPARE(field(dialog, "txtPassword")->text(), QString("demo123"));
        QVERIFY(dialog.findChild<QCheckBox*>("chkRememberPassword")->isChecked());
        submit(dialog, "demo", "demo123", false);
        QTRY_COMPARE(complete.count(), 2);
        QCOMPARE(settings.GetLoginName(), QString("demo"));
        QCOMPARE(settings.GetPassword(), QString());
        dialog.showAuthDialogWithPrompt(false);
        QCOMPARE(field(dialog, "txtPassword")->text(), QString());
    }

    void wrongPasswordIsToldAndKeepsWhatWasTyped()
    {
        AuthDialog dialog;
        QSignalSpy complete(&dialog, &AuthDialog::OnAuthComplete);
        QSignalSpy failed(&dialog, &AuthDialog::OnAuthFailed);
        dialog.showAuthDialogWithPrompt(false);
        submit(dialog, "demo", "wrong", true);
        QVERIFY(!button(dialog)->isEnabled());
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QString("demo"));
        QCOMPARE(complete.count(), 0);
        QVERIFY(dialog.isVisible());
        QCOMPARE(status(dialog), QString("Wrong login name or password."));
        QCOMPARE(field(dialog, "txtLoginName")->text(), QString("demo"));
        QCOMPARE(field(dialog, "txtPassword")->text(), QString("wrong"));
        QVERIFY(button(dialog)->isEnabled());
        QCOMPARE(SettingsProvider().GetPassword(), QString());
        QCOMPARE(SettingsProvider().GetLoginName(), QString());
    }

    void emptyFieldsSendNothing()
    {
        AuthDialog dialog;
        QSignalSpy failed(&dialog, &AuthDialog::OnAuthFailed);
        dialog.showAuthDialogWithPrompt(false);
        const int before = m_service.Requests().size();
        submit(dialog, "demo", "", false);
        QCOMPARE(status(dialog), QString("Enter your login name and password."));
        submit(dialog, "  ", "demo123", false);
        QTest::qWait(100);
        QCOMPARE(m_service.Requests().size(), before);
        QCOMPARE(failed.count(), 0);
    }

    void failingServerIsToldApart()
    {
        QVERIFY(m_service.Control(
            "fail", { { "mode", "http500" }, { "path", "/k4p/auth/login:var" } }));
        AuthDialog dialog;
        QSignalSpy failed(&dialog, &AuthDialog::OnAuthFailed);
        dialog.showAuthDialogWithPrompt(false);
        submit(dialog, "demo", "demo123", false);
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(status(dialog), QString("The server could not sign you in. Try again later."));
    }

    void signsInByItselfOnlyWhenAllowedAndSaved()
    {
        SettingsProvider settings;
        settings.SaveLoginName("demo");
        settings.SavePassword("demo123");
        const int before = m_service.Requests().size();

        AuthDialog dialog;
        QSignalSpy complete(&dialog, &AuthDialog::OnAuthComplete);
        dialog.showAuthDialogWithPrompt(true); // "sign in at launch" is off
        dialog.showAuthDialogWithPrompt(false);
        settings.SetKeyByName(SettingsKeys::signInAtRun, true);
        dialog.showAuthDialogWithPrompt(false);
        QTest::qWait(100);
        QCOMPARE(m_service.Requests().size(), before);
        QCOMPARE(complete.count(), 0);

        dialog.showAuthDialogWithPrompt(true);
        QTRY_COMPARE(complete.count(), 1);
        QCOMPARE(complete.at(0).at(1).value<RestAPI::SecurityUserInfo>().memberId, 1001);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(settings.GetPassword(), QString("demo123"));

        // Without a saved password there is nothing to sign in with.
        settings.ForgetPassword();
        dialog.showAuthDialogWithPrompt(true);
        QTest::qWait(100);
        QCOMPARE(complete.count(), 1);
        QVERIFY(dialog.isVisible());
    }

    void unreachableServerIsToldApart()
    {
        m_service.Stop();
        AuthDialog dialog;
        QSignalSpy failed(&dialog, &AuthDialog::OnAuthFailed);
        dialog.showAuthDialogWithPrompt(false);
        submit(dialog, "demo", "demo123", false);
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(status(dialog),
            QString("The server cannot be reached. Check your connection and try again."));
    }

    // What the member reads follows how the sign-in failed, never the failure's words: the
    // last rows word a failure as another kind would be worded.
    void failuresAreToldApartByHowTheyFailed_data()
    {
        QTest::addColumn<RestAPI::ApiState>("state");
        QTest::addColumn<Api::Outcome>("outcome");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString offline = "There is no network connection. Connect and try again.";
        const QString wrong = "Wrong login name or password.";
        const QString failing = "The server could not sign you in. Try again later.";
        const QString unreachable
            = "The server cannot be reached. Check your connection and try again.";
        const auto row = [](const char* name, RestAPI::ApiState state, Api::Outcome outcome,
                             int status, const char* text, const QString& shown) {
            QTest::newRow(name) << state << outcome << status << QString(text) << shown;
        };
        const RestAPI::ApiState login = RestAPI::LoginState;
        row("no network", RestAPI::NoConnection, Api::Outcome::NoNetwork, 0,
            "no network for LoginState", offline);
        row("refused by the service", login, Api::Outcome::Refused, 0,
            "error 101: Wrong login or password", wrong);
        row("HTTP 401", login, Api::Outcome::HttpStatus, 401, "HTTP 401, error auth: expired",
            wrong);
        row("HTTP 403", login, Api::Outcome::HttpStatus, 403, "HTTP 403", wrong);
        row("HTTP 500", login, Api::Outcome::HttpStatus, 500, "HTTP 500, error server: down",
            failing);
        row("HTTP 404", login, Api::Outcome::HttpStatus, 404, "HTTP 404", failing);
        row("timed out", login, Api::Outcome::Timeout, 0, "no answer in 30 s", unreachable);
        row("unreadable answer", login, Api::Outcome::BadAnswer, 0, "malformed XML: cut short",
            unreachable);
        row("too large after a 401 head", login, Api::Outcome::BadAnswer, 401,
            "the answer is larger than 4194304 bytes", unreachable);
        row("TLS", login, Api::Outcome::Tls, 0, "SSL handshake failed", unreachable);
        row("closed port", login, Api::Outcome::Unreachable, 0, "Connection refused", unreachable);
        row("connection words like a refusal", login, Api::Outcome::Unreachable, 0,
            "error while connecting", unreachable);
        row("connection words like a status", login, Api::Outcome::Tls, 0,
            "HTTP 401 expected, TLS alert", unreachable);
        row("service words like a connection", login, Api::Outcome::Refused, 0,
            "Connection refused for this member", wrong);
    }

    void failuresAreToldApartByHowTheyFailed()
    {
        QFETCH(RestAPI::ApiState, state);
        QFETCH(Api::Outcome, outcome);
        QFETCH(int, status);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(AuthDialog::FailureText(
                     RestAPI::ApiResult::Failure(state, outcome, text, QVariant(), status)),
            shown);
    }

private:
    static QLineEdit* field(AuthDialog& dialog, const char* name)
    {
        return dialog.findChild<QLineEdit*>(name);
    }
    static QPushButton* button(AuthDialog& dialog)
    {
        return dialog.findChild<QPushButton*>("btnLogIn");
    }
    static QString status(AuthDialog& dialog)
    {
        return dialog.findChild<QLabel*>("lblStatus")->text();
    }
    // Fills in the form as the member would and presses Log In.
    static void submit(
        AuthDialog& dialog, const QString& login, const QString& password, bool remember)
    {
        field(dialog, "txtLoginName")->setText(login);
        field(dialog, "txtPassword")->setText(password);
        dialog.findChild<QCheckBox*>("chkRememberPassword")->setChecked(remember);
        button(dialog)->click();
    }
    QJsonObject lastRequest(const QString& path) const
    {
        const QList<QJsonObject> requests = m_service.Requests();
        for (auto it = requests.crbegin(); it != requests.crend(); ++it)
            if (it->value("path").toString() == path)
                return *it;
        return {};
    }

    FakeServiceProcess m_service;
};

QTEST_MAIN(TestAuthDialog)
#include "tst_authdialog.moc"
