#pragma once

class QWidget;

// Where the client's own dialogs appear and how they look.
namespace DialogPlacement {

// Gives the dialog the client's style sheet and the dialog window style.
void StyleDialog(QWidget* dialog);

// Centres the window's frame on the available area of the screen it is on (the primary
// screen before it is first shown).
void CenterOnDesktop(QWidget* window);

} // namespace DialogPlacement
