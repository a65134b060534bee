#pragma once

#include <QObject>

namespace Api {
Q_NAMESPACE

// How a request of the REST client ended. The request thread tells apart what the connection
// shows (Unreachable to FileError, and a bad answer too large to take); the REST client adds
// what it decided before sending and what the service's answer says. Receivers decide by this,
// never by the failure's words, which are for the trace log and the member.
enum class Outcome
{
    Ok,
    NoNetwork, // the platform said the machine is offline: nothing was sent (NoConnection)
    NotSent, // not signed in, nothing to send, or an address that is not a web address
    Unreachable, // no connection, or it broke before a whole answer came
    Timeout, // no sign of life in time, or past the deadline
    Tls, // the TLS session failed, as with a certificate that does not verify
    HttpStatus, // an answer with a status other than 200 (the result holds it)
    Refused, // HTTP 200 whose status is the service's "error", with its code and message
    BadAnswer, // unreadable, too large, or lacking what the request needs (a member, an id...)
    FileError // the installer could not be written to its file
};
Q_ENUM_NS(Outcome)

} // namespace Api
