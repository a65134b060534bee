#pragma once

#include <QObject>
#include <QString>

class QHostInfo;

// Whether the machine has a network and whether the service's host name resolves.
class NetworkChecker : public QObject
{
    Q_OBJECT
public:
    explicit NetworkChecker(QObject* parent = nullptr);

    // True when the platform reports an active network configuration, or when the service's
    // host is this machine; asked afresh each call.
    bool IsNetworkEnabled() const;

    // Starts an asynchronous look-up of the host name; its outcome sets IsServerEnabled.
    void RunTestForHost(const QString& host);

    // The outcome of the last finished look-up: true until one fails, then false until one
    // succeeds.
    bool IsServerEnabled() const;

signals:
    // A look-up has finished; `serverEnabled` is its outcome.
    void HostTestFinished(bool serverEnabled);

private:
    void OnLookupFinished(const QHostInfo& info);

    bool serverEnabled = true;
};
