#include "FormFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <numeric>

// Which widget grew by how much: "QT_LOGGING_RULES=movarelquintash.formfit.debug=true".
Q_LOGGING_CATEGORY(formFit, "movarelquintash.formfit", QtWarningMsg)

namespace FormFit {

namespace {

void LogGrowth(const QList<QWidget*>& children, const AxisFit& fit, const char* axis)
{
    for (int i = 0; i < children.size(); ++i) {
        const QRect& now = fit.rects[i];
        if (now != children[i]->geometry())
            qCDebug(formFit) << children[i]->objectName() << axis << children[i]->geometry() << "->"
                             << now;
    }
}

// Forms are drawn with a pixel or two of overlap here and there: that much is no contact.
const int tolerance = 2;
// Room kept between a group box's title and the first row of its controls.
const int titleGap = 2;
const double designDpi = 96.0;

int StartOf(Qt::Orientation axis, const QRect& rect)
{
    return axis == Qt::Horizontal ? rect.x() : rect.y();
}

int LengthOf(Qt::Orientation axis, const QRect& rect)
{
    return axis == Qt::Horizontal ? rect.width() : rect.height();
}

// How far two rectangles share a band across the axis.
int SharedAcross(Qt::Orientation axis, const QRect& a, const QRect& b)
{
    const Qt::Orientation across = axis == Qt::Horizontal ? Qt::Vertical : Qt::Horizontal;
    const int start = std::max(StartOf(across, a), StartOf(across, b));
    const int end = std::min(
        StartOf(across, a) + LengthOf(across, a), StartOf(across, b) + LengthOf(across, b));
    return end - start;
}

QRect WithSpan(Qt::Orientation axis, const QRect& rect, int start, int end)
{
    if (axis == Qt::Horizontal)
        return QRect(start, rect.y(), end - start, rect.height());
    return QRect(rect.x(), start, rect.width(), end - start);
}

// Plain boxes whose children the form places: their contents are fitted like the form's.
bool IsBox(const QWidget* widget)
{
    if (widget->layout())
        return false;
    const QMetaObject* type = widget->metaObject();
    return type == &QWidget::staticMetaObject || type == &QFrame::staticMetaObject
        || qobject_cast<const QGroupBox*>(widget);
}

QList<QWidget*> FormChildren(const QWidget* parent)
{
    QList<QWidget*> children;
    const QList<QWidget*> all
        = parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : all)
        if (!child->isWindow() && !child->objectName().startsWith(QLatin1String("qt_")))
            children.append(child);
    return children;
}

void ScaleSizeLimits(QWidget* widget, double factor)
{
    const QSize minimum = widget->minimumSize();
    const QSize maximum = widget->maximumSize();
    widget->setMinimumSize(Scaled(QRect(QPoint(), minimum), factor).size());
    widget->setMaximumSize(maximum.width() >= QWIDGETSIZE_MAX
            ? QWIDGETSIZE_MAX
            : Scaled(QRect(QPoint(), maximum), factor).width(),
        maximum.height() >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX
                                            : Scaled(QRect(QPoint(), maximum), factor).height());
}

void ScaleChildren(QWidget* parent, double factor)
{
    const QList<QWidget*> children = FormChildren(parent);
    for (QWidget* child : children) {
        if (auto* stack = qobject_cast<QStackedWidget*>(child)) {
            for (int page = 0; page < stack->count(); ++page)
                ScaleChildren(stack->widget(page), factor);
        } else if (IsBox(child)) {
            ScaleChildren(child, factor);
        }
        ScaleSizeLimits(child, factor);
        child->setGeometry(Scaled(child->geometry(), factor));
    }
}

// A text is centred in the height it has: one pixel less is half a pixel at each edge of its
// line, blank in every face.
QSize Lacking(const QSize& needed, const QSize& room)
{
    const int height = needed.height() - room.height();
    return QSize(std::max(0, needed.width() - room.width()), height > 1 ? height : 0);
}

QSize LabelShortfall(const QLabel* label)
{
    const bool picture = (label->pixmap() && !label->pixmap()->isNull()) || label->movie();
    if (label->text().isEmpty() || picture)
        return QSize(0, 0);
    // Lines of a wrapped text start at its top: their height is needed whole.
    if (label->wordWrap())
        return QSize(0, std::max(0, label->heightForWidth(label->width()) - label->height()));
    return Lacking(label->sizeHint(), label->size());
}

// Check boxes and radio buttons: the indicator, its gap and the text side by side.
QSize IndicatorButtonShortfall(const QAbstractButton* button)
{
    if (button->text().isEmpty())
        return QSize(0, 0);
    const QStyleOptionButton option = ButtonOption(button);
    const QStyle::SubElement contents = qobject_cast<const QRadioButton*>(button)
        ? QStyle::SE_RadioButtonContents
        : QStyle::SE_CheckBoxContents;
    const QRect room = button->style()->subElementRect(contents, &option, button);
    const QFontMetrics metrics = button->fontMetrics();
    return Lacking(
        QSize(button->sizeHint().width(), metrics.height()), QSize(button->width(), room.height()));
}

// A push button: its text and icon with the style's margins around them (the style's smallest
// button does not count), as high as its text line within the style's frame.
QSize PushButtonShortfall(const QAbstractButton* button)
{
    if (button->text().isEmpty())
        return QSize(0, 0);
    QStyleOptionButton option = ButtonOption(button);
    const QRect room
        = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const QFontMetrics metrics = button->fontMetrics();
    QSize text = metrics.size(Qt::TextShowMnemonic, button->text());
    if (!button->icon().isNull())
        text.rwidth() += button->iconSize().width() + 4;
    option.text.clear();
    const int width
        = button->style()->sizeFromContents(QStyle::CT_PushButton, &option, text, button).width();
    return QSize(Lacking(QSize(width, 0), button->size()).width(),
        Lacking(QSize(0, text.height()), room.size()).height());
}

QSize ComboShortfall(const QComboBox* combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    const QRect room = combo->style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    const QFontMetrics metrics = combo->fontMetrics();
    int widest = metrics.horizontalAdvance(combo->currentText());
    // A font chooser lists every family the desktop has: only the one shown counts.
    if (!qobject_cast<const QFontComboBox*>(combo))
        for (int i = 0; i < combo->count(); ++i)
            widest = std::max(widest, metrics.horizontalAdvance(combo->itemText(i)));
    return Lacking(QSize(widest, metrics.height()), room.size());
}

QSize LineEditShortfall(const QLineEdit* edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->contentsRect();
    option.lineWidth = edit->hasFrame()
        ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
        : 0;
    const QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    return Lacking(QSize(0, edit->fontMetrics().height()),
        QSize(0, room.height() - margins.top() - margins.bottom()));
}

} // namespace

