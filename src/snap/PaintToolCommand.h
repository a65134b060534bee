#pragma once

// The command number the tool box sends with each choice; the snap window hands the drawing
// commands on to the editor, whose move and size operations take these values too.
enum PAINT_TOOL_COMMAND
{
    PTC_UNDO = 0,
    PTC_RESET = 1,
    PTC_COLOR = 2,
    PTC_WIDTH = 3,
    PTC_HIGHLIGHTER = 4,
    PTC_SOLID = 5,
    PTC_POINTER = 6,
    PTC_PEN = 7,
    PTC_LINE = 8,
    PTC_RECTANGLE = 9,
    PTC_ELLIPSE = 10,
    PTC_TEXT = 11,
    PTC_CALLOUT = 12,
    PTC_BLUR = 13,
    PTC_CROP = 14,
    PTC_MOVE_UP = 15,
    PTC_MOVE_DOWN = 16,
    PTC_MOVE_LEFT = 17,
    PTC_MOVE_RIGHT = 18,
    PTC_DEC_HEIGHT = 19,
    PTC_INC_HEIGHT = 20,
    PTC_DEC_WIDTH = 21,
    PTC_INC_WIDTH = 22,
    PTC_FORMAT_LAST_OBJECT = 23,
    PTC_DELETE_LAST_OBJECT = 24
};
