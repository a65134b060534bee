#include "SystemUIMode.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

const char* const fullScreenTaken = "systemUIModeFullScreen";

} // namespace

void SetSystemUIMode(int mode, int /*options*/, QWidget* window)
{
    if (!window)
        return;
    if (mode == kUIModeNormal) {
        // Moving or resizing the window makes Qt forget the state while the window manager
        // keeps it: leave it explicitly whenever it was taken here.
        if (window->property(fullScreenTaken).toBool())
            window->setWindowState(window->windowState() | Qt::WindowFullScreen);
        window->setProperty(fullScreenTaken, false);
        window->setWindowState(window->windowState() & ~Qt::WindowFullScreen);
        return;
    }
    if (mode != kUIModeAllHidden)
        return;
    // Full screen would stretch a smaller window (a cropped snap, a smaller display's picture)
    // and crop one that spans several displays.
    const QScreen* screen = QGuiApplication::screenAt(window->geometry().topLeft());
    if (screen && screen->geometry() == window->geometry()) {
        window->setWindowState(window->windowState() | Qt::WindowFullScreen);
        window->setProperty(fullScreenTaken, true);
    } else
        window->raise();
}
