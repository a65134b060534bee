#include "TrayHost.h"

#include <X11/Xlib.h>

namespace {

const int iconSize = 24;
const int stripIcons = 4;
const long requestDock = 0; // the tray protocol's first opcode

} // namespace

TrayHost::TrayHost() = default;

TrayHost::~TrayHost()
{
    notifier.reset();
    if (display)
        XCloseDisplay(display);
}

bool TrayHost::Start()
{
    display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    if (XGetSelectionOwner(display, selection) != None)
        return false;

    XSetWindowAttributes attributes {};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(display, screen);
    const int width = stripIcons * iconSize;
    strip = XCreateWindow(display, root, DisplayWidth(display, screen) - width, 0, width, iconSize,
        0, CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
        &attributes);
    XMapWindow(display, strip);
    XSetSelectionOwner(display, selection, strip, CurrentTime);
    if (XGetSelectionOwner(display, selection) != strip)
        return false;
    opcode = XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False);

    // Programs already running learn of the tray from this announcement.
    XEvent announce {};
    announce.xclient.type = ClientMessage;
    announce.xclient.window = root;
    announce.xclient.message_type = XInternAtom(display, "MANAGER", False);
    announce.xclient.format = 32;
    announce.xclient.data.l[0] = CurrentTime;
    announce.xclient.data.l[1] = long(selection);
    announce.xclient.data.l[2] = long(strip);
    XSendEvent(display, root, False, StructureNotifyMask, &announce);
    XFlush(display);

    notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &TrayHost::ReadEvents);
    ReadEvents();
    return true;
}

// Docking requests come to the strip, which this connection made; an icon that goes (its
// program hid it) leaves its place to the next.
void TrayHost::ReadEvents()
{
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == DestroyNotify) {
            icons.removeAll(event.xdestroywindow.window);
            continue;
        }
        if (event.type != ClientMessage || event.xclient.message_type != opcode
            || event.xclient.data.l[1] != requestDock || icons.size() >= stripIcons)
            continue;
        const Window icon = Window(event.xclient.data.l[2]);
        XSelectInput(display, icon, StructureNotifyMask);
        XReparentWindow(display, icon, strip, 0, 0);
        XResizeWindow(display, icon, iconSize, iconSize);
        XMapRaised(display, icon);
        icons.append(icon);
    }
    for (int place = 0; place < icons.size(); ++place)
        XMoveWindow(display, icons.at(place), place * iconSize, 0);
    XFlush(display);
}
