#pragma once

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QWindow>

#include <optional>

// The X server tells a window of each move it is given. Qt answers every such notice on the GUI
// thread with four round trips to the server (where the window now is, where its frame is), so
// a window that slides by many small moves of its own waits for the server over and over, each
// wait a chance for a busy machine to keep the thread from its events. The window asked for each
// move itself and knows where it stands: it may drop the notices of its own steps.
namespace MoveNotice {

// Where the server says `window` now is, when `message` (a native event of `eventType`) is the
// server's own notice of a move of `window` at the size it still has; null otherwise, such as
// for a resize or for the notice a window manager sends of a move of its own.
std::optional<QPoint> MovedTo(
    const QByteArray& eventType, const void* message, WId window, QSize size);

} // namespace MoveNotice
