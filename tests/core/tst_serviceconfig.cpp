#include "NotAFile.h"
#include "ServiceConfig.h"

#include <QTemporaryDir>
#include <QtTest>

#include <thread>

class TestServiceConfig : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        for (const char* name : { "MOVARELQUINTASH_API_URL", "MOVARELQUINTASH_WEB_URL",
                 "MOVARELQUINTASH_CHAT_DOMAIN", "MOVARELQUINTASH_CHAT_HOST",
                 "MOVARELQUINTASH_CHAT_PORT", "MOVARELQUINTASH_CA_FILE" })
            qunsetenv(name);
    }

    void defaultsNameTheRealService()
    {
        QCOMPARE(ServiceConfig::apiBaseUrl(), QUrl("https://api.movarelquintash.com"));
        QCOMPARE(ServiceConfig::apiHost(), QString("api.movarelquintash.com"));
        QCOMPARE(ServiceConfig::webBaseUrl(), QUrl("http://www.movarelquintash.com"));
        QCOMPARE(ServiceConfig::chatDomain(), QString("chat.movarelquintash.com"));
        QCOMPARE(ServiceConfig::chatHost(), QString("chat.movarelquintash.com"));
        QCOMPARE(ServiceConfig::chatPort(), quint16(5222));
        QVERIFY(ServiceConfig::extraCaCertificates().isEmpty());
    }

    void overridesAreTakenAndBadOnesRefused()
    {
        qputenv("MOVARELQUINTASH_API_URL", "https://127.0.0.1:8443/");
        qputenv("MOVARELQUINTASH_CHAT_DOMAIN", "localhost");
        qputenv("MOVARELQUINTASH_CHAT_PORT", "15222");
        QCOMPARE(ServiceConfig::apiBaseUrl(), QUrl("https://127.0.0.1:8443"));
        QCOMPARE(ServiceConfig::apiHost(), QString("127.0.0.1"));
        // The chat host follows the chat domain unless it is set itself.
        QCOMPARE(ServiceConfig::chatHost(), QString("localhost"));
        QCOMPARE(ServiceConfig::chatPort(), quint16(15222));

        QVERIFY(ServiceConfig::apiBaseUrlProblem().isEmpty());
        qputenv("MOVARELQUINTASH_WEB_URL", "not a url");
        QCOMPARE(ServiceConfig::webBaseUrl(), QUrl("http://www.movarelquintash.com"));
        for (const char* bad : { "0", "70000", "port" }) {
            qputenv("MOVARELQUINTASH_CHAT_PORT", bad);
            QCOMPARE(ServiceConfig::chatPort(), quint16(5222));
        }
    }

    // The password digest and the session key travel with every request: an API address that
    // is not https reaches nothing, not even the real service.
    void apiAddressesOtherThanHttpsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("plain http") << QByteArray("http://127.0.0.1:8080");
        QTest::newRow("another scheme") << QByteArray("ftp://example.org");
        QTest::newRow("no scheme") << QByteArray("api.example.org");
        QTest::newRow("not an address") << QByteArray("https://exa mple.org");
    }

    void apiAddressesOtherThanHttpsAreRefused()
    {
        QFETCH(QByteArray, value);
        qputenv("MOVARELQUINTASH_API_URL", value);
        QVERIFY(ServiceConfig::apiBaseUrl().isEmpty());
        QVERIFY(ServiceConfig::apiHost().isEmpty());
        const QString problem = ServiceConfig::apiBaseUrlProblem();
        QVERIFY2(problem.contains("https") && problem.contains(QString::fromLatin1(value)),
            qPrintable(problem));
    }

    // The system's CAs are read once, on a thread of their own; the program and the chat module
    // (each with its own copy of this library) take the list from the application object, so
    // the module's first connection does not read the store again.
    void systemCasAreReadOnceForTheWholeProcess()
    {
        qunsetenv("MOVARELQUINTASH_CA_FILE");
        ServiceConfig::prepareTrustedCaCertificates();
        const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
        QCOMPARE(ServiceConfig::trustedCaCertificates(), system);

        // What another copy of the library finds once one has read the list.
        const QList<QSslCertificate> own
            = QSslCertificate::fromPath(TEST_CA_DIR "/ca.pem", QSsl::Pem);
        QCOMPARE(own.size(), 1);
        const char* const shared = "movarelquintash.systemCaCertificates";
        // The application object of a program without widgets: qApp would name a widgets one.
        QCoreApplication* application = QCoreApplication::instance();
        QVERIFY(application->property(shared).isValid());
        application->setProperty(shared, QVariant::fromValue(own));
        QCOMPARE(ServiceConfig::trustedCaCertificates(), own);
        QCOMPARE(ServiceConfig::sslConfiguration().caCertificates(), own);

        // Read on another thread (the requests' own), the list still reaches the application
        // object, on its thread: else the chat module read the store again at sign-in.
        application->setProperty(shared, QVariant());
        std::thread([] { ServiceConfig::sslConfiguration(); }).join();
        QTRY_VERIFY(application->property(shared).isValid());
        QCOMPARE(application->property(shared).value<QList<QSslCertificate>>(), system);
    }

    void caFileAddsToTheSystemList()
    {
        qputenv("MOVARELQUINTASH_CA_FILE", TEST_CA_DIR "/ca.pem");
        const QList<QSslCertificate> extra = ServiceConfig::extraCaCertificates();
        QCOMPARE(extra.size(), 1);
        QVERIFY(ServiceConfig::trustedCaCertificates().contains(extra.first()));
        QVERIFY(ServiceConfig::sslConfiguration().caCertificates().contains(extra.first()));

        QTemporaryDir dir;
        QFile junk(dir.filePath("junk.pem"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a certificate");
        junk.close();
        qputenv("MOVARELQUINTASH_CA_FILE", junk.fileName().toLocal8Bit());
        QVERIFY(ServiceConfig::extraCaCertificates().isEmpty());
        qputenv("MOVARELQUINTASH_CA_FILE", dir.filePath("missing.pem").toLocal8Bit());
        QVERIFY(ServiceConfig::extraCaCertificates().isEmpty());
        // Read at sign-in: a pipe would block it for good.
        QVERIFY(MakeNotAFile(dir.filePath("pipe.pem"), "pipe"));
        qputenv("MOVARELQUINTASH_CA_FILE", dir.filePath("pipe.pem").toLocal8Bit());
        const Deadline deadline("a pipe as the CA file", 10);
        QVERIFY(ServiceConfig::extraCaCertificates().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestServiceConfig)
#include "tst_serviceconfig.moc"
