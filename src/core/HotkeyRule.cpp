#include "HotkeyRule.h"

#include <QKeySequence>

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace {

const std::array<std::pair<QLatin1String, bool HotkeyRule::PARTS::*>, 4> modifierPrefixes { {
    { QLatin1String("Ctrl+"), &HotkeyRule::PARTS::ctrl },
    { QLatin1String("Cmd+"), &HotkeyRule::PARTS::ctrl },
    { QLatin1String("Alt+"), &HotkeyRule::PARTS::alt },
    { QLatin1String("Shift+"), &HotkeyRule::PARTS::shift },
} };

// The longest key name is "Backspace"; a longer text is refused before it is parsed.
constexpr int maxKeyNameLength = 16;

bool IsFunctionKey(int key)
{
    return key >= Qt::Key_F1 && key <= Qt::Key_F35;
}

// The keys the X11 hotkey layer has a key symbol for: printable Latin-1, F1 to F35 and these.
bool IsBindableKey(int key)
{
    if ((key >= Qt::Key_Space && key <= Qt::Key_ydiaeresis) || IsFunctionKey(key))
        return true;
    static const int namedKeys[] = { Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Backspace, Qt::Key_Return,
        Qt::Key_Enter, Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Pause, Qt::Key_Print, Qt::Key_Home,
        Qt::Key_End, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_PageUp,
        Qt::Key_PageDown };
    return std::find(std::begin(namedKeys), std::end(namedKeys), key) != std::end(namedKeys);
}

// The key code of a name; 0 when it names no single key without modifiers.
int KeyCode(const QString& name)
{
    if (name.isEmpty() || name.size() > maxKeyNameLength)
        return 0;
    const QKeySequence sequence = QKeySequence::fromString(name, QKeySequence::PortableText);
    if (sequence.count() != 1 || (sequence[0] & int(Qt::KeyboardModifierMask)) != 0)
        return 0;
    return sequence[0];
}

} // namespace

HotkeyRule::PARTS HotkeyRule::Parse(const QString& text)
{
    PARTS parts;
    QStringRef rest(&text);
    bool found = true;
    while (found) {
        found = false;
        for (const auto& [prefix, flag] : modifierPrefixes) {
            if (rest.startsWith(prefix)) {
                parts.*flag = true;
                rest = rest.mid(prefix.size());
                found = true;
            }
        }
    }
    parts.key = rest.toString();
    return parts;
}

QString HotkeyRule::Text(const PARTS& parts)
{
    QString text;
    if (parts.ctrl)
        text += QLatin1String("Ctrl+");
    if (parts.alt)
        text += QLatin1String("Alt+");
    if (parts.shift)
        text += QLatin1String("Shift+");
    return text + parts.key;
}

bool HotkeyRule::IsKeyName(const QString& name)
{
    const int key = KeyCode(name);
    return key != 0 && IsBindableKey(key);
}

HotkeyRule::PROBLEM HotkeyRule::Check(const PARTS& parts)
{
    if (parts.key.isEmpty())
        return HOTKEY_NO_KEY;
    if (!IsKeyName(parts.key))
        return HOTKEY_NOT_A_KEY;
    if (!parts.ctrl && !parts.alt && !IsFunctionKey(KeyCode(parts.key)))
        return HOTKEY_NO_MODIFIER;
    return HOTKEY_OK;
}

int HotkeyRule::EarlierHolder(const QStringList& texts, int index)
{
    const QString text = Text(Parse(texts.value(index)));
    if (text.isEmpty())
        return -1;
    for (int earlier = 0; earlier < index; ++earlier) {
        if (Text(Parse(texts.at(earlier))) == text)
            return earlier;
    }
    return -1;
}

QList<HotkeyRule::PROBLEM> HotkeyRule::CheckAll(const QStringList& texts)
{
    QList<PROBLEM> problems;
    for (int i = 0; i < texts.size(); ++i) {
        PROBLEM problem = texts.at(i).isEmpty() ? HOTKEY_OK : Check(texts.at(i));
        // Equal texts break the rule alike, so the first of valid ones is bound.
        if (problem == HOTKEY_OK && EarlierHolder(texts, i) >= 0)
            problem = HOTKEY_TAKEN;
        problems.append(problem);
    }
    return problems;
}
