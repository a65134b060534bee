#pragma once

#include <functional>

class QObject;
class QWidget;

// Shows a large top-level window without one long stall of the GUI thread. Its first paint
// would fault in the window's whole backing store, fresh shared memory, a page at a time: for a
// 4K window 33 MB, some 13 ms of page faults on top of the painting. The pages are touched
// beforehand instead, a slice per turn of the event loop, and the window shows once they all
// are. A window deleted meanwhile is simply not shown.
void ShowInSlices(QWidget* window);

// Runs `action` once, as soon as the first window of the application has been exposed and
// drawn: for work that no window needs before it shows (the application's icon, which a window
// manager takes as it changes). Runs it after `latestMs` when no window shows before then.
// Nothing runs once `context` is gone. Actions waiting for the same drawing run in the order
// they were given.
void AfterFirstWindowDrawn(QObject* context, std::function<void()> action, int latestMs = 2000);
