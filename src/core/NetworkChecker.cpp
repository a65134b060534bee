#include "NetworkChecker.h"

#include <QDebug>
#include <QHostInfo>
#include <QNetworkConfigurationManager>

NetworkChecker::NetworkChecker(QObject* parent) : QObject(parent) { }

bool NetworkChecker::IsNetworkEnabled() const
{
    const QNetworkConfigurationManager manager;
    return !manager.allConfigurations(QNetworkConfiguration::Active).isEmpty();
}

void NetworkChecker::RunTestForHost(const QString& host)
{
    QHostInfo::lookupHost(host, this, &NetworkChecker::OnLookupFinished);
}

bool NetworkChecker::IsServerEnabled() const
{
    return serverEnabled;
}

void NetworkChecker::OnLookupFinished(const QHostInfo& info)
{
    serverEnabled = info.error() == QHostInfo::NoError && !info.addresses().isEmpty();
    if (!serverEnabled)
        qDebug() << "Host look-up failed:" << info.hostName() << info.errorString();
    emit HostTestFinished(serverEnabled);
}
