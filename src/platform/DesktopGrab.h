#pragma once

#include <QImage>
#include <QRect>

#include <cstddef>
#include <memory>
#include <mutex>

class X11Display;

// Grabs of the whole desktop for the work diary and the screen snap, made away from the GUI
// thread: the X server needs tens of milliseconds to copy a 4K desktop, which the window must
// not wait for.
//
// A grabber has an X connection of its own, so any thread may use it (one grab at a time; a
// second waits for the first). Xlib is thread-safe here: Qt's xcb platform calls XInitThreads
// before it opens its own connection, and libX11 1.8 does so by itself. X errors of this
// connection are trapped on the thread that makes them (X11Display).
class DesktopGrabber
{
public:
    DesktopGrabber();
    ~DesktopGrabber();
    DesktopGrabber(const DesktopGrabber&) = delete;
    DesktopGrabber& operator=(const DesktopGrabber&) = delete;

    // The root window, which spans every screen as they lie in the virtual desktop, as an
    // opaque RGB32 picture of its own. The server copies it into memory shared with the client
    // when it can (one segment, kept from grab to grab and grown when the desktop grows: no
    // new 33 MB of pages to fault in on either side per 4K grab), in bands of 2 MB so that
    // other clients' requests are served in between; else it sends it through the connection.
    // Null without an X display.
    QImage Grab();

private:
    QImage GrabShared(const QRect& area);
    QImage GrabThroughConnection(const QRect& area);
    bool ReserveSegment(std::size_t bytes);
    void ReleaseSegment();

    std::mutex mutex;
    std::unique_ptr<X11Display> x; // opened at the first grab
    bool sharedMemoryChecked = false;
    bool sharedMemory = false; // the server attaches segments of this client
    int segmentId = -1;
    unsigned long segmentSeg = 0; // the server's name for the segment
    void* segmentAddress = nullptr;
    std::size_t segmentBytes = 0;
};
