#include "Preferences.h"

#include "SettingsTable.h"
#include "ui_Preferences.h"

#include <QKeyEvent>
#include <QKeySequence>

namespace {

// The rows of the hotkey list edit the bound hotkeys, in the order of their actions. The
// active-window snap has no row: it is stored but bound to nothing.
const std::vector<SettingsTable::Hotkey>& Rows()
{
    return SettingsTable::BoundHotkeys();
}

HotkeyRule::PARTS PartsOf(const Preferences::HOTKEY& hotkey)
{
    return { hotkey.ctrl, hotkey.alt, hotkey.shift, hotkey.key };
}

} // namespace

QString Preferences::HOTKEY::GetShortcutInText() const
{
    return HotkeyRule::Text(PartsOf(*this));
}

Preferences::HOTKEY::PROBLEM Preferences::HOTKEY::Check() const
{
    return HotkeyRule::Check(PartsOf(*this));
}

Preferences::HOTKEY Preferences::GetHotKey(const QString& text)
{
    const HotkeyRule::PARTS parts = HotkeyRule::Parse(text);
    HOTKEY hotkey;
    hotkey.ctrl = parts.ctrl;
    hotkey.alt = parts.alt;
    hotkey.shift = parts.shift;
    hotkey.key = parts.key;
    return hotkey;
}

QString Preferences::KeyName(int key)
{
    if (key == 0 || key == Qt::Key_unknown)
        return QString();
    const QString name = QKeySequence(key).toString(QKeySequence::PortableText);
    return HotkeyRule::IsKeyName(name) ? name : QString();
}

QString* Preferences::HotkeyOfRow(int row)
{
    if (row < 0 || row >= int(Rows().size()))
        return nullptr;
    return &(settings.hotkeys.*Rows()[size_t(row)].field);
}

// A row shows the working copy, so an edit not yet applied survives a visit to another row.
void Preferences::LoadHotkeyRow(int row)
{
    const QString* entry = HotkeyOfRow(row);
    const HOTKEY hotkey = entry ? GetHotKey(*entry) : HOTKEY();
    ui->chkCtrlKey->setChecked(hotkey.ctrl);
    ui->chkAltKey->setChecked(hotkey.alt);
    ui->chkShift->setChecked(hotkey.shift);
    ui->txtHotKey->setText(hotkey.key);
}

void Preferences::on_lstShortcuts_currentRowChanged(int row)
{
    LoadHotkeyRow(row);
}

void Preferences::on_chkCtrlKey_clicked()
{
    HotKeyChanged(ui->lstShortcuts->currentRow());
}

void Preferences::on_chkAltKey_clicked()
{
    HotKeyChanged(ui->lstShortcuts->currentRow());
}

void Preferences::on_chkShift_clicked()
{
    HotKeyChanged(ui->lstShortcuts->currentRow());
}

int Preferences::RowWithHotkey(const QString& text, int except) const
{
    if (text.isEmpty())
        return -1;
    for (int row = 0; row < int(Rows().size()); ++row)
        if (row != except
            && GetHotKey(settings.hotkeys.*Rows()[size_t(row)].field).GetShortcutInText() == text)
            return row;
    return -1;
}

// One key press would act twice, or only once and nobody could tell which: a hotkey another
// row holds is refused and the row goes back to what it was.
void Preferences::HotKeyChanged(int row)
{
    QString* entry = HotkeyOfRow(row);
    if (!entry)
        return;
    HOTKEY hotkey;
    hotkey.ctrl = ui->chkCtrlKey->isChecked();
    hotkey.alt = ui->chkAltKey->isChecked();
    hotkey.shift = ui->chkShift->isChecked();
    hotkey.key = ui->txtHotKey->text();
    const QString text = hotkey.GetShortcutInText();
    const int holder = RowWithHotkey(text, row);
    if (holder >= 0) {
        prompts.warn(QStringLiteral("%1 is already the hotkey of \"%2\".")
                         .arg(text, ui->lstShortcuts->item(holder)->text()));
        LoadHotkeyRow(row);
        return;
    }
    *entry = text;
    EnableApply();
}

std::pair<int, QString> Preferences::HotkeyProblem() const
{
    QStringList texts;
    for (const SettingsTable::Hotkey& row : Rows())
        texts.append(settings.hotkeys.*row.field);
    const QList<HotkeyRule::PROBLEM> problems = HotkeyRule::CheckAll(texts);
    for (int row = 0; row < int(Rows().size()); ++row) {
        const QString name = ui->lstShortcuts->item(row)->text();
        switch (problems.at(row)) {
        case HotkeyRule::HOTKEY_OK:
            continue;
        case HotkeyRule::HOTKEY_NO_KEY:
            return { row,
                QStringLiteral("The hotkey of \"%1\" has no key. Choose a key, or press "
                               "Backspace in the key field to clear the hotkey.")
                    .arg(name) };
        case HotkeyRule::HOTKEY_NOT_A_KEY:
            return { row,
                QStringLiteral("The key of \"%1\" cannot be used for a hotkey. Choose another "
                               "key.")
                    .arg(name) };
        case HotkeyRule::HOTKEY_NO_MODIFIER:
            return { row,
                QStringLiteral("The hotkey of \"%1\" needs Cmd or Alt: only the function keys "
                               "may be used without them.")
                    .arg(name) };
        case HotkeyRule::HOTKEY_TAKEN: {
            const int holder = HotkeyRule::EarlierHolder(texts, row);
            return { row,
                QStringLiteral("%1 is the hotkey of both \"%2\" and \"%3\".")
                    .arg(GetHotKey(texts.at(row)).GetShortcutInText(),
                        ui->lstShortcuts->item(holder)->text(), name) };
        }
        }
    }
    return { -1, QString() };
}

// Only keys pressed alone are taken: the modifiers come from their boxes. Backspace and
// Delete clear the row; Tab still moves on.
bool Preferences::CaptureKey(const QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
    if (held != Qt::NoModifier || key == Qt::Key_Tab || key == Qt::Key_Backtab)
        return false;
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        ui->chkCtrlKey->setChecked(false);
        ui->chkAltKey->setChecked(false);
        ui->chkShift->setChecked(false);
        ui->txtHotKey->clear();
    } else {
        const QString name = KeyName(key);
        if (name.isEmpty())
            return false;
        ui->txtHotKey->setText(name);
        ui->txtHotKey->selectAll();
    }
    HotKeyChanged(ui->lstShortcuts->currentRow());
    return true;
}

// A captured key is kept from the dialog: Return would press OK and Esc would close it.
bool Preferences::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->txtHotKey)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        if (CaptureKey(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::FocusIn:
    case QEvent::MouseButtonRelease:
        ui->txtHotKey->selectAll();
        break;
    case QEvent::FocusOut:
        ui->txtHotKey->deselect();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void Preferences::on_btnReset_clicked()
{
    settingsProvider.SetDefaultHotkeys();
    RefreshConfig();
    EnableApply();
}
