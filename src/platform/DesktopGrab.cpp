#include "DesktopGrab.h"

#include "X11Display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <algorithm>
#include <utility>

namespace {

const quint32 opaque = 0xff000000u;
// Small enough that a request of the window waiting behind a band is not held for a frame,
// and that the server copies each band within its caches: 512 KB bands copy a 4K desktop in
// about a third of the time 2 MB bands took.
const int bandBytes = 512 * 1024;

int bandRows(int bytesPerLine)
{
    return std::max(1, bandBytes / bytesPerLine);
}

bool IsRgb32(Display* display, const Visual* visual, int depth)
{
    return (depth == 24 || depth == 32) && visual->red_mask == 0xff0000
        && visual->green_mask == 0xff00 && visual->blue_mask == 0xff
        && ImageByteOrder(display) == LSBFirst;
}

void Unmap(void* info)
{
    const auto* mapping = static_cast<const std::pair<void*, std::size_t>*>(info);
    munmap(mapping->first, mapping->second);
    delete mapping;
}

// A picture with memory of its own straight from the system, given back to it when the picture
// goes. A 4K grab lives only until its PNG is made; through the allocator, 33 MB blocks would
// stay with the thread that freed them.
QImage NewPicture(QSize size)
{
    const std::size_t bytesPerLine = std::size_t(size.width()) * 4;
    const std::size_t bytes = bytesPerLine * std::size_t(size.height());
    void* memory = bytes
        ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
        : MAP_FAILED;
    if (memory == MAP_FAILED)
        return {};
    return QImage(static_cast<uchar*>(memory), size.width(), size.height(), qsizetype(bytesPerLine),
        QImage::Format_RGB32, Unmap, new std::pair<void*, std::size_t>(memory, bytes));
}

// 32-bit rows into the picture with each pixel's fourth byte set, as RGB32 is painted: the
// server leaves that byte as it finds it. One pass over plain arrays, which the compiler turns
// into vector instructions.
void CopyOpaque(const char* from, int fromBytesPerLine, QImage& to)
{
    const int width = to.width();
    const int height = to.height();
    const qsizetype toBytesPerLine = to.bytesPerLine();
    uchar* target = to.bits();
    for (int y = 0; y < height; ++y) {
        const auto* source
            = reinterpret_cast<const quint32*>(from + qsizetype(y) * fromBytesPerLine);
        auto* row = reinterpret_cast<quint32*>(target + y * toBytesPerLine);
        for (int x = 0; x < width; ++x)
            row[x] = source[x] | opaque;
    }
}

// One colour of a true-colour pixel: where its bits lie and how many there are.
struct Channel
{
    explicit Channel(unsigned long mask)
        : mask(mask), shift(mask ? __builtin_ctzl(mask) : 0),
          top((mask >> shift) ? (mask >> shift) : 1)
    { }
    int Of(unsigned long pixel) const { return int(((pixel & mask) >> shift) * 255 / top); }

    unsigned long mask;
    int shift;
    unsigned long top;
};

// Any other true-colour layout (16-bit desktops, other byte orders), pixel by pixel: slow, but
// off the GUI thread and only where no 32-bit RGB desktop is to be had.
QImage FromTrueColour(XImage* image, const Visual* visual)
{
    if (visual->c_class != TrueColor && visual->c_class != DirectColor)
        return {};
    const Channel red(visual->red_mask), green(visual->green_mask), blue(visual->blue_mask);
    QImage picture(image->width, image->height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            row[x] = qRgb(red.Of(pixel), green.Of(pixel), blue.Of(pixel));
        }
    }
    return picture;
}

// The rows from `top` on, as many as a band holds, into their place in the segment. The server
// serves no other client while it copies: a band at a time, the window's own requests wait
// for one band at most, not for the whole desktop (which a server coming out of idleness can
// take 100 ms and more to copy).
bool GrabBand(
    Display* display, XShmSegmentInfo& segment, const QRect& area, int top, int bytesPerLine)
{
    const int screen = DefaultScreen(display);
    const int rows = std::min(bandRows(bytesPerLine), area.height() - top);
    XImage* band = XShmCreateImage(display, DefaultVisual(display, screen),
        DefaultDepth(display, screen), ZPixmap, nullptr, &segment, area.width(), rows);
    if (!band)
        return false;
    // The server writes at the band's offset in the segment.
    band->data = segment.shmaddr + std::size_t(top) * std::size_t(bytesPerLine);
    const bool grabbed = XShmGetImage(
        display, DefaultRootWindow(display), band, area.x(), area.y() + top, AllPlanes);
    band->data = nullptr; // the segment stays for the next grab
    XDestroyImage(band);
    return grabbed;
}

} // namespace

DesktopGrabber::DesktopGrabber() = default;

