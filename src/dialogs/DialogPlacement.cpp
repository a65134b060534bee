#include "DialogPlacement.h"

#include "SettingsProvider.h"
#include "WindowSystem.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace DialogPlacement {

void StyleDialog(QWidget* dialog)
{
    // Flags first: changing them re-parents the dialog, which would carry the style sheet down
    // to every control a second time.
    WindowSystem::SetWindowTitleDialogStyle(dialog, true);
    SettingsProvider::SetStyleToWidget(dialog, QStringLiteral(":/design/mac.qss"));
}

void CenterOnDesktop(QWidget* window)
{
    QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace DialogPlacement
