#include "ColorChooser.h"

#include <QColorDialog>

QColor AskColorFromDialog(const QColor& initial, QWidget* parent)
{
    return QColorDialog::getColor(initial, parent);
}
