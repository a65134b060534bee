#pragma once

#include <QByteArray>
#include <functional>

typedef struct _XDisplay Display;

// Owns one Xlib connection to the display named by $DISPLAY. X errors on every connection opened
// here are recorded instead of ending the process, so a window vanishing between two requests or a
// key another client holds is an ordinary failure. A connection is used by one thread at a time;
// connections on different threads trap their errors apart.
class X11Display
{
public:
    X11Display();
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    // Null when there is no X display.
    Display* display() const { return m_display; }
    bool isOpen() const { return m_display != nullptr; }
    unsigned long rootWindow() const;
    unsigned long atom(const char* name) const;

    // The connection the desktop queries share, opened on first use.
    static X11Display& shared();

    // Runs requests and returns the code of the first X error they caused (0 for none). With
    // syncAfter the server is asked to finish them first, which void requests such as grabs need;
    // requests that wait for a reply report their errors by themselves.
    int trapErrors(const std::function<void()>& requests, bool syncAfter = true) const;

private:
    Display* m_display = nullptr;
};
