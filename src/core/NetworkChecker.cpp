#include "NetworkChecker.h"

#include "ServiceConfig.h"

#include <QDebug>
#include <QHostAddress>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QNetworkConfigurationManager>

namespace {

Q_LOGGING_CATEGORY(networkLog, "movarelquintash.network", QtInfoMsg)

bool IsLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

NetworkChecker::NetworkChecker(QObject* parent) : QObject(parent) { }

bool NetworkChecker::IsNetworkEnabled() const
{
    // A service on this machine (a local test or demo service) needs no network interface.
    if (IsLoopbackHost(ServiceConfig::apiHost()))
        return true;
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
        qCDebug(networkLog) << "Host look-up failed:" << info.hostName() << info.errorString();
    emit HostTestFinished(serverEnabled);
}
