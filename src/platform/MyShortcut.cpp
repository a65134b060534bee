#include "MyShortcut.h"

MyShortcut::MyShortcut(QObject* parent) : GlobalShortcut(parent)
{
    connect(this, &GlobalShortcut::Activated, this, [this] { emit ShortcutActivated(m_name); });
}
