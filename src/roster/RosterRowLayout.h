#pragma once

#include "ListWidgetManager.h"

#include <QRect>
#include <QSize>

// Where the parts of a member row go. The painter draws into these rectangles and the
// click test uses the same ones, so a button is hit exactly where it is drawn.
struct RosterRowLayout
{
    QRect avatarRect;
    QRect statusIconRect; // over the avatar's lower right corner
    QRect chatButtonRect;
    QRect diaryButtonRect;
    QRect menuButtonRect;
    QRect thumbnailRect; // empty unless a screenshot is shown
    int textLeft = 0;
    int textRight = 0;
    int nameBaseline = 0;
    int statusBaseline = 0;

    // `screenshotSize` is the size of the screenshot to show, invalid for none.
    static RosterRowLayout ForMember(const QRect& row,
        const ListWidgetManager::ListWidgetItem_Style& style, bool offline,
        const QSize& screenshotSize);
};
