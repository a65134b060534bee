#include "GlobalShortcut.h"

#include "KeyGrabber.h"
#include "LogCategories.h"

#include <QDebug>
#include <QKeySequence>

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

unsigned long keysymOf(int key)
{
    // Qt's codes for printable Latin-1 keys are the X keysyms; letters are found by their small
    // form.
    if (key >= Qt::Key_Space && key <= Qt::Key_ydiaeresis)
        return QChar(key).toLower().unicode();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XK_F1 + (key - Qt::Key_F1);
    static const struct
    {
        int key;
        unsigned long keysym;
    } namedKeys[] = {
        { Qt::Key_Escape, XK_Escape },
        { Qt::Key_Tab, XK_Tab },
        { Qt::Key_Backspace, XK_BackSpace },
        { Qt::Key_Return, XK_Return },
        { Qt::Key_Enter, XK_KP_Enter },
        { Qt::Key_Insert, XK_Insert },
        { Qt::Key_Delete, XK_Delete },
        { Qt::Key_Pause, XK_Pause },
        { Qt::Key_Print, XK_Print },
        { Qt::Key_Home, XK_Home },
        { Qt::Key_End, XK_End },
        { Qt::Key_Left, XK_Left },
        { Qt::Key_Up, XK_Up },
        { Qt::Key_Right, XK_Right },
        { Qt::Key_Down, XK_Down },
        { Qt::Key_PageUp, XK_Prior },
        { Qt::Key_PageDown, XK_Next },
    };
    for (const auto& named : namedKeys) {
        if (named.key == key)
            return named.keysym;
    }
    return NoSymbol;
}

// The key and X modifier masks of a hotkey text; false when it names no single key.
bool parseHotkey(QString text, unsigned long* keysym, unsigned int* modifiers)
{
    text.replace(QLatin1String("Cmd+"), QLatin1String("Ctrl+"));
    const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::PortableText);
    if (sequence.count() != 1)
        return false;
    const int combination = sequence[0];
    const int mods = combination & int(Qt::KeyboardModifierMask);
    if (mods & ~int(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier))
        return false;
    *keysym = keysymOf(combination & ~int(Qt::KeyboardModifierMask));
    if (*keysym == NoSymbol)
        return false;
    *modifiers = 0;
    if (mods & Qt::ControlModifier)
        *modifiers |= ControlMask;
    if (mods & Qt::AltModifier)
        *modifiers |= Mod1Mask;
    if (mods & Qt::ShiftModifier)
        *modifiers |= ShiftMask;
    return true;
}

} // namespace

GlobalShortcut::GlobalShortcut(QObject* parent) : QObject(parent) { }

GlobalShortcut::~GlobalShortcut()
{
    UnsetShortcut();
}

bool GlobalShortcut::SetShortcut(const QString& keys)
{
    UnsetShortcut();
    unsigned long keysym = NoSymbol;
    unsigned int modifiers = 0;
    if (!parseHotkey(keys, &keysym, &modifiers)) {
        qCDebug(platformLog) << "Not a hotkey:" << keys;
        return false;
    }
    KeyGrabber* grabber = KeyGrabber::instance();
    if (!grabber)
        return false;
    m_id = grabber->Grab(keysym, modifiers);
    if (m_id == 0)
        return false;
    m_grabber = grabber;
    m_keys = keys;
    connect(grabber, &KeyGrabber::Pressed, this, &GlobalShortcut::OnPressed, Qt::UniqueConnection);
    return true;
}

bool GlobalShortcut::IsHotkeyText(const QString& keys)
{
    unsigned long keysym = NoSymbol;
    unsigned int modifiers = 0;
    return parseHotkey(keys, &keysym, &modifiers);
}

void GlobalShortcut::UnsetShortcut()
{
    if (m_grabber && m_id != 0)
        m_grabber->Ungrab(m_id);
    m_id = 0;
    m_keys.clear();
}

void GlobalShortcut::OnPressed(int id)
{
    if (id == m_id)
        emit Activated();
}
