#include "ProsodyServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>

namespace {

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

ProsodyServer::ProsodyServer(const QString& certificate, const QString& key)
    : certificate(certificate), key(key)
{ }

ProsodyServer::~ProsodyServer()
{
    stop();
}

bool ProsodyServer::start()
{
    // Another program may take the port between the probe and the start: try a few.
    for (int attempt = 0; attempt < 5 && !running; ++attempt) {
        serverPort = freePort();
        running = serverPort != 0
            && run({ "start", dir.path(), QString::number(serverPort), certificate, key,
                QString::number(QCoreApplication::applicationPid()) });
    }
    return running;
}

void ProsodyServer::stop()
{
    if (running)
        run({ "stop", dir.path() });
    running = false;
}

bool ProsodyServer::addAccount(const QString& user, const QString& password)
{
    return run({ "register", dir.path(), user, password });
}

QString ProsodyServer::log() const
{
    QFile file(dir.filePath(QStringLiteral("prosody.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool ProsodyServer::run(const QStringList& arguments)
{
    QProcess harness;
    harness.setProcessChannelMode(QProcess::MergedChannels);
    harness.start(QStringLiteral(TEST_SOURCE_DIR "/scripts/prosody-harness"), arguments);
    if (!harness.waitForFinished(30000)) {
        lastError = harness.errorString();
        harness.kill();
        harness.waitForFinished();
        return false;
    }
    lastError = QString::fromLocal8Bit(harness.readAll());
    return harness.exitStatus() == QProcess::NormalExit && harness.exitCode() == 0;
}
