#include "InputEventCounter.h"

#include "LogCategories.h"
#include "X11Display.h"

#include <QDebug>
#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

InputEventCounter::InputEventCounter(QObject* parent) : QObject(parent) { }

InputEventCounter::~InputEventCounter() = default;

bool InputEventCounter::Install()
{
    if (IsInstalled())
        return true;
    auto x = std::make_unique<X11Display>();
    Display* dpy = x->display();
    if (!dpy)
        return false;
    int eventBase = 0;
    int errorBase = 0;
    // Announcing 2.2 matters: from 2.1 on the server sends raw events even while another client
    // grabs the device.
    int major = 2;
    int minor = 2;
    if (!XQueryExtension(dpy, "XInputExtension", &m_opcode, &eventBase, &errorBase)
        || XIQueryVersion(dpy, &major, &minor) != Success) {
        qCDebug(platformLog) << "The X display has no X Input extension 2: input is not counted";
        return false;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask { XIAllMasterDevices, int(sizeof(bits)), bits };
    if (x->trapErrors([&] { XISelectEvents(dpy, x->rootWindow(), &mask, 1); }) != 0) {
        qCDebug(platformLog) << "Cannot listen to raw input events";
        return false;
    }
    m_x = std::move(x);
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(dpy), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &InputEventCounter::ReadEvents);
    // The sync above may already have queued events that the socket will not announce again.
    ReadEvents();
    return true;
}

void InputEventCounter::Remove()
{
    m_notifier.reset();
    m_x.reset();
}

bool InputEventCounter::IsInstalled() const
{
    return m_x != nullptr;
}

void InputEventCounter::Reset()
{
    m_keyEvents = 0;
    m_mouseEvents = 0;
}

void InputEventCounter::ReadEvents()
{
    Display* dpy = m_x->display();
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_opcode
            || !XGetEventData(dpy, cookie))
            continue;
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        if (cookie->evtype == XI_RawKeyPress && !(raw->flags & XIKeyRepeat))
            ++m_keyEvents;
        // Buttons 4 to 7 are the scroll wheel, not clicks.
        else if (cookie->evtype == XI_RawButtonPress && (raw->detail < 4 || raw->detail > 7))
            ++m_mouseEvents;
        XFreeEventData(dpy, cookie);
    }
}
