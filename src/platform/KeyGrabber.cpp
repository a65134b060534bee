#include "KeyGrabber.h"

#include "LogCategories.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

KeyGrabber::KeyGrabber(QObject* parent) : QObject(parent)
{
    Display* dpy = m_x.display();
    if (!dpy)
        return;
    // Num Lock sits on whichever modifier holds its key, usually Mod2.
    m_numLockMask = Mod2Mask;
    const KeyCode numLock = XKeysymToKeycode(dpy, XK_Num_Lock);
    if (XModifierKeymap* map = XGetModifierMapping(dpy)) {
        for (int modifier = 0; modifier < 8 && numLock; ++modifier) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                if (map->modifiermap[modifier * map->max_keypermod + k] == numLock)
                    m_numLockMask = 1u << modifier;
            }
        }
        XFreeModifiermap(map);
    }
    // Held keys then repeat as presses without releases in between, which tells repeats apart.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(dpy, True, &detectable);
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(dpy), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &KeyGrabber::ReadEvents);
}

KeyGrabber::~KeyGrabber() = default;

KeyGrabber* KeyGrabber::instance()
{
    static QPointer<KeyGrabber> grabber;
    if (!grabber && QCoreApplication::instance()) {
        std::unique_ptr<KeyGrabber> made(new KeyGrabber(nullptr));
        if (!made->m_x.isOpen())
            return nullptr;
        made->setParent(QCoreApplication::instance());
        grabber = made.release();
    }
    return grabber;
}

QList<unsigned int> KeyGrabber::LockVariants() const
{
    return { 0u, unsigned(LockMask), m_numLockMask, LockMask | m_numLockMask };
}

int KeyGrabber::Grab(unsigned long keysym, unsigned int modifiers)
{
    Display* dpy = m_x.display();
    const unsigned int keycode = XKeysymToKeycode(dpy, keysym);
    if (keycode == 0)
        return 0;
    for (const Binding& binding : qAsConst(m_bindings)) {
        if (binding.keycode == keycode && binding.modifiers == modifiers)
            return 0;
    }
    const Window root = m_x.rootWindow();
    const int error = m_x.trapErrors([&] {
        for (unsigned int variant : LockVariants())
            XGrabKey(
                dpy, int(keycode), modifiers | variant, root, False, GrabModeAsync, GrabModeAsync);
    });
    if (error != 0) {
        // Another client holds at least one of the variants; give back the ones we got.
        qCDebug(platformLog) << "Hotkey is taken by another application, X error" << error;
        m_x.trapErrors([&] {
            for (unsigned int variant : LockVariants())
                XUngrabKey(dpy, int(keycode), modifiers | variant, root);
        });
        return 0;
    }
    m_bindings.append({ ++m_lastId, keycode, modifiers });
    // Grabbing synced the connection, which may have queued events the socket will not announce.
    ReadEvents();
    return m_lastId;
}

void KeyGrabber::Ungrab(int id)
{
    Display* dpy = m_x.display();
    for (int i = 0; i < m_bindings.size(); ++i) {
        const Binding binding = m_bindings.at(i);
        if (binding.id != id)
            continue;
        m_x.trapErrors([&] {
            for (unsigned int variant : LockVariants())
                XUngrabKey(
                    dpy, int(binding.keycode), binding.modifiers | variant, m_x.rootWindow());
        });
        m_keysDown.remove(binding.keycode);
        m_bindings.removeAt(i);
        return;
    }
}

void KeyGrabber::ReadEvents()
{
    Display* dpy = m_x.display();
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == KeyRelease) {
            m_keysDown.remove(event.xkey.keycode);
            continue;
        }
        if (event.type != KeyPress)
            continue;
        // Only the eight modifier bits count, less the two lock keys grabbed in every state.
        const unsigned int modifiers = event.xkey.state & 0xff & ~(LockMask | m_numLockMask);
        int pressed = 0;
        for (const Binding& binding : qAsConst(m_bindings)) {
            if (binding.keycode == event.xkey.keycode && binding.modifiers == modifiers)
                pressed = binding.id;
        }
        if (pressed != 0 && !m_keysDown.contains(event.xkey.keycode)) {
            m_keysDown.insert(event.xkey.keycode);
            emit Pressed(pressed);
        }
    }
}