DesktopGrabber::~DesktopGrabber()
{
    std::lock_guard<std::mutex> lock(mutex);
    ReleaseSegment();
}

QImage DesktopGrabber::Grab()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!x)
        x = std::make_unique<X11Display>();
    Display* display = x->display();
    if (!display)
        return {};
    Window root = 0;
    int left = 0;
    int top = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    // The root window's size now: screens come and go while the client runs.
    if (!XGetGeometry(display, DefaultRootWindow(display), &root, &left, &top, &width, &height,
            &border, &depth))
        return {};
    const QRect area(0, 0, int(width), int(height));
    if (!sharedMemoryChecked) {
        sharedMemoryChecked = true;
        const int screen = DefaultScreen(display);
        sharedMemory = XShmQueryExtension(display)
            && IsRgb32(display, DefaultVisual(display, screen), DefaultDepth(display, screen));
    }
    if (sharedMemory) {
        QImage picture = GrabShared(area);
        if (!picture.isNull())
            return picture;
    }
    return GrabThroughConnection(area);
}

QImage DesktopGrabber::GrabShared(const QRect& area)
{
    Display* display = x->display();
    const int screen = DefaultScreen(display);
    XShmSegmentInfo segment {};
    XImage* whole = XShmCreateImage(display, DefaultVisual(display, screen),
        DefaultDepth(display, screen), ZPixmap, nullptr, &segment, area.width(), area.height());
    if (!whole)
        return {};
    const int bitsPerPixel = whole->bits_per_pixel;
    const int bytesPerLine = whole->bytes_per_line;
    XDestroyImage(whole);
    if (bitsPerPixel != 32) {
        sharedMemory = false;
        return {};
    }
    if (!ReserveSegment(std::size_t(bytesPerLine) * std::size_t(area.height())))
        return {};
    segment.shmid = segmentId;
    segment.shmseg = segmentSeg;
    segment.shmaddr = static_cast<char*>(segmentAddress);
    segment.readOnly = False;
    bool grabbed = true;
    x->trapErrors([&] {
        for (int top = 0; grabbed && top < area.height(); top += bandRows(bytesPerLine))
            grabbed = GrabBand(display, segment, area, top, bytesPerLine);
    });
    if (!grabbed)
        return {};
    QImage picture = NewPicture(area.size());
    if (!picture.isNull())
        CopyOpaque(static_cast<const char*>(segmentAddress), bytesPerLine, picture);
    return picture;
}

QImage DesktopGrabber::GrabThroughConnection(const QRect& area)
{
    Display* display = x->display();
    XImage* image = nullptr;
    x->trapErrors([&] {
        image = XGetImage(display, DefaultRootWindow(display), area.x(), area.y(),
            unsigned(area.width()), unsigned(area.height()), AllPlanes, ZPixmap);
    });
    if (!image)
        return {};
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    QImage picture;
    if (image->bits_per_pixel == 32 && IsRgb32(display, visual, image->depth)) {
        picture = NewPicture(QSize(image->width, image->height));
        if (!picture.isNull())
            CopyOpaque(image->data, image->bytes_per_line, picture);
    } else {
        picture = FromTrueColour(image, visual);
    }
    XDestroyImage(image);
    return picture;
}

bool DesktopGrabber::ReserveSegment(std::size_t bytes)
{
    if (segmentAddress && segmentBytes >= bytes)
        return true;
    ReleaseSegment();
    Display* display = x->display();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void* address = shmat(id, nullptr, 0);
    XShmSegmentInfo segment {};
    segment.shmid = id;
    segment.shmaddr = static_cast<char*>(address);
    segment.readOnly = False;
    bool attached = false;
    if (address != reinterpret_cast<void*>(-1))
        attached = x->trapErrors([&] { XShmAttach(display, &segment); }) == 0;
    // Removed at once: the segment lives while this client and the server have it attached,
    // so nothing outlives a crash.
    shmctl(id, IPC_RMID, nullptr);
    if (!attached) {
        // A server on another machine cannot reach our memory: the connection it is, from now on.
        sharedMemory = false;
        if (address != reinterpret_cast<void*>(-1))
            shmdt(address);
        return false;
    }
    segmentId = id;
    segmentSeg = segment.shmseg;
    segmentAddress = address;
    segmentBytes = bytes;
    return true;
}

void DesktopGrabber::ReleaseSegment()
{
    if (!segmentAddress)
        return;
    XShmSegmentInfo segment {};
    segment.shmid = segmentId;
    segment.shmseg = segmentSeg;
    segment.shmaddr = static_cast<char*>(segmentAddress);
    XShmDetach(x->display(), &segment);
    XSync(x->display(), False);
    shmdt(segmentAddress);
    segmentAddress = nullptr;
    segmentBytes = 0;
    segmentId = -1;
    segmentSeg = 0;
}
