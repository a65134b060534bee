#include "DesktopGrab.h"

#include "X11Display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

bool IsRgb32(Display* display, Visual* visual, int depth)
{
    return (depth == 24 || depth == 32) && visual->red_mask == 0xff0000
        && visual->green_mask == 0xff00 && visual->blue_mask == 0xff
        && ImageByteOrder(display) == LSBFirst;
}

void DetachSegment(void* address)
{
    shmdt(address);
}

} // namespace

namespace DesktopGrab {

QImage SharedMemoryGrab(const QRect& area)
{
    const X11Display& x = X11Display::shared();
    Display* display = x.display();
    if (!display || area.isEmpty() || !XShmQueryExtension(display))
        return {};
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    const int depth = DefaultDepth(display, screen);
    if (!IsRgb32(display, visual, depth))
        return {};
    XShmSegmentInfo segment {};
    XImage* image = XShmCreateImage(
        display, visual, depth, ZPixmap, nullptr, &segment, area.width(), area.height());
    if (!image)
        return {};
    const int bytesPerLine = image->bytes_per_line;
    if (image->bits_per_pixel != 32) {
        XDestroyImage(image);
        return {};
    }
    segment.shmid = shmget(IPC_PRIVATE, size_t(bytesPerLine) * area.height(), IPC_CREAT | 0600);
    if (segment.shmid < 0) {
        XDestroyImage(image);
        return {};
    }
    void* address = shmat(segment.shmid, nullptr, 0);
    segment.shmaddr = image->data = static_cast<char*>(address);
    segment.readOnly = False;
    bool attached = false;
    if (address != reinterpret_cast<void*>(-1))
        attached = x.trapErrors([&] { XShmAttach(display, &segment); }) == 0;
    // Removed at once: the segment lives only while attached, so nothing outlives a crash.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    bool grabbed = false;
    if (attached) {
        x.trapErrors([&] {
            grabbed = XShmGetImage(
                display, DefaultRootWindow(display), image, area.x(), area.y(), AllPlanes);
        });
        // Nothing to wait for: the segment goes once the server and the picture let go of it.
        XShmDetach(display, &segment);
        XFlush(display);
    }
    image->data = nullptr;
    XDestroyImage(image);
    if (!grabbed) {
        if (address != reinterpret_cast<void*>(-1))
            shmdt(address);
        return {};
    }
    // The picture is the segment itself, handed on without a copy and let go with the image.
    return QImage(static_cast<uchar*>(address), area.width(), area.height(), bytesPerLine,
        QImage::Format_RGB32, DetachSegment, address);
}

QImage MakeOpaque(QImage picture)
{
    if (picture.format() != QImage::Format_RGB32)
        return picture;
    for (int y = 0; y < picture.height(); ++y) {
        auto* pixel = reinterpret_cast<quint32*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            pixel[x] |= 0xff000000u;
    }
    return picture;
}

} // namespace DesktopGrab
