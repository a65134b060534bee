#pragma once

#include "X11Display.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <memory>

class QSocketNotifier;

// Grabs key combinations on the root window for the global shortcuts, on an X connection of its
// own read on the GUI thread's event loop. One instance serves every shortcut of the process.
class KeyGrabber : public QObject
{
    Q_OBJECT
public:
    ~KeyGrabber() override;

    // The process's grabber, owned by the application; null without an X display.
    static KeyGrabber* instance();

    // Grabs the key with exactly these modifiers (X modifier masks), also with Caps Lock and Num
    // Lock on. Returns the grab's id, or 0 when the key is not on the keyboard or the combination
    // is held already, by another client or by another shortcut here; then nothing is grabbed.
    int Grab(unsigned long keysym, unsigned int modifiers);
    void Ungrab(int id);

signals:
    // One press of a grabbed combination; holding the key down does not repeat it.
    void Pressed(int id);

private:
    struct Binding
    {
        int id;
        unsigned int keycode;
        unsigned int modifiers;
    };

    explicit KeyGrabber(QObject* parent);
    void ReadEvents();
    QList<unsigned int> LockVariants() const;

    X11Display m_x;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QList<Binding> m_bindings;
    QSet<unsigned int> m_keysDown;
    unsigned int m_numLockMask = 0;
    int m_lastId = 0;
};
