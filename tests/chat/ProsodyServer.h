#pragma once

#include <QString>
#include <QTemporaryDir>

// A throwaway prosody on a free loopback port, run through scripts/prosody-harness, for the
// tests that need a real chat server. It stops with this object, or with the test program
// should that die first.
class ProsodyServer
{
public:
    ProsodyServer(const QString& certificate, const QString& key);
    ~ProsodyServer();
    ProsodyServer(const ProsodyServer&) = delete;
    ProsodyServer& operator=(const ProsodyServer&) = delete;

    bool start();
    void stop();
    // Creates the account user@localhost.
    bool addAccount(const QString& user, const QString& password);

    quint16 port() const { return serverPort; }
    // What the harness said when it last failed.
    QString error() const { return lastError; }
    // The server's own log so far.
    QString log() const;

private:
    bool run(const QStringList& arguments);

    QTemporaryDir dir;
    QString certificate;
    QString key;
    quint16 serverPort = 0;
    bool running = false;
    QString lastError;
};