QRect TitleRect(const QGroupBox* box)
{
    if (box->title().isEmpty())
        return QRect();
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable())
        option.subControls |= QStyle::SC_GroupBoxCheckBox;
    if (box->isFlat())
        option.features |= QStyleOptionFrame::Flat;
    return box->style()->subControlRect(
        QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
}

namespace {

QSize FitBox(QWidget* box, QSize area);

// Some styles make a box's title as wide as the bounding box of its glyphs, and cut a last
// letter that reaches past it (an "n" at 18 pixels): the title is given its advance.
class TitleRoomStyle : public QProxyStyle
{
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
        const QWidget* widget) const override
    {
        QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control == CC_GroupBox && part == SC_GroupBoxLabel && box) {
            const int advance = box->fontMetrics.horizontalAdvance(box->text) + titleGap;
            rect.setWidth(std::max(rect.width(), advance));
        }
        return rect;
    }
};

void GiveTitleItsAdvance(QGroupBox* box)
{
    const QRect title = TitleRect(box);
    if (title.isValid()
        && title.width() < box->fontMetrics().horizontalAdvance(box->title()) + titleGap) {
        auto* style = new TitleRoomStyle;
        style->setParent(box);
        box->setStyle(style);
    }
}

// The size the child's contents need: a box its fitted contents, a page stack its largest page.
QSize ContentsNeed(QWidget* child)
{
    if (auto* stack = qobject_cast<QStackedWidget*>(child)) {
        QSize largest = stack->size();
        for (int page = 0; page < stack->count(); ++page)
            largest = largest.expandedTo(FitBox(stack->widget(page), stack->size()));
        return largest;
    }
    if (auto* group = qobject_cast<QGroupBox*>(child))
        GiveTitleItsAdvance(group);
    if (IsBox(child))
        return FitBox(child, child->size());
    return child->size();
}

