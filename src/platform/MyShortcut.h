#pragma once

#include "GlobalShortcut.h"

// A global shortcut with a name that travels with its activation, so that one slot can serve
// many shortcuts.
class MyShortcut : public GlobalShortcut
{
    Q_OBJECT
public:
    explicit MyShortcut(QObject* parent = nullptr);

    void SetName(const QString& name) { m_name = name; }
    QString GetName() const { return m_name; }

signals:
    void ShortcutActivated(const QString& name);

private:
    QString m_name;
};
