#include "ThreadPriority.h"

#include <QtGlobal>

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ThreadPriority {

namespace {

// On Linux a thread's niceness is its own: the process calls address one thread by its id.
id_t ThisThread()
{
    return static_cast<id_t>(::syscall(SYS_gettid));
}

} // namespace

void MakeThisThreadBackground()
{
    // Only ever made nicer: raising it needs no privilege, and a thread already as nice is left.
    const int now = ThisThreadNiceness();
    const int wanted = qMin(19, now + backgroundNiceness);
    if (wanted > now)
        (void)::setpriority(PRIO_PROCESS, ThisThread(), wanted);
}

int ThisThreadNiceness()
{
    errno = 0;
    const int niceness = ::getpriority(PRIO_PROCESS, ThisThread());
    return errno == 0 ? niceness : 0;
}

} // namespace ThreadPriority
