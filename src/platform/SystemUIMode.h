#pragma once

class QWidget;

// The user-interface modes of the screen-snap window.
enum SYSTEM_UI_MODE
{
    kUIModeNormal = 0,
    // The window covers its display above the desktop's panels.
    kUIModeAllHidden = 3
};

// Puts the window into the mode: kUIModeAllHidden makes a window that covers one display exactly
// full screen, above the desktop's panels; any other window keeps its geometry and is only
// raised. kUIModeNormal gives it its normal state back. Other modes and the options change
// nothing.
void SetSystemUIMode(int mode, int options, QWidget* window);
