#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class KeyGrabber;

// A hotkey that acts whichever application has the focus. It is bound with a hotkey text: the
// modifiers "Ctrl+" (or "Cmd+"), "Alt+" and "Shift+", then the key's name ("Ctrl+Shift+K", "F5").
class GlobalShortcut : public QObject
{
    Q_OBJECT
public:
    explicit GlobalShortcut(QObject* parent = nullptr);
    ~GlobalShortcut() override;

    // Releases the current binding and binds the text. False, with nothing bound, for a text
    // without a key, an unknown key or modifier, a key held by another application or by another
    // shortcut here, and without an X display.
    bool SetShortcut(const QString& keys);
    // Whether the text names one key with modifiers this class can bind; asks no display.
    static bool IsHotkeyText(const QString& keys);
    void UnsetShortcut();
    // The bound text; empty when nothing is bound.
    QString GetShortcut() const { return m_keys; }
    bool IsBound() const { return m_id != 0; }

signals:
    // Once per press of the bound keys.
    void Activated();

private:
    void OnPressed(int id);

    QPointer<KeyGrabber> m_grabber;
    int m_id = 0;
    QString m_keys;
};
