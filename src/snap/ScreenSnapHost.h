#pragma once

#include <QString>

#include <functional>

// What the snap windows ask of the window that opens them: its preferences dialog, and a text
// notice in its popup, which outlives the snap window. The snap windows own neither, so they
// need nothing of the main window's folder; an empty call shows nothing.
struct ScreenSnapHost
{
    std::function<void()> showPreferences;
    // The captions are the member's and the team's names the snap was taken with.
    std::function<void(const QString& caption1, const QString& caption2, const QString& text)>
        showNotice;
};
