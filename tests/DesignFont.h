#pragma once

#include <QApplication>
#include <QFont>
#include <QScreen>

// The forms are drawn for a 12-pixel sans serif font (9 points at 96 dpi). A test that checks a
// form's drawn geometry sets it: the offscreen platform of the tests without a display gives a
// 12-point font at 100 dpi, for which the forms grow as on any desktop with a larger font.
inline void UseDesignFont()
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setPointSizeF(9.0 * 96 / QGuiApplication::primaryScreen()->logicalDotsPerInchY());
    QApplication::setFont(font);
}
