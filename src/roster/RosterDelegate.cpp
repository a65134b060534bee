#include "RosterDelegate.h"

#include "ListWidgetManager.h"
#include "RosterRowLayout.h"

#include <QAbstractItemView>
#include <QCache>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

using ItemStyle = ListWidgetManager::ListWidgetItem_Style;
using GroupStyle = ListWidgetManager::ListWidgetGroup_Style;

const QColor kGlyphColor(0x70, 0x70, 0x70);

bool HasPicture(const QPixmap& picture)
{
    return picture.width() > 0 && picture.height() > 0;
}

QColor Blend(const QColor& from, const QColor& to, qreal amount)
{
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * amount,
        from.greenF() + (to.greenF() - from.greenF()) * amount,
        from.blueF() + (to.blueF() - from.blueF()) * amount);
}

// The row pieces drawn once and kept: scaled screenshots, rounded avatars, status dots, button
// glyphs. Kept here rather than in Qt's shared pixmap cache: that one gives up a quarter of
// itself on a timer every 10 s whenever it rests, so a large roster freed and redrew its pieces
// in one go on the GUI thread every 10 s. This one gives way only to new pieces, the least
// recently drawn first, a few at a time as they come.
QCache<QString, QPixmap>& RowPieces()
{
    static QCache<QString, QPixmap> pieces(10 * 1024); // in KB, as much as Qt's shared cache
    return pieces;
}

bool FindPiece(const QString& key, QPixmap* piece)
{
    const QPixmap* kept = RowPieces().object(key);
    if (kept)
        *piece = *kept;
    return kept;
}

void KeepPiece(const QString& key, const QPixmap& piece)
{
    const int kilobytes
        = qMax(1, int(qint64(piece.width()) * piece.height() * piece.depth() / 8 / 1024));
    RowPieces().insert(key, new QPixmap(piece), kilobytes);
}

