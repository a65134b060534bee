#include "X11Display.h"

#include "LogCategories.h"

#include <QDebug>

#include <X11/Xlib.h>

namespace {

struct TrappedError
{
    Display* display = nullptr;
    int code = 0;
};

// Per thread: Xlib calls the handler on the thread that reads the error, and each connection is
// used by one thread at a time, so a trap on one thread never sees another's errors.
thread_local TrappedError trapped;

int recordError(Display* display, XErrorEvent* event)
{
    if (display == trapped.display && trapped.code == 0)
        trapped.code = event->error_code;
    return 0;
}

} // namespace

X11Display::X11Display()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    m_display = XOpenDisplay(nullptr);
    if (!m_display) {
        qCDebug(platformLog) << "Cannot open the X display" << qgetenv("DISPLAY");
        return;
    }
    // Xlib's default handler exits the process on any error.
    XSetErrorHandler(recordError);
}

X11Display::~X11Display()
{
    if (m_display)
        XCloseDisplay(m_display);
}

unsigned long X11Display::rootWindow() const
{
    return m_display ? DefaultRootWindow(m_display) : 0;
}

unsigned long X11Display::atom(const char* name) const
{
    return m_display ? XInternAtom(m_display, name, False) : 0;
}

X11Display& X11Display::shared()
{
    static X11Display connection;
    return connection;
}

int X11Display::trapErrors(const std::function<void()>& requests, bool syncAfter) const
{
    if (!m_display)
        return 0;
    // Qt installs a handler of its own as well; put ours in place for the duration and leave the
    // previous one as it was.
    XErrorHandler previous = XSetErrorHandler(recordError);
    const TrappedError outer = trapped;
    if (syncAfter)
        XSync(m_display, False);
    trapped = { m_display, 0 };
    requests();
    if (syncAfter)
        XSync(m_display, False);
    const int code = trapped.code;
    trapped = outer;
    XSetErrorHandler(previous);
    return code;
}
