#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

// Runs the fake service for a test: starts it on a free loopback port with the throwaway
// CA's certificate, points the client at it through the environment, reads what it recorded
// and changes its failures on the fly.
class FakeServiceProcess
{
public:
    enum Certificate
    {
        Trusted,
        Untrusted
    };

    FakeServiceProcess();
    ~FakeServiceProcess();

    // Waits until the service listens. `arguments` are added to its command line.
    bool Start(const QStringList& arguments = {}, Certificate certificate = Trusted);
    void Stop();

    quint16 Port() const;
    QUrl BaseUrl() const;
    QString RecordDir() const;

    // Sets MOVARELQUINTASH_API_URL and MOVARELQUINTASH_CA_FILE for clients created afterwards,
    // and has the system's CA store read for them.
    void PointClientsHere() const;

    // POST /control/<command> with the fields; true when the service took it.
    bool Control(const QString& command, const QMap<QString, QString>& fields = {});

    // Every API request received, in order (requests.jsonl).
    QList<QJsonObject> Requests() const;
    // Every accepted upload, in order, each with "image_file" naming its PNG.
    QList<QJsonObject> Uploads() const;
    QByteArray UploadImage(const QJsonObject& upload) const;

    static QString CaFile();

private:
    QProcess process;
    QTemporaryDir recordDir;
    quint16 port = 0;
};
