#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;
class X11Display;

// Counts key presses and mouse button presses anywhere on the display, whichever window has the
// focus. It listens to the raw input events of the X Input extension 2 on an X connection of its
// own, read on the GUI thread's event loop when they arrive.
class InputEventCounter : public QObject
{
    Q_OBJECT
public:
    explicit InputEventCounter(QObject* parent = nullptr);
    ~InputEventCounter() override;

    // Starts counting; false when there is no X display or it lacks the X Input extension 2.
    bool Install();
    // Stops counting; the counts stay until Reset.
    void Remove();
    bool IsInstalled() const;

    int GetKeyEvents() const { return m_keyEvents; }
    int GetMouseEvents() const { return m_mouseEvents; }
    void Reset();

private:
    void ReadEvents();

    std::unique_ptr<X11Display> m_x;
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_opcode = 0;
    int m_keyEvents = 0;
    int m_mouseEvents = 0;
};
