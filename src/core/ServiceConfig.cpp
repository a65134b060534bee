#include "ServiceConfig.h"

#include "LogCategories.h"
#include "RegularFile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QMutex>
#include <QThread>
#include <QVariant>

#include <future>
#include <optional>
#include <utility>

namespace {

QString env(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name)).trimmed();
}

const char* const apiUrlVariable = "MOVARELQUINTASH_API_URL";

bool IsWebAddress(const QUrl& url, bool httpsOnly)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("https") || (!httpsOnly && scheme == QLatin1String("http")));
}

// Request paths are appended to the base, so it keeps no trailing slash.
QUrl WithoutTrailingSlash(QUrl url)
{
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path);
    return url;
}

// An overriding URL must be absolute http(s) with a host; anything else falls back to the default.
QUrl urlFromEnv(const char* name, const QString& fallback)
{
    const QString value = env(name);
    if (value.isEmpty())
        return QUrl(fallback);
    const QUrl url(value, QUrl::StrictMode);
    if (!IsWebAddress(url, false)) {
        qCWarning(configLog) << name << "is not an http(s) address, using" << fallback;
        return QUrl(fallback);
    }
    return WithoutTrailingSlash(url);
}

} // namespace

namespace ServiceConfig {

QUrl apiBaseUrl()
{
    const QString value = env(apiUrlVariable);
    if (value.isEmpty())
        return QUrl(QStringLiteral("https://api.movarelquintash.com"));
    if (!apiBaseUrlProblem().isEmpty())
        return QUrl();
    return WithoutTrailingSlash(QUrl(value, QUrl::StrictMode));
}

QString apiBaseUrlProblem()
{
    const QString value = env(apiUrlVariable);
    if (value.isEmpty() || IsWebAddress(QUrl(value, QUrl::StrictMode), true))
        return {};
    return QStringLiteral("%1 is \"%2\", but the service can only be reached at an https "
                          "address such as https://api.example.com:8443: the password and the "
                          "session key must not travel in clear.")
        .arg(QLatin1String(apiUrlVariable), value);
}

QString apiHost()
{
    // Asked before every request (is the service on this machine?): the address is parsed again
    // only when it changes.
    thread_local std::optional<std::pair<QString, QString>> last; // the variable's value, its host
    const QString value = env(apiUrlVariable);
    if (!last || last->first != value)
        last = std::make_pair(value, apiBaseUrl().host());
    return last->second;
}

QUrl webBaseUrl()
{
    return urlFromEnv("MOVARELQUINTASH_WEB_URL", QStringLiteral("http://www.movarelquintash.com"));
}

QString chatDomain()
{
    const QString value = env("MOVARELQUINTASH_CHAT_DOMAIN");
    return value.isEmpty() ? QStringLiteral("chat.movarelquintash.com") : value;
}

QString chatHost()
{
    const QString value = env("MOVARELQUINTASH_CHAT_HOST");
    return value.isEmpty() ? chatDomain() : value;
}

quint16 chatPort()
{
    const QString value = env("MOVARELQUINTASH_CHAT_PORT");
    bool ok = false;
    const uint port = value.toUInt(&ok);
    if (value.isEmpty() || !ok || port == 0 || port > 65535) {
        if (!value.isEmpty())
            qCWarning(configLog) << "MOVARELQUINTASH_CHAT_PORT is not a port number, using 5222";
        return 5222;
    }
    return static_cast<quint16>(port);
}

QList<QSslCertificate> extraCaCertificates()
{
    const QString path = env("MOVARELQUINTASH_CA_FILE");
    if (path.isEmpty())
        return {};
    QFile file;
    // Regular files only: a pipe there would block the sign-in for good.
    if (!RegularFile::OpenForReading(&file, path)) {
        qCWarning(configLog) << "Cannot read the CA file" << path << "(a readable regular file)";
        return {};
    }
    const QList<QSslCertificate> certificates
        = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (certificates.isEmpty())
        qCWarning(configLog) << "No PEM certificate in" << path;
    return certificates;
}

namespace {

// The program and the chat module each carry this library, so each has its own statics; the
// application object is what they share, and the list read by one serves the other.
const char* const systemCaProperty = "movarelquintash.systemCaCertificates";

QMutex systemCaMutex;

std::shared_future<QList<QSslCertificate>>& SystemCaReading()
{
    static std::shared_future<QList<QSslCertificate>> reading;
    return reading;
}

bool OnApplicationThread()
{
    return QCoreApplication::instance()
        && QThread::currentThread() == QCoreApplication::instance()->thread();
}

std::optional<QList<QSslCertificate>> SharedSystemCas()
{
    if (!OnApplicationThread())
        return std::nullopt;
    const QVariant shared = QCoreApplication::instance()->property(systemCaProperty);
    if (!shared.isValid())
        return std::nullopt;
    return shared.value<QList<QSslCertificate>>();
}

// Sets the list on the application object, from its thread: a list read on another thread (the
// reading thread, the requests' thread) gets there on the event loop's next turn, before any
// answer that needed it.
void ShareSystemCas(const QList<QSslCertificate>& certificates)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return;
    const auto share = [application, certificates] {
        if (!application->property(systemCaProperty).isValid())
            application->setProperty(systemCaProperty, QVariant::fromValue(certificates));
    };
    if (OnApplicationThread())
        share();
    else
        QMetaObject::invokeMethod(application, share, Qt::QueuedConnection);
}

// Parsing the system's CA store is costly (100 to 300 ms) and gives the same list all along:
// done once, on a thread of its own.
QList<QSslCertificate> SystemCaCertificates()
{
    if (const auto shared = SharedSystemCas())
        return *shared;
    prepareTrustedCaCertificates();
    QList<QSslCertificate> certificates;
    {
        QMutexLocker lock(&systemCaMutex);
        std::shared_future<QList<QSslCertificate>>& reading = SystemCaReading();
        // Without an application object, or off its thread: read here, once.
        if (!reading.valid())
            reading = std::async(std::launch::deferred, [] {
                return QSslConfiguration::systemCaCertificates();
            }).share();
        certificates = reading.get();
    }
    ShareSystemCas(certificates);
    return certificates;
}

} // namespace

void prepareTrustedCaCertificates()
{
    // The reading thread is waited for as the application object goes, while the network
    // library it uses is still there.
    if (!OnApplicationThread() || SharedSystemCas())
        return;
    QMutexLocker lock(&systemCaMutex);
    std::shared_future<QList<QSslCertificate>>& reading = SystemCaReading();
    if (reading.valid())
        return;
    reading = std::async(std::launch::async, [] {
        const QList<QSslCertificate> certificates = QSslConfiguration::systemCaCertificates();
        ShareSystemCas(certificates);
        return certificates;
    }).share();
    qAddPostRoutine([] {
        QMutexLocker lock(&systemCaMutex);
        SystemCaReading().wait();
    });
}

QList<QSslCertificate> trustedCaCertificates()
{
    return SystemCaCertificates() + extraCaCertificates();
}

QSslConfiguration sslConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(trustedCaCertificates());
    return configuration;
}

} // namespace ServiceConfig