// How far the text of each label reaches from the label's start: a label may be drawn wider
// than its parent, its text may not.
QVector<int> TextReach(const QList<QWidget*>& widgets, Qt::Orientation axis)
{
    QVector<int> reach;
    for (const QWidget* widget : widgets) {
        const auto* label = qobject_cast<const QLabel*>(widget);
        const bool text = label && !label->text().isEmpty() && !label->wordWrap();
        const QSize size = text ? label->sizeHint() : QSize();
        reach.append(axis == Qt::Horizontal ? size.width() : size.height());
    }
    return reach;
}

QVector<QRect> Geometries(const QList<QWidget*>& widgets)
{
    QVector<QRect> rects;
    for (const QWidget* widget : widgets)
        rects.append(widget->geometry());
    return rects;
}

// Fits the children of `box`, whose area is `area`; returns the area they now need.
QSize FitBox(QWidget* box, QSize area)
{
    const QList<QWidget*> children = FormChildren(box);
    if (children.isEmpty())
        return area;
    QVector<QSize> contents;
    for (QWidget* child : children)
        contents.append(ContentsNeed(child));

    QVector<int> widths;
    for (int i = 0; i < children.size(); ++i)
        widths.append(std::max(
            contents[i].width(), children[i]->width() + TextShortfall(children[i]).width()));
    const AxisFit across = GrowAlong(Qt::Horizontal, Geometries(children), widths, area.width(),
        TextReach(children, Qt::Horizontal));
    LogGrowth(children, across, "across");
    for (int i = 0; i < children.size(); ++i)
        children[i]->resize(across.rects[i].width(), children[i]->height());

    QVector<QRect> rects = across.rects;
    QVector<int> heights;
    for (int i = 0; i < children.size(); ++i)
        heights.append(std::max(
            contents[i].height(), children[i]->height() + TextShortfall(children[i]).height()));
    // A group box's title is a row above the controls under it.
    if (const auto* group = qobject_cast<const QGroupBox*>(box)) {
        const QRect title = TitleRect(group);
        int firstRow = area.height();
        for (const QRect& rect : qAsConst(rects))
            if (SharedAcross(Qt::Vertical, rect, title) > 0)
                firstRow = std::min(firstRow, rect.y());
        if (title.isValid() && firstRow > 0) {
            rects.append(QRect(title.x(), 0, title.width(), firstRow));
            heights.append(std::max(firstRow, title.y() + title.height() + titleGap));
        }
    }
    const AxisFit down
        = GrowAlong(Qt::Vertical, rects, heights, area.height(), TextReach(children, Qt::Vertical));
    LogGrowth(children, down, "down");
    for (int i = 0; i < children.size(); ++i)
        children[i]->setGeometry(down.rects[i]);
    return QSize(across.length, down.length);
}

void GrowWindow(QWidget* window, QSize growth)
{
    if (growth.isNull())
        return;
    const QSize minimum = window->minimumSize();
    const QSize maximum = window->maximumSize();
    const bool fixed = minimum == maximum;
    const QSize size = window->size() + growth;
    window->setMaximumSize(fixed
            ? size
            : QSize(std::min(QWIDGETSIZE_MAX, maximum.width() + growth.width()),
                std::min(QWIDGETSIZE_MAX, maximum.height() + growth.height())));
    window->setMinimumSize(fixed ? size : minimum + growth);
    window->resize(size);
}

} // namespace

