#include "FirstShow.h"

#include <QBackingStore>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

const qsizetype sliceBytes = 8 * 1024 * 1024; // a few milliseconds of page faults
const qsizetype pageBytes = 4096;
// The next slice waits for a timer, not a posted event: Qt's event loop lets timers and input
// in only once no posted event is left, so a chain of posted slices would be one long stall.
const int pauseMs = 1;

// Writes a byte into every page of the slice of the backing store that starts at `from`;
// false once the whole store is touched, or when it is not the window's memory image.
bool TouchSlice(QWidget* window, qsizetype from)
{
    QBackingStore* store = window->backingStore();
    if (!store || store->size() != window->size())
        return false;
    store->beginPaint(QRegion());
    auto* image = dynamic_cast<QImage*>(store->paintDevice());
    bool more = false;
    if (image && from < image->sizeInBytes()) {
        // Nothing is shown yet: the first paint covers whatever is written here.
        uchar* bits = image->bits();
        const qsizetype end = std::min(from + sliceBytes, image->sizeInBytes());
        for (qsizetype at = from; at < end; at += pageBytes)
            bits[at] = 0;
        more = end < image->sizeInBytes();
    }
    store->endPaint();
    return more;
}

void TouchThenShow(const QPointer<QWidget>& window, qsizetype from)
{
    if (!window)
        return;
    if (!TouchSlice(window, from)) {
        window->show();
        return;
    }
    QTimer::singleShot(pauseMs, Qt::PreciseTimer, window,
        [window, from] { TouchThenShow(window, from + sliceBytes); });
}

} // namespace

void ShowInSlices(QWidget* window)
{
    // The native window, and with it the backing store, at the size the window shows with.
    window->winId();
    if (QBackingStore* store = window->backingStore())
        store->resize(window->size());
    TouchThenShow(window, 0);
}
