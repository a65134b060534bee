#include "NetworkChecker.h"

#include "LogCategories.h"
#include "ServiceConfig.h"

#include <QDebug>
#include <QHostAddress>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QNetworkConfigurationManager>

#include <optional>
#include <utility>

namespace {

bool IsLoopbackHost(const QString& host)
{
    // Asked before every request and on every state check while tracking: the address is read
    // again only when the host changes.
    thread_local std::optional<std::pair<QString, bool>> last; // the host, whether it is loopback
    if (last && last->first == host)
        return last->second;
    bool loopback = host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
    if (!loopback) {
        const QHostAddress address(host);
        loopback = !address.isNull() && address.isLoopback();
    }
    last = std::make_pair(host, loopback);
    return loopback;
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