// Screenshots arrive at full size; scaling them on every repaint would make
// hovering over the list sluggish, so scaled copies are kept.
QPixmap Scaled(const QPixmap& source, const QSize& size, qreal ratio)
{
    const QString key = QStringLiteral("scaled/%1/%2x%3@%4")
                            .arg(source.cacheKey())
                            .arg(size.width())
                            .arg(size.height())
                            .arg(ratio);
    QPixmap scaled;
    if (!FindPiece(key, &scaled)) {
        scaled = source.scaled(size * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        KeepPiece(key, scaled);
    }
    return scaled;
}

// The small drawings of a row (rounded avatars, status dots, button glyphs) are rendered once
// per look and kept: curves and clip paths cost more than the rest of the row together.
template<typename Draw>
QPixmap Rendered(const QString& key, const QSize& size, qreal ratio, Draw draw)
{
    const QString fullKey
        = QStringLiteral("%1/%2x%3@%4").arg(key).arg(size.width()).arg(size.height()).arg(ratio);
    QPixmap pixmap;
    if (FindPiece(fullKey, &pixmap))
        return pixmap;
    pixmap = QPixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHints(
        QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    draw(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    KeepPiece(fullKey, pixmap);
    return pixmap;
}

QString Initials(const QString& name)
{
    QString initials;
    const QStringList words = name.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : words) {
        initials += word.at(0).toUpper();
        if (initials.size() == 2)
            break;
    }
    return initials;
}

void DrawAvatar(
    QPainter* painter, const QRect& rect, const QPixmap& avatar, const QString& name, int contactID)
{
    const qreal ratio = painter->device()->devicePixelRatioF();
    QPixmap tile;
    if (HasPicture(avatar)) {
        tile = Rendered(QStringLiteral("avatar/%1").arg(avatar.cacheKey()), rect.size(), ratio,
            [&avatar](QPainter* p, const QRectF& box) {
                QPainterPath shape;
                shape.addRoundedRect(box, 6, 6);
                p->setClipPath(shape);
                const QSizeF size
                    = QSizeF(avatar.size()).scaled(box.size(), Qt::KeepAspectRatioByExpanding);
                p->drawPixmap(QRectF(QPointF((box.width() - size.width()) / 2,
                                         (box.height() - size.height()) / 2),
                                  size),
                    avatar, QRectF(avatar.rect()));
            });
    } else {
        // No picture yet: a tile in a colour of its own for each member, with the initials.
        const QString initials = Initials(name);
        tile = Rendered(QStringLiteral("initials/%1/%2").arg(contactID).arg(initials), rect.size(),
            ratio, [&](QPainter* p, const QRectF& box) {
                QPainterPath shape;
                shape.addRoundedRect(box, 6, 6);
                p->fillPath(shape, QColor::fromHsl((contactID * 47) % 360, 110, 150));
                QFont font = painter->font();
                font.setPixelSize(qMax(8, int(box.height()) * 2 / 5));
                font.setBold(true);
                p->setFont(font);
                p->setPen(Qt::white);
                p->drawText(box, Qt::AlignCenter, initials);
            });
    }
    painter->drawPixmap(rect.topLeft(), tile);
}

QIcon StatusIcon(const ItemStyle& style, RosterManager::STATUS status)
{
    // The slots the tray icon uses for the same statuses.
    switch (status) {
    case RosterManager::STATUS_ONLINE_WORKING:
    case RosterManager::STATUS_ONLINE_CACHED:
        return style.statusIcons[ListWidgetManager::STATUS_ICON_WORKING];
    case RosterManager::STATUS_DND_WORKING:
        return style.statusIcons[ListWidgetManager::STATUS_ICON_WORKING_BUSY];
    case RosterManager::STATUS_IDLE_WORKING:
        return style.statusIcons[ListWidgetManager::STATUS_ICON_WORKING_IDLE];
    case RosterManager::STATUS_ONLINE:
        return style.statusIcons[ListWidgetManager::STATUS_ICON_AVAILABLE];
    case RosterManager::STATUS_IDLE:
        return style.statusIcons[ListWidgetManager::STATUS_ICON_IDLE];
    case RosterManager::STATUS_DND:
    case RosterManager::STATUS_OFFLINE:
    case RosterManager::STATUS_NONE:
        break;
    }
    return style.statusIcons[ListWidgetManager::STATUS_ICON_BUSY];
}

void DrawStatus(QPainter* painter, const QRect& rect, const ItemStyle& style,
    RosterManager::STATUS status, bool working, const QColor& ring)
{
    const QIcon icon = StatusIcon(style, status);
    if (status != RosterManager::STATUS_OFFLINE && !icon.isNull()) {
        icon.paint(painter, rect);
        return;
    }
    const QString key
        = QStringLiteral("status/%1/%2/%3").arg(int(status)).arg(working).arg(ring.rgba());
    const auto draw = [&](QPainter* p, const QRectF& box) {
        const QRectF dot = box.adjusted(1, 1, -1, -1);
        const QColor color = ListWidgetManager::StatusColor(status);
        p->setPen(QPen(ring, 2));
        if (status == RosterManager::STATUS_OFFLINE) {
            p->setBrush(ring);
            p->drawEllipse(dot);
            p->setPen(QPen(color, 2));
            p->setBrush(Qt::NoBrush);
            p->drawEllipse(dot.adjusted(2.5, 2.5, -2.5, -2.5));
            return;
        }
        p->setBrush(color);
        p->drawEllipse(dot);
        if (working) {
            // A small play mark tells tracking members from the others at a glance.
            const QPointF c = dot.center();
            p->setPen(Qt::NoPen);
            p->setBrush(Qt::white);
            p->drawPolygon(QPolygonF(
                { c + QPointF(-1.5, -2.5), c + QPointF(2.5, 0), c + QPointF(-1.5, 2.5) }));
        }
    };
    painter->drawPixmap(
        rect.topLeft(), Rendered(key, rect.size(), painter->device()->devicePixelRatioF(), draw));
}

// Drawn in place of a button picture the style does not provide.
void DrawButtonGlyph(QPainter* p, const QRectF& box, RosterDelegate::BUTTON_TYPES button)
{
    p->setPen(QPen(kGlyphColor, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p->setBrush(Qt::NoBrush);
    const QPointF c = box.center();
    switch (button) {
    case RosterDelegate::BUTTON_MENU:
        p->setPen(Qt::NoPen);
        p->setBrush(kGlyphColor);
        for (int i = -1; i <= 1; ++i)
            p->drawEllipse(c + QPointF(0, i * 4.5), 1.6, 1.6);
        break;
    case RosterDelegate::BUTTON_WORK_DIARY: {
        const QRectF page(c.x() - 5, c.y() - 6.5, 10, 13);
        p->drawRoundedRect(page, 1.5, 1.5);
        for (int i = 0; i < 3; ++i)
            p->drawLine(QPointF(page.left() + 2.5, page.top() + 3.5 + i * 3),
                QPointF(page.right() - 2.5, page.top() + 3.5 + i * 3));
        break;
    }
    case RosterDelegate::BUTTON_CHAT: {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(c.x() - 7, c.y() - 6, 14, 10), 3, 3);
        bubble.moveTo(c.x() - 3, c.y() + 4);
        bubble.lineTo(c.x() - 5, c.y() + 7.5);
        bubble.lineTo(c.x() + 1, c.y() + 4);
        p->drawPath(bubble.simplified());
        break;
    }
    case RosterDelegate::BUTTON_ROW:
        break;
    }
}

void DrawButton(QPainter* painter, const QRect& area, const QPixmap& picture,
    RosterDelegate::BUTTON_TYPES button)
{
    QPixmap shown = picture;
    if (shown.isNull()) {
        shown = Rendered(QStringLiteral("glyph/%1").arg(int(button)), area.size(),
            painter->device()->devicePixelRatioF(),
            [button](QPainter* p, const QRectF& box) { DrawButtonGlyph(p, box, button); });
    }
    const QSizeF size = QSizeF(shown.size()) / shown.devicePixelRatioF();
    painter->drawPixmap(QPointF(area.left() + (area.width() - size.width()) / 2,
                            area.top() + (area.height() - size.height()) / 2),
        shown);
}

QString StatusText(RosterManager::STATUS status, bool working)
{
    switch (status) {
    case RosterManager::STATUS_ONLINE_WORKING:
    case RosterManager::STATUS_ONLINE_CACHED:
        return RosterDelegate::tr("Working");
    case RosterManager::STATUS_ONLINE:
        return working ? RosterDelegate::tr("Working") : RosterDelegate::tr("Online");
    case RosterManager::STATUS_IDLE_WORKING:
    case RosterManager::STATUS_IDLE:
        return RosterDelegate::tr("Idle");
    case RosterManager::STATUS_DND_WORKING:
    case RosterManager::STATUS_DND:
        return RosterDelegate::tr("Do not disturb");
    case RosterManager::STATUS_OFFLINE:
        return RosterDelegate::tr("Offline");
    case RosterManager::STATUS_NONE:
        break;
    }
    return QString();
}

} // namespace

RosterDelegate::RosterDelegate(QListWidget* parent) : QStyledItemDelegate(parent)
{
    qRegisterMetaType<RosterDelegate::BUTTON_TYPES>();
    // Rows light up under the mouse.
    if (parent)
        parent->viewport()->setAttribute(Qt::WA_Hover);
}

const QWidget* RosterDelegate::ListOf(const QStyleOptionViewItem& option) const
{
    return option.widget ? option.widget : qobject_cast<const QWidget*>(parent());
}

void RosterDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHints(
        QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    if (index.data(ListWidgetManager::ROLE_IS_GROUP).toBool())
        PaintGroupRow(painter, option, index);
    else
        PaintMemberRow(painter, option, index);
    painter->restore();
}

void RosterDelegate::PaintGroupRow(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const GroupStyle style = ListWidgetManager::GroupStyleOf(ListOf(option));
    const QRect row = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;

    painter->fillRect(row,
        selected || hovered ? Blend(style.backColor2, style.textColor, 0.12) : style.backColor2);
    if (selected) {
        painter->setPen(QPen(style.backColor, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(row).adjusted(0.5, 0.5, -0.5, -0.5));
    }

    const bool expanded = index.data(ListWidgetManager::ROLE_EXPANDED).toBool();
    const QPixmap icon = expanded ? style.expandedIcon : style.collapsedIcon;
    int textRight = row.right() - 6;
    if (!icon.isNull()) {
        const QSizeF size = QSizeF(icon.size()) / icon.devicePixelRatioF();
        const QPointF at(
            row.right() + 1 - size.width(), row.top() + (row.height() - size.height()) / 2);
        painter->drawPixmap(at, icon);
        textRight = int(at.x()) - 6;
    } else {
        // A chevron pointing down for an open team, right for a folded one.
        const QPointF c(row.right() - 14, row.center().y() + 0.5);
        const QPolygonF chevron = expanded
            ? QPolygonF({ c + QPointF(-4, -2), c + QPointF(0, 2), c + QPointF(4, -2) })
            : QPolygonF({ c + QPointF(-2, -4), c + QPointF(2, 0), c + QPointF(-2, 4) });
        painter->setPen(QPen(style.textColor, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->drawPolyline(chevron);
        textRight = row.right() - 26;
    }

    const QRect text(
        row.left() + 12, row.top(), qMax(0, textRight - row.left() - 12), row.height());
    painter->setFont(style.font);
    painter->setPen(style.textColor);
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
        painter->fontMetrics().elidedText(name, Qt::ElideRight, text.width()));
}

void RosterDelegate::PaintMemberRow(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ItemStyle style = ListWidgetManager::ItemStyleOf(ListOf(option));
    const QRect row = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;
    const auto status = RosterManager::STATUS(index.data(ListWidgetManager::ROLE_STATUS).toInt());
    const bool offline = status == RosterManager::STATUS_OFFLINE;
    const bool working = index.data(ListWidgetManager::ROLE_WORKING).toBool();
    const QPixmap screenshot = index.data(ListWidgetManager::ROLE_SCREENSHOT).value<QPixmap>();
    const bool showScreenshot = HasPicture(screenshot) && !offline;
    const RosterRowLayout layout = RosterRowLayout::ForMember(
        row, style, offline, showScreenshot ? screenshot.size() : QSize());

    const QColor base = option.palette.color(QPalette::Base);
    const QColor fill = selected ? style.backColor2
        : hovered                ? Blend(base, style.backColor2, 0.5)
                                 : base;
    // The list's own background (its palette or style sheet) shows through a plain row.
    if (selected || hovered) {
        QColor border = style.backColor;
        if (!selected)
            border.setAlpha(90);
        painter->setPen(QPen(border, 1));
        painter->setBrush(fill);
        painter->drawRoundedRect(QRectF(row).adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
    } else {
        painter->setPen(QPen(Blend(base, Qt::black, 0.08), 1));
        painter->drawLine(QPointF(layout.textLeft, row.bottom() + 0.5),
            QPointF(row.right() + 1, row.bottom() + 0.5));
    }

    const QString name = index.data(Qt::DisplayRole).toString();
    painter->setOpacity(offline ? 0.45 : 1.0);
    DrawAvatar(painter, layout.avatarRect,
        index.data(ListWidgetManager::ROLE_AVATAR).value<QPixmap>(), name,
        index.data(ListWidgetManager::ROLE_CONTACT_ID).toInt());
    painter->setOpacity(1.0);
    DrawStatus(painter, layout.statusIconRect, style, status, working, fill);

    // Name line: the name, and the worked time flush right before the buttons.
    int nameRight = layout.textRight;
    const QString workedTime = index.data(ListWidgetManager::ROLE_WORKED_TIME).toString();
    if (!workedTime.isEmpty() && !offline) {
        painter->setFont(style.timeFont);
        painter->setPen(style.timeColor);
        const int width = painter->fontMetrics().horizontalAdvance(workedTime);
        painter->drawText(QPoint(layout.textRight - width, layout.nameBaseline), workedTime);
        nameRight = layout.textRight - width - 8;
    }
    painter->setFont(offline ? style.offlineNameFont : style.nameFont);
    painter->setPen(offline ? style.offlineNameColor : style.nameColor);
    painter->drawText(QPoint(layout.textLeft, layout.nameBaseline),
        painter->fontMetrics().elidedText(
            name, Qt::ElideRight, qMax(0, nameRight - layout.textLeft)));

    // Memo line: what a tracking member works on, else the member's status.
    const QString memo = index.data(ListWidgetManager::ROLE_MEMO).toString().simplified();
    const QString line
        = working && !memo.isEmpty() && !offline ? memo : StatusText(status, working);
    painter->setFont(offline ? style.offlineStatusFont : style.statusFont);
    painter->setPen(offline ? style.offlineStatusColor : style.color2);
    painter->drawText(QPoint(layout.textLeft, layout.statusBaseline),
        painter->fontMetrics().elidedText(
            line, Qt::ElideRight, layout.textRight - layout.textLeft));

    if (!layout.thumbnailRect.isEmpty()) {
        const qreal ratio = painter->device()->devicePixelRatioF();
        painter->drawPixmap(
            layout.thumbnailRect, Scaled(screenshot, layout.thumbnailRect.size(), ratio));
        painter->setPen(QPen(QColor(0, 0, 0, 50), 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(layout.thumbnailRect).adjusted(-0.5, -0.5, 0.5, 0.5));
    }

    // Buttons stay quiet until the row is under the mouse or selected.
    painter->setOpacity(selected || hovered ? 1.0 : 0.55);
    DrawButton(painter, layout.chatButtonRect, style.chatButton, BUTTON_CHAT);
    DrawButton(painter, layout.diaryButtonRect, style.diaryButton, BUTTON_WORK_DIARY);
    DrawButton(painter, layout.menuButtonRect, style.menuButton, BUTTON_MENU);
}

QSize RosterDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Rows drawn by the list manager carry their height.
    const QVariant hint = index.data(Qt::SizeHintRole);
    if (hint.isValid())
        return hint.toSize();
    if (index.data(ListWidgetManager::ROLE_IS_GROUP).toBool())
        return ListWidgetManager::GroupStyleOf(ListOf(option)).rowSize;
    const ItemStyle style = ListWidgetManager::ItemStyleOf(ListOf(option));
    const bool offline
        = index.data(ListWidgetManager::ROLE_STATUS).toInt() == RosterManager::STATUS_OFFLINE;
    return HasPicture(index.data(ListWidgetManager::ROLE_SCREENSHOT).value<QPixmap>()) && !offline
        ? style.rowSizeWithScreenshot
        : style.rowSize;
}

QRect RosterDelegate::ButtonRect(const QRect& rowRect, BUTTON_TYPES button) const
{
    const RosterRowLayout layout = RosterRowLayout::ForMember(rowRect,
        ListWidgetManager::ItemStyleOf(qobject_cast<const QWidget*>(parent())), false, QSize());
    switch (button) {
    case BUTTON_MENU:
        return layout.menuButtonRect;
    case BUTTON_WORK_DIARY:
        return layout.diaryButtonRect;
    case BUTTON_CHAT:
        return layout.chatButtonRect;
    case BUTTON_ROW:
        break;
    }
    return rowRect;
}

bool RosterDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease && index.isValid()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            ReportRelease(option, index, mouse->pos());
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

void RosterDelegate::ReportRelease(
    const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& viewportPos)
{
    // Receivers place menus with the list's mapToGlobal, so hand them the list's coordinates.
    QPoint point = viewportPos;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget))
        point = view->viewport()->mapTo(view, viewportPos);

    const int groupID = index.data(ListWidgetManager::ROLE_GROUP_ID).toInt();
    if (index.data(ListWidgetManager::ROLE_IS_GROUP).toBool()) {
        emit OnItemClickAction(groupID, -1, BUTTON_ROW, point);
        return;
    }
    const RosterRowLayout layout = RosterRowLayout::ForMember(
        option.rect, ListWidgetManager::ItemStyleOf(ListOf(option)), false, QSize());
    BUTTON_TYPES button;
    if (layout.menuButtonRect.contains(viewportPos))
        button = BUTTON_MENU;
    else if (layout.diaryButtonRect.contains(viewportPos))
        button = BUTTON_WORK_DIARY;
    else if (layout.chatButtonRect.contains(viewportPos))
        button = BUTTON_CHAT;
    else
        return;
    emit OnItemClickAction(
        groupID, index.data(ListWidgetManager::ROLE_CONTACT_ID).toInt(), button, point);
}
