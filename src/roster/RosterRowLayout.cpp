#include "RosterRowLayout.h"

#include <QFontMetrics>

namespace {

constexpr int kMargin = 6;
constexpr int kMinIcon = 16;
constexpr int kButtonPadding = 8; // click area around a button's picture
constexpr int kStatusIconSize = 14;

QSize ButtonSize(const QPixmap& picture)
{
    const QSize icon = picture.isNull()
        ? QSize(kMinIcon, kMinIcon)
        : (QSizeF(picture.size()) / picture.devicePixelRatioF()).toSize();
    return QSize(qMax(icon.width(), kMinIcon), qMax(icon.height(), kMinIcon))
        + QSize(kButtonPadding, kButtonPadding);
}

} // namespace

RosterRowLayout RosterRowLayout::ForMember(const QRect& row,
    const ListWidgetManager::ListWidgetItem_Style& style, bool offline, const QSize& screenshotSize)
{
    RosterRowLayout layout;
    // Avatar, name, memo and buttons sit in the band of a plain row at the top; a row with a
    // screenshot shows it below the memo.
    const int band = qBound(1, style.rowSize.height(), row.height());

    int right = row.right() - kMargin + 1;
    auto placeButton = [&](const QPixmap& picture) {
        const QSize size = ButtonSize(picture);
        const QRect area(right - size.width(), row.top() + (band - size.height()) / 2, size.width(),
            size.height());
        right = area.left() - 2;
        return area;
    };
    layout.menuButtonRect = placeButton(style.menuButton);
    layout.diaryButtonRect = placeButton(style.diaryButton);
    layout.chatButtonRect = placeButton(style.chatButton);

    layout.textLeft = row.left() + style.offset.x();
    layout.textRight = qMax(layout.textLeft, layout.chatButtonRect.left() - kMargin);

    int avatar = qMin(band - 10, 48);
    if (style.offset.x() - 20 >= kMinIcon)
        avatar = qMin(avatar, style.offset.x() - 20);
    avatar = qMax(avatar, kMinIcon);
    const int avatarX = qMax(row.left() + 4, row.left() + (style.offset.x() - avatar) / 2 - 2);
    layout.avatarRect = QRect(avatarX, row.top() + (band - avatar) / 2, avatar, avatar);
    layout.statusIconRect = QRect(layout.avatarRect.right() - kStatusIconSize + 5,
        layout.avatarRect.bottom() - kStatusIconSize + 5, kStatusIconSize, kStatusIconSize);

    const QFontMetrics name(offline ? style.offlineNameFont : style.nameFont);
    const QFontMetrics status(offline ? style.offlineStatusFont : style.statusFont);
    // The name's baseline follows the style's offset, kept inside the band with room for the
    // memo line below it.
    const int lowest = row.top() + 3 + name.ascent();
    const int highest = row.top() + band - 3 - status.height() - name.descent() - 1;
    layout.nameBaseline = qBound(lowest, row.top() + style.offset.y(), qMax(lowest, highest));
    layout.statusBaseline = layout.nameBaseline + name.descent() + 1 + status.ascent();

    if (screenshotSize.width() > 0 && screenshotSize.height() > 0) {
        const int top = layout.statusBaseline + status.descent() + 5;
        const QSize room(layout.textRight - layout.textLeft, row.bottom() - 5 - top + 1);
        if (room.width() >= kMinIcon && room.height() >= kMinIcon) {
            const QSize size = screenshotSize.scaled(room, Qt::KeepAspectRatio);
            layout.thumbnailRect = QRect(QPoint(layout.textLeft, top), size);
        }
    }
    return layout;
}
