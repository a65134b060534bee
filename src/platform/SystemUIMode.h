#pragma once

class QWidget;

// The user-interface modes of the screen-snap window.
enum SYSTEM_UI_MODE
{
    kUIModeNormal = 0,
    // The window covers its display above the desktop's panels.
    kUIModeAllHidden = 3
};

// Puts the window into the mode: kUIModeAllHidden makes it full screen (a window spanning several
// displays keeps its geometry and is only raised, full screen would crop it to one display);
// kUIModeNormal gives it its normal state back. Other modes and the options change nothing.
void SetSystemUIMode(int mode, int options, QWidget* window);
