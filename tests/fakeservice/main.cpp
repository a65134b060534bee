#include "FakeHttpServer.h"
#include "FakeService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslKey>

#include <cstdio>

namespace {

int Die(const QString& message)
{
    std::fprintf(stderr, "fakeservice: %s\n", qPrintable(message));
    return 2;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fakeservice"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Answers the service's REST API over HTTPS on 127.0.0.1 with sample data."));
    parser.addHelpOption();
    const QCommandLineOption cert(QStringLiteral("cert"),
        QStringLiteral("Server certificate (PEM)."), QStringLiteral("file"));
    const QCommandLineOption key(
        QStringLiteral("key"), QStringLiteral("Its private key (PEM)."), QStringLiteral("file"));
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("Port to listen on; 0 picks a free one (default)."), QStringLiteral("n"),
        QStringLiteral("0"));
    const QCommandLineOption record(QStringLiteral("record"),
        QStringLiteral("Folder that receives requests.jsonl and every upload."),
        QStringLiteral("dir"));
    const QCommandLineOption fail(QStringLiteral("fail"),
        QStringLiteral("Fail API requests: %1.").arg(FakeService::FailModes().join(", ")),
        QStringLiteral("mode"));
    const QCommandLineOption failPath(QStringLiteral("fail-path"),
        QStringLiteral("Fail only this path (a trailing * makes it a prefix)."),
        QStringLiteral("path"));
    const QCommandLineOption slowMs(QStringLiteral("slow-ms"),
        QStringLiteral("How late a slow answer comes, or how far apart the bytes of a dripped one "
                       "(default 60000)."), QStringLiteral("ms"),
        QStringLiteral("60000"));
    const QCommandLineOption updateVersion(QStringLiteral("update-version"),
        QStringLiteral("Version the update check offers; empty for none (default 1.1)."),
        QStringLiteral("version"), QStringLiteral("1.1"));
    const QCommandLineOption roster(QStringLiteral("roster"),
        QStringLiteral("A large roster for \"demo\": TEAMSxMEMBERS generated teams, e.g. 200x25."),
        QStringLiteral("size"));
    parser.addOptions({ cert, key, port, record, fail, failPath, slowMs, updateVersion, roster });
    parser.process(app);

    if (!parser.isSet(cert) || !parser.isSet(key))
        return Die(QStringLiteral("--cert and --key are required"));
    const QSslCertificate certificate(ReadFile(parser.value(cert)), QSsl::Pem);
    QSslKey privateKey(ReadFile(parser.value(key)), QSsl::Rsa, QSsl::Pem);
    if (privateKey.isNull())
        privateKey = QSslKey(ReadFile(parser.value(key)), QSsl::Ec, QSsl::Pem);
    if (certificate.isNull() || privateKey.isNull())
        return Die(QStringLiteral("cannot read the certificate or the key"));

    FakeService::Options options;
    options.recordDir = parser.value(record);
    options.updateVersion = parser.value(updateVersion);
    options.failRule.mode = parser.value(fail);
    options.failRule.path = parser.value(failPath);
    options.failRule.delayMs = parser.value(slowMs).toInt();
    if (parser.isSet(roster)) {
        const QStringList size = parser.value(roster).split(QLatin1Char('x'));
        options.rosterTeams = size.value(0).toInt();
        options.rosterMembers = size.value(1).toInt();
        if (size.size() != 2 || options.rosterTeams < 1 || options.rosterMembers < 1)
            return Die(QStringLiteral("--roster wants TEAMSxMEMBERS, e.g. 200x25"));
    }
    if (!options.failRule.mode.isEmpty()
        && !FakeService::FailModes().contains(options.failRule.mode))
        return Die(QStringLiteral("unknown --fail mode ") + options.failRule.mode);

    FakeService service(options);
    FakeHttpServer server(certificate, privateKey,
        [&service](const FakeHttpServer::Request& request) { return service.Handle(request); });
    bool portOk = false;
    const uint wanted = parser.value(port).toUInt(&portOk);
    if (!portOk || wanted > 65535)
        return Die(QStringLiteral("bad --port"));
    if (!server.listen(QHostAddress::LocalHost, quint16(wanted)))
        return Die(QStringLiteral("cannot listen: ") + server.errorString());

    std::printf("LISTENING %u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
