#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

// Where the service lives. Every value has a default for the real service and an
// environment override, so tests and the demo can point the client at local servers.
namespace ServiceConfig {

// REST API base: scheme, host and optional port (MOVARELQUINTASH_API_URL). The password digest
// and the session key travel with the requests, so only https is taken: an override that is not
// an https address gives an empty URL, which no request can reach.
QUrl apiBaseUrl();
// Why MOVARELQUINTASH_API_URL cannot be used, in words for the member; empty when it can or is
// not set.
QString apiBaseUrlProblem();
// The host of the REST API, used for the reachability check.
QString apiHost();
// Base of the service's web pages (MOVARELQUINTASH_WEB_URL).
QUrl webBaseUrl();
// Domain part of every chat address (MOVARELQUINTASH_CHAT_DOMAIN).
QString chatDomain();
// The chat server to connect to; the chat domain and 5222 unless overridden
// (MOVARELQUINTASH_CHAT_HOST, MOVARELQUINTASH_CHAT_PORT).
QString chatHost();
quint16 chatPort();

// Extra trusted CA certificates from the PEM file named by MOVARELQUINTASH_CA_FILE;
// empty when unset or unreadable.
QList<QSslCertificate> extraCaCertificates();
// The system's CAs plus the extra ones: used for HTTPS and chat TLS alike. The system's are read
// once in the process; the first call waits for them.
QList<QSslCertificate> trustedCaCertificates();
// Starts reading the system's CAs on a thread of its own, so that the first secure request (the
// sign-in) finds them read rather than holding the window while they are.
void prepareTrustedCaCertificates();
// The default TLS configuration with trustedCaCertificates() as its CA list.
QSslConfiguration sslConfiguration();

} // namespace ServiceConfig
