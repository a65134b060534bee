#pragma once

#include <QRect>
#include <QStyleOptionButton>
#include <QSize>
#include <QVector>

class QAbstractButton;
class QGroupBox;
class QWidget;

// The forms place their widgets by absolute geometry drawn at 96 dpi with a 9-point font. On a
// denser screen, or with a larger desktop font, their texts would be cut and their controls run
// into each other. Fit() makes a form hold for the font it is shown with, right after setupUi:
// the form grows by the screen's density over 96 dpi (so it keeps its proportions), then every
// widget whose text still needs more room grows by what it lacks, and what lies to its right or
// below it moves along, its box and the window growing with it.
namespace FormFit {

enum class Scaling
{
    ByDensity, // the whole form grows with the density first
    TextOnly, // only what its text lacks: for windows that place their panels by hand
};

// Fits the form of `form` (a window, or the central widget's area of a main window): its
// children, grandchildren and its own size, minimum and maximum (a fixed size stays fixed).
void Fit(QWidget* form, Scaling scaling = Scaling::ByDensity);

// How much larger than drawn a form is shown on a screen of this logical density: its ratio to
// 96 dpi in the quarter steps desktops scale by (a screen that says 100 dpi is a 96-dpi one), and
// never smaller than drawn.
double Density(int logicalDpi);

// The room `widget`'s text lacks in its present size, from the style's own measure of the
// part the text is drawn in; (0, 0) when it fits or the widget shows no text.
QSize TextShortfall(const QWidget* widget);

// The geometry rule along one axis, for the children of one parent. `rects` are the children,
// `needed` how long each must be along the axis, `length` the parent's length, `reach` (where
// given) how far each child's text reaches from its start. A child that needs more than it has
// grows; a sibling after it in its band (sharing more than a touch across the axis) moves on as
// far as the gap between them does not take the growth, and pushes those after it in turn. The
// others keep their places and lengths. The parent grows to hold what grew or moved, with the
// narrowest margin a child had to its far edge, and to hold a text that reached out of it.
struct AxisFit
{
    QVector<QRect> rects;
    int length = 0;
};
AxisFit GrowAlong(Qt::Orientation axis, const QVector<QRect>& rects, const QVector<int>& needed,
    int length, const QVector<int>& reach = {});

// The style option `button` is drawn with: its text, its icon and the frame its kind adds.
QStyleOptionButton ButtonOption(const QAbstractButton* button);

// Where a group box's title is drawn: its controls belong below that.
QRect TitleRect(const QGroupBox* box);

// A rectangle of a form drawn at 96 dpi, at `factor` times the size: edges that met still meet.
QRect Scaled(const QRect& rect, double factor);

} // namespace FormFit