QStyleOptionButton ButtonOption(const QAbstractButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    if (const auto* push = qobject_cast<const QPushButton*>(button)) {
        if (push->isFlat())
            option.features |= QStyleOptionButton::Flat;
        if (push->autoDefault() || push->isDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (push->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
    }
    return option;
}

QRect Scaled(const QRect& rect, double factor)
{
    const auto scale = [factor](int value) {
        return int(std::lround(value * factor));
    };
    const int left = scale(rect.x());
    const int top = scale(rect.y());
    return QRect(
        left, top, scale(rect.x() + rect.width()) - left, scale(rect.y() + rect.height()) - top);
}

AxisFit GrowAlong(Qt::Orientation axis, const QVector<QRect>& rects, const QVector<int>& needed,
    int length, const QVector<int>& reach)
{
    QVector<int> order(rects.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
        [&](int a, int b) { return StartOf(axis, rects[a]) < StartOf(axis, rects[b]); });

    // The narrowest margin any child keeps to the far edge: a child that moves keeps that much.
    int padding = length;
    for (const QRect& rect : rects)
        if (StartOf(axis, rect) + LengthOf(axis, rect) <= length)
            padding = std::min(padding, length - StartOf(axis, rect) - LengthOf(axis, rect));

    AxisFit fit { rects, length };
    QVector<int> newEnds(rects.size());
    for (int placed = 0; placed < order.size(); ++placed) {
        const int j = order[placed];
        const int start = StartOf(axis, rects[j]);
        const int end = start + LengthOf(axis, rects[j]);
        // Behind every sibling before it in its band: a gap between them gives way first, an
        // overlap the form was drawn with stays.
        int newStart = start;
        for (int before = 0; before < placed; ++before) {
            const int i = order[before];
            const int endBefore = StartOf(axis, rects[i]) + LengthOf(axis, rects[i]);
            if (SharedAcross(axis, rects[i], rects[j]) > tolerance
                && StartOf(axis, rects[i]) < start && start >= endBefore - tolerance)
                newStart = std::max(newStart, newEnds[i] + std::min(start - endBefore, 0));
        }
        // A child keeps its length unless it needs more.
        newEnds[j] = newStart + std::max(end - start, needed.value(j));
        fit.rects[j] = WithSpan(axis, rects[j], newStart, newEnds[j]);
        // What grew or moved is kept inside, and so is a text that reached out already.
        int inside = newEnds[j] > end ? newEnds[j] - newStart : 0;
        if (start + reach.value(j) > length + tolerance)
            inside = std::max(inside, reach.value(j));
        if (inside > 0)
            fit.length
                = std::max(fit.length, newStart + inside + std::clamp(length - end, 0, padding));
    }
    return fit;
}

QSize TextShortfall(const QWidget* widget)
{
    // The style sheet may set the font and the padding the text is measured in.
    widget->ensurePolished();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return LabelShortfall(label);
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        if (qobject_cast<const QCheckBox*>(button) || qobject_cast<const QRadioButton*>(button))
            return IndicatorButtonShortfall(button);
        return PushButtonShortfall(button);
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return ComboShortfall(combo);
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return LineEditShortfall(edit);
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title().isEmpty()
            ? QSize(0, 0)
            : Lacking(QSize(group->minimumSizeHint().width(), 0), group->size());
    return QSize(0, 0);
}

double Density(int logicalDpi)
{
    return std::max(1.0, std::round(logicalDpi / designDpi * 4) / 4);
}

void Fit(QWidget* form, Scaling scaling)
{
    const double factor = Density(form->logicalDpiY());
    auto* mainWindow = qobject_cast<QMainWindow*>(form);
    QWidget* area = mainWindow ? mainWindow->centralWidget() : form;
    if (scaling == Scaling::ByDensity && factor > 1.0 && !mainWindow) {
        ScaleChildren(form, factor);
        const bool fixed = form->minimumSize() == form->maximumSize();
        ScaleSizeLimits(form, factor);
        form->resize(Scaled(form->rect(), factor).size());
        if (fixed)
            form->setFixedSize(form->size());
    }
    // A main window's form is its central widget's area, which takes the window's size.
    const QSize size = form->size();
    GrowWindow(form, FitBox(area, size) - size);
}

} // namespace FormFit
