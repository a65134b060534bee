#include "MoveNotice.h"

#include <xcb/xproto.h>

namespace MoveNotice {

std::optional<QPoint> MovedTo(
    const QByteArray& eventType, const void* message, WId window, QSize size)
{
    if (eventType != "xcb_generic_event_t" || !message || window == 0)
        return std::nullopt;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // The high bit marks an event another client sent, as a window manager does after moving
    // the frame around the window: that one is not the server's, and Qt reads it without asking.
    if (event->response_type != XCB_CONFIGURE_NOTIFY)
        return std::nullopt;
    const auto* configure = static_cast<const xcb_configure_notify_event_t*>(message);
    if (configure->window != window || QSize(configure->width, configure->height) != size)
        return std::nullopt;
    return QPoint(configure->x, configure->y);
}

} // namespace MoveNotice
