#include "ColorChooser.h"

#include <QColorDialog>
#include <QCoreApplication>

QColor AskColorFromDialog(const QColor& initial, QWidget* parent)
{
    return QColorDialog::getColor(initial, parent,
        QCoreApplication::translate("ColorChooser", "Color - Movarelquintash ScreenSnap"));
}
