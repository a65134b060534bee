#include "SystemUIMode.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void SetSystemUIMode(int mode, int /*options*/, QWidget* window)
{
    if (!window)
        return;
    if (mode == kUIModeNormal) {
        window->setWindowState(window->windowState() & ~Qt::WindowFullScreen);
        return;
    }
    if (mode != kUIModeAllHidden)
        return;
    // Full screen would stretch a smaller window (a cropped snap, a smaller display's picture)
    // and crop one that spans several displays.
    const QScreen* screen = QGuiApplication::screenAt(window->geometry().topLeft());
    if (screen && screen->geometry() == window->geometry())
        window->setWindowState(window->windowState() | Qt::WindowFullScreen);
    else
        window->raise();
}
