#pragma once

#include <QColor>

#include <functional>

class QWidget;

// Asks the member for a colour, starting from the given one; an invalid colour means the member
// cancelled. Dialogs take one of these so that tests answer without a blocking dialog.
using ColorChooser = std::function<QColor(const QColor& initial, QWidget* parent)>;

// The desktop's colour dialog.
QColor AskColorFromDialog(const QColor& initial, QWidget* parent);
