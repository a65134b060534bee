#pragma once

#include "FormFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

// What a person would see wrong in a window: a text cut short by its widget, two controls on
// top of each other, a control sticking out of the box it belongs to or into a box's title.
// Each finding is one line naming the widgets. The measures are Qt's own: a label's or a
// check box's size hint, the part of a button, combo box or line edit its style draws the text
// in (their size hints also hold the style's smallest button and its focus frame).
namespace FormInspector {

inline bool IsFormWidget(const QWidget* widget)
{
    const QString name = widget->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
        return false;
    for (const QWidget* up = widget->parentWidget(); up && !up->isWindow(); up = up->parentWidget())
        if (qobject_cast<const QComboBox*>(up) || qobject_cast<const QLineEdit*>(up)
            || qobject_cast<const QAbstractButton*>(up) || qobject_cast<const QMenuBar*>(up)
            || up->objectName().startsWith(QLatin1String("qt_scrollarea")))
            return false;
    return true;
}

inline bool ShowsText(const QLabel* label)
{
    const bool picture = (label->pixmap() && !label->pixmap()->isNull()) || label->movie();
    return !label->text().isEmpty() && !picture;
}

// The size the text needs and the room it has, or an empty pair when the widget shows none.
inline QPair<QSize, QSize> TextAndRoom(const QWidget* widget)
{
    const QFontMetrics metrics = widget->fontMetrics();
    const QSize size = widget->size();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (!ShowsText(label))
            return {};
        if (label->wordWrap())
            return { QSize(0, label->heightForWidth(size.width())), size };
        return { label->sizeHint(), size };
    }
    if (qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget)) {
        const auto* button = static_cast<const QAbstractButton*>(widget);
        if (button->text().isEmpty())
            return {};
        return { QSize(button->sizeHint().width(), metrics.height()), size };
    }
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        if (button->text().isEmpty())
            return {};
        const QStyleOptionButton option = FormFit::ButtonOption(button);
        QSize text = metrics.size(Qt::TextShowMnemonic, button->text());
        if (!button->icon().isNull())
            text.rwidth() += button->iconSize().width();
        return {
            text,
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).size()
        };
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.frame = combo->hasFrame();
        int widest = metrics.horizontalAdvance(combo->currentText());
        for (int i = 0; !qobject_cast<const QFontComboBox*>(combo) && i < combo->count(); ++i)
            widest = qMax(widest, metrics.horizontalAdvance(combo->itemText(i)));
        return { QSize(widest, metrics.height()),
            combo->style()
                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                .size() };
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        const int frame = edit->hasFrame()
            ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit)
            : 0;
        return { QSize(0, metrics.height()), QSize(0, size.height() - 2 * frame) };
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        if (box->title().isEmpty())
            return {};
        return { QSize(box->minimumSizeHint().width(), 0), QSize(size.width(), 0) };
    }
    return {};
}

inline QString TextCut(const QWidget* widget)
{
    const QPair<QSize, QSize> fit = TextAndRoom(widget);
    // A line is centred in its height: one pixel less is half a pixel of blank at each edge.
    // Wrapped lines start at the top and need their height whole.
    const auto* label = qobject_cast<const QLabel*>(widget);
    const int slack = label && label->wordWrap() ? 0 : 1;
    if (fit.first.width() <= fit.second.width()
        && fit.first.height() <= fit.second.height() + slack)
        return QString();
    return QStringLiteral("%1's text needs %2x%3, it has %4x%5")
        .arg(widget->objectName())
        .arg(fit.first.width())
        .arg(fit.first.height())
        .arg(fit.second.width())
        .arg(fit.second.height());
}

// Where the widget shows something, in its parent: a label's text where its alignment puts it,
// a check box's indicator and text; all of any other widget.
inline QRect Occupied(const QWidget* widget)
{
    const QRect rect = widget->geometry();
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (label && ShowsText(label) && !label->wordWrap())
        return QStyle::alignedRect(label->layoutDirection(), label->alignment(),
            label->sizeHint().boundedTo(rect.size()), rect);
    if (qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget))
        return QRect(rect.topLeft(), widget->sizeHint().boundedTo(rect.size()));
    return rect;
}

// Rectangles of a form meet with a pixel in common here and there, two once the form grew with
// the density: that much is no overlap.
inline bool Overlap(const QRect& a, const QRect& b)
{
    const QRect common = a.intersected(b);
    return common.width() > 2 && common.height() > 2;
}

// Whether `allowed` names the widget (or, with a trailing "*", starts it) or the pair "a/b".
inline bool Allowed(const QStringList& allowed, const QString& name, const QString& other = {})
{
    for (const QString& entry : allowed) {
        if (entry.endsWith(QLatin1Char('*')) && !entry.contains(QLatin1Char('/'))
            && (name.startsWith(entry.chopped(1)) || other.startsWith(entry.chopped(1))))
            return true;
        if (other.isEmpty() ? entry == name
                            : entry == name + QLatin1Char('/') + other
                    || entry == other + QLatin1Char('/') + name)
            return true;
    }
    return false;
}

// Every finding in `window`. `allowed` names findings that are the window's design: a widget
// name for one that may reach out of its parent, "a/b" for two that may overlap, "a*" for every
// widget whose name starts so.
inline QStringList Inspect(QWidget* window, const QStringList& allowed = {})
{
    QStringList found;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!IsFormWidget(widget) || !widget->isVisibleTo(window) || widget->isWindow())
            continue;
        const QString name = widget->objectName();
        const QString cut = TextCut(widget);
        if (!cut.isEmpty())
            found << cut;
        QWidget* parent = widget->parentWidget();
        // Two pixels past the edge are the designer's slack, hidden under the frame.
        if (!parent->rect().adjusted(-2, -2, 2, 2).contains(Occupied(widget))
            && !Allowed(allowed, name))
            found << QStringLiteral("%1 reaches out of %2").arg(name, parent->objectName());
        // The style draws a box's title as wide as it is written.
        if (const auto* box = qobject_cast<const QGroupBox*>(widget); box && !box->title().isEmpty()
            && FormFit::TitleRect(box).width() < box->fontMetrics().horizontalAdvance(box->title()))
            found << QStringLiteral("%1's title is drawn %2 wide, it is written %3 wide")
                         .arg(name)
                         .arg(FormFit::TitleRect(box).width())
                         .arg(box->fontMetrics().horizontalAdvance(box->title()));
        if (const auto* box = qobject_cast<const QGroupBox*>(parent))
            if (Overlap(FormFit::TitleRect(box), Occupied(widget)))
                found
                    << QStringLiteral("%1 runs into the title of %2").arg(name, box->objectName());
        const QList<QWidget*> siblings
            = parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* other : siblings) {
            if (other <= widget || !IsFormWidget(other) || !other->isVisibleTo(window)
                || other->isWindow())
                continue;
            if (Overlap(Occupied(widget), Occupied(other))
                && !Allowed(allowed, name, other->objectName()))
                found << QStringLiteral("%1 overlaps %2").arg(name, other->objectName());
        }
    }
    return found;
}

} // namespace FormInspector
