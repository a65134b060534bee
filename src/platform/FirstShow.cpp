#include "FirstShow.h"

#include <QBackingStore>
#include <QCoreApplication>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <utility>

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

namespace {

// Watches the application's events for the first exposure of a window. A window draws itself
// while its exposure is delivered, so the action, queued from here, runs once that is done.
class FirstDrawWatcher : public QObject
{
public:
    FirstDrawWatcher(QObject* context, std::function<void()> action, int latestMs)
        : QObject(context), action(std::move(action)), order(++given)
    {
        QCoreApplication::instance()->installEventFilter(this);
        latest.setSingleShot(true);
        connect(&latest, &QTimer::timeout, this, &FirstDrawWatcher::Run);
        latest.start(latestMs);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && watched->isWindowType()
            && static_cast<QWindow*>(watched)->isExposed()) {
            QCoreApplication::instance()->removeEventFilter(this);
            latest.stop();
            // Filters see the exposure newest first: the lower priority of a later watcher
            // queues its action behind those given before it.
            QCoreApplication::postEvent(this, new QEvent(QEvent::User), -order);
        }
        return false;
    }

    void customEvent(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            Run();
    }

private:
    void Run()
    {
        QCoreApplication::instance()->removeEventFilter(this);
        latest.stop();
        if (action)
            std::exchange(action, nullptr)();
        deleteLater();
    }

    std::function<void()> action;
    QTimer latest;
    const int order; // of the watchers made, counting from 1
    static int given;
};

int FirstDrawWatcher::given = 0;

} // namespace

void AfterFirstWindowDrawn(QObject* context, std::function<void()> action, int latestMs)
{
    new FirstDrawWatcher(context, std::move(action), latestMs);
}
