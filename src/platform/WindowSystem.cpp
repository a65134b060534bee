#include "WindowSystem.h"

#include "ScreenSaverWatcher.h"
#include "SessionLockWatcher.h"
#include "X11Display.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QPointer>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/scrnsaver.h>

#include <climits>
#include <memory>

namespace {

// What the queries need of the shared connection, looked up once.
struct DesktopQueries
{
    DesktopQueries()
    {
        Display* dpy = x.display();
        if (!dpy)
            return;
        int eventBase = 0;
        int errorBase = 0;
        if (XScreenSaverQueryExtension(dpy, &eventBase, &errorBase))
            screenSaverInfo.reset(XScreenSaverAllocInfo());
        int opcode = 0;
        if (XQueryExtension(dpy, "XInputExtension", &opcode, &eventBase, &errorBase)) {
            int major = 2;
            int minor = 2;
            inputExtension2 = XIQueryVersion(dpy, &major, &minor) == Success;
        }
        netActiveWindow = x.atom("_NET_ACTIVE_WINDOW");
        netWmName = x.atom("_NET_WM_NAME");
        utf8String = x.atom("UTF8_STRING");
    }

    struct XFreeDeleter
    {
        void operator()(void* data) const { XFree(data); }
    };

    X11Display& x = X11Display::shared();
    std::unique_ptr<XScreenSaverInfo, XFreeDeleter> screenSaverInfo;
    bool inputExtension2 = false;
    Atom netActiveWindow = None;
    Atom netWmName = None;
    Atom utf8String = None;
};

DesktopQueries& queries()
{
    static DesktopQueries instance;
    return instance;
}

const XScreenSaverInfo* queryScreenSaver()
{
    DesktopQueries& q = queries();
    if (!q.screenSaverInfo)
        return nullptr;
    if (!XScreenSaverQueryInfo(q.x.display(), q.x.rootWindow(), q.screenSaverInfo.get()))
        return nullptr;
    return q.screenSaverInfo.get();
}

// The D-Bus watchers live as long as the application; they start on first use.
template<typename Watcher> Watcher* watcher(QPointer<Watcher>& instance, QDBusConnection (*bus)())
{
    if (!instance && QCoreApplication::instance())
        instance = new Watcher(bus(), QCoreApplication::instance());
    return instance;
}

struct PropertyData
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    std::unique_ptr<unsigned char, DesktopQueries::XFreeDeleter> data;
};

// One property of a window, read whole; false when the window or the property is gone.
bool readProperty(Display* dpy, Window window, Atom property, Atom type, PropertyData* out)
{
    unsigned long bytesAfter = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, window, property, 0, 4096, False, type, &out->type, &out->format,
            &out->items, &bytesAfter, &data)
        != Success)
        return false;
    out->data.reset(data);
    return out->data && out->type != None;
}

QString textOf(Display* dpy, const PropertyData& property, Atom utf8String)
{
    if (property.format != 8)
        return QString();
    const char* bytes = reinterpret_cast<const char*>(property.data.get());
    const int length = int(property.items);
    if (property.type == utf8String)
        return QString::fromUtf8(bytes, length);
    if (property.type == XA_STRING)
        return QString::fromLatin1(bytes, length);
    // Compound text and the like: let Xlib convert.
    XTextProperty text { property.data.get(), property.type, property.format, property.items };
    char** list = nullptr;
    int count = 0;
    QString result;
    if (Xutf8TextPropertyToTextList(dpy, &text, &list, &count) >= Success && count > 0)
        result = QString::fromUtf8(list[0]);
    if (list)
        XFreeStringList(list);
    return result;
}

} // namespace

int WindowSystem::GetIdleTime()
{
    const XScreenSaverInfo* info = queryScreenSaver();
    if (!info)
        return 0;
    return info->idle > INT_MAX ? INT_MAX : int(info->idle);
}

bool WindowSystem::IsSystemLocked()
{
    static QPointer<SessionLockWatcher> instance;
    const SessionLockWatcher* lock = watcher(instance, &QDBusConnection::systemBus);
    return lock && lock->IsLocked();
}

bool WindowSystem::IsScreensaverActive()
{
    static QPointer<ScreenSaverWatcher> instance;
    const ScreenSaverWatcher* saver = watcher(instance, &QDBusConnection::sessionBus);
    if (saver && saver->IsActive())
        return true;
    const XScreenSaverInfo* info = queryScreenSaver();
    return info && info->state == ScreenSaverOn;
}

bool WindowSystem::GetUniverseFlagState()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland"))
        return false;
    return queries().inputExtension2;
}

QString WindowSystem::GetActiveWindowTitle()
{
    DesktopQueries& q = queries();
    Display* dpy = q.x.display();
    if (!dpy)
        return QString();
    QString title;
    // The active window may be destroyed between the reads: that is a BadWindow, not a crash.
    q.x.trapErrors(
        [&] {
            PropertyData active;
            if (!readProperty(dpy, q.x.rootWindow(), q.netActiveWindow, XA_WINDOW, &active)
                || active.format != 32 || active.items < 1)
                return;
            const Window window = *reinterpret_cast<const unsigned long*>(active.data.get());
            if (window == None)
                return;
            PropertyData name;
            if (readProperty(dpy, window, q.netWmName, q.utf8String, &name))
                title = textOf(dpy, name, q.utf8String);
            if (title.isEmpty() && readProperty(dpy, window, XA_WM_NAME, AnyPropertyType, &name))
                title = textOf(dpy, name, q.utf8String);
        },
        false);
    return title;
}

void WindowSystem::SetWindowTitleDialogStyle(QWidget* widget, bool dialogStyle)
{
    if (!widget)
        return;
    Qt::WindowFlags flags
        = Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint;
    if (!dialogStyle)
        flags |= Qt::Tool;
    else if (widget->parentWidget())
        flags |= Qt::Window; // without a window type a dialog with a parent would turn into a child
                             // widget
    widget->setWindowFlags(flags);
}
