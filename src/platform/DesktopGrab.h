#pragma once

#include <QImage>
#include <QRect>

// Grabs of the whole desktop for the work diary.
namespace DesktopGrab {

// The area of the root window (every screen, as they lie in the virtual desktop) copied by the
// X server into memory shared with the client: a 4K desktop arrives several times faster than
// through the X connection. Null when the server offers no shared memory (a display on another
// machine) or stores pixels other than as 32-bit RGB; the caller then grabs the usual way.
// The fourth byte of each pixel is left as the server has it, not made opaque: a pass over a 4K
// picture would cost the GUI thread more than the grab saves. Encoding and smooth scaling
// ignore it; anything that paints the picture makes a copy opaque first (MakeOpaque).
QImage SharedMemoryGrab(const QRect& area);

// The picture with every pixel's fourth byte set, as RGB32 is painted.
QImage MakeOpaque(QImage picture);

} // namespace DesktopGrab
