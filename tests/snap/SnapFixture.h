#pragma once

#include "ScreensnapEditor.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QVector>

// Pictures and mouse strokes for the snap editor's tests and benchmark.
namespace SnapFixture {

// The named child of a form; a missing one (renamed in the form) stops the test with its name,
// in release builds too.
template<typename T> T* Part(const QObject& parent, const char* name)
{
    T* child = parent.findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("No child named %s", name);
    return child;
}

template<typename T> T* Part(const QObject* parent, const char* name)
{
    return Part<T>(*parent, name);
}

// Nearly every pixel differs from its neighbours and none is a pure primary colour: red runs
// up x in steps of 7, green rises evenly from 40 at the top to 215 at the bottom, blue is an
// 8-pixel checker board.
inline QImage Pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 7) % 256, 40 + y * 175 / qMax(1, size.height() - 1),
                ((x / 8 + y / 8) % 2) * 255);
    }
    return image;
}

inline void Mouse(
    ScreensnapEditor& editor, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QWidget* viewport = editor.viewport();
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, viewport->mapToGlobal(at),
        type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// Presses at the first point, moves through the others and releases at the last.
inline void Drag(ScreensnapEditor& editor, const QVector<QPoint>& path)
{
    Mouse(editor, QEvent::MouseButtonPress, path.first());
    for (int i = 1; i < path.size(); ++i)
        Mouse(editor, QEvent::MouseMove, path[i]);
    Mouse(editor, QEvent::MouseButtonRelease, path.last());
}

inline void Draw(ScreensnapEditor& editor, ScreensnapEditor::DRAW_MODE tool,
    const QVector<QPoint>& path, QColor color = Qt::red, int width = 1)
{
    editor.SetCurrentDrawTool(tool);
    editor.SetCurrentDrawProperty({ color, width });
    Drag(editor, path);
}

inline QImage Saved(ScreensnapEditor& editor)
{
    return editor.GetPictureForSaving().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace SnapFixture
