#include "FakeServiceProcess.h"

#include "ServiceConfig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>

FakeServiceProcess::FakeServiceProcess()
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

FakeServiceProcess::~FakeServiceProcess()
{
    Stop();
}

bool FakeServiceProcess::Start(const QStringList& arguments, Certificate certificate)
{
    const QString name
        = certificate == Trusted ? QStringLiteral("server") : QStringLiteral("untrusted");
    const QString dir = QStringLiteral(FAKESERVICE_CA_DIR);
    process.start(QStringLiteral(FAKESERVICE_PATH),
        QStringList { "--cert", dir + "/" + name + ".pem", "--key", dir + "/" + name + ".key",
            "--record", recordDir.path() }
            + arguments);
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        output += process.readAllStandardOutput();
        const int line = output.indexOf('\n');
        if (line >= 0 && output.startsWith("LISTENING ")) {
            port = quint16(output.mid(10, line - 10).trimmed().toUInt());
            return port != 0;
        }
    }
    Stop();
    return false;
}

void FakeServiceProcess::Stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

quint16 FakeServiceProcess::Port() const
{
    return port;
}

QUrl FakeServiceProcess::BaseUrl() const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1").arg(port));
}

QString FakeServiceProcess::RecordDir() const
{
    return recordDir.path();
}

void FakeServiceProcess::PointClientsHere() const
{
    qputenv("MOVARELQUINTASH_API_URL", BaseUrl().toString().toUtf8());
    qputenv("MOVARELQUINTASH_CA_FILE", CaFile().toUtf8());
    // Read once per process, and the clients' first request waits for it: under the
    // sanitizers that takes longer than a test waits for an answer, so it is read here.
    ServiceConfig::trustedCaCertificates();
}

bool FakeServiceProcess::Control(const QString& command, const QMap<QString, QString>& fields)
{
    QNetworkAccessManager manager;
    QUrl url = BaseUrl();
    url.setPath(QStringLiteral("/control/") + command);
    QNetworkRequest request(url);
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setCaCertificates(QSslCertificate::fromPath(CaFile()));
    request.setSslConfiguration(ssl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    // Everything but the unreserved characters encoded: a '+' in a value must not arrive as a
    // space.
    QByteArray body;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        body += (body.isEmpty() ? "" : "&") + QUrl::toPercentEncoding(it.key()) + '='
            + QUrl::toPercentEncoding(it.value());
    QNetworkReply* reply = manager.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool ok = reply->isFinished() && reply->error() == QNetworkReply::NoError;
    delete reply;
    return ok;
}

QList<QJsonObject> FakeServiceProcess::Requests() const
{
    QList<QJsonObject> requests;
    QFile file(QDir(recordDir.path()).filePath(QStringLiteral("requests.jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return requests;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            requests.append(QJsonDocument::fromJson(line).object());
    }
    return requests;
}

QList<QJsonObject> FakeServiceProcess::Uploads() const
{
    QList<QJsonObject> uploads;
    const QDir dir(recordDir.path());
    const QStringList names
        = dir.entryList({ QStringLiteral("upload-*.json") }, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            uploads.append(QJsonDocument::fromJson(file.readAll()).object());
    }
    return uploads;
}

QByteArray FakeServiceProcess::UploadImage(const QJsonObject& upload) const
{
    QFile file(
        QDir(recordDir.path()).filePath(upload.value(QStringLiteral("image_file")).toString()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString FakeServiceProcess::CaFile()
{
    return QStringLiteral(FAKESERVICE_CA_DIR "/ca.pem");
}
