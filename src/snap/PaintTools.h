#pragma once

#include "ColorChooser.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QMenu>
#include <QVariant>

#include <functional>
#include <memory>

namespace Ui {
class PaintTools;
}
class QAction;

// The floating tool box of the screen snap: it shows the current tool, pen width and colour
// and owns the tool menu. Every choice leaves as one PAINT_TOOL_COMMAND through ToolAction;
// the snap window hands it to the editor and calls back to keep the menu in step. The tool box
// keeps its own copy of colour, width, highlighter and fill and never sees the editor.
//
// Menu entries are found by their dynamic properties ("toolName"; "ColorName" for colours,
// "WidthTool" for widths), never by caption.
class PaintTools : public QDialog
{
    Q_OBJECT
public:
    // Asks for a pen width starting from `current`; 0 means the member cancelled.
    using WidthChooser = std::function<int(QWidget* parent, const QString& title, int current)>;

    explicit PaintTools(QWidget* parent = nullptr);
    ~PaintTools() override;

    void SetToolText(const QString& name);
    // The first tool-menu entry with this "toolName".
    void SetMenuItemEnabled(const QString& toolName, bool enabled);
    void SetMenuCaption(const QString& caption, const QString& toolName);
    // Every entry with this "toolName".
    void CheckMenu(const QString& toolName, bool checked);
    // Among the drawing entries (pen to crop) the one named gets `checked`, the others the
    // opposite.
    void CheckDrawMenu(const QString& toolName, bool checked);
    bool IsMenuItemChecked(const QString& toolName) const;
    void SetMoveAndResize(bool move, bool resize);

    // The tool menu at a desktop position, kept 2 pixels short of the desktop's right and
    // bottom edges.
    void ShowContextMenu(QPoint pos);
    QMenu& GetContextMenu() { return contextMenu; }

    // Tests answer the colour and width dialogs without blocking.
    void SetColorChooser(ColorChooser chooser);
    void SetWidthChooser(WidthChooser chooser);

    // The colour and width dialogs; a cancelled one keeps what was there and returns an
    // invalid colour or 0.
    QColor GetColor();
    int GetLineWidth();

signals:
    void ToolAction(QVariant command, QVariant arg);
    void OnExit();

public slots:
    void UndoAction();
    void ResetAction();
    void SelectColor(QAction* action);
    void SelectWidth(QAction* action);
    void MoveObject(QAction* action);
    void ResizeLastObject(QAction* action);
    void HighLighterAction();
    void SolidAction();
    void SetArrow();
    void SetPen();
    void SetLine();
    void SetRectangle();
    void SetEllipse();
    void SetText();
    void SetPixelate();
    void SetCallout();
    void CropScreen();
    void HideToolBox();
    void FormatLastObject();
    void DeleteLastObject();
    void ExitConfirm();
    void on_lblCurrentTool_customContextMenuRequested(QPoint pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QAction* AddToContextMenu(const QString& text, bool checkable, bool checked,
        void (PaintTools::*slot)(), const QString& shortcut, const QString& propertyName,
        const QVariant& value);
    void ConstructSelectWidthMenu();
    void ConstructSelectColorMenu();
    void ConstructMoveLastObjectMenu();
    void ConstructSizeLastObject();
    void ConstructMoveOrSizeMenu(QMenu* menu, bool move);
    QAction* FindMenuItem(const QString& toolName) const;
    void SetTool(const QString& name, const QString& toolName, int command, bool move, bool resize);
    void ShowSwatch();
    void ShowWidth();
    void Send(int command, const QVariant& arg = 0);
    QColor ColorToSend() const;

    std::unique_ptr<Ui::PaintTools> ui;
    QColor color;
    int lineWidth = 1;
    bool highlighter = false;
    bool solid = true;
    QMenu contextMenu;
    QMenu* colorMenu;
    QMenu* widthMenu;
    QMenu* moveMenu;
    QMenu* resizeMenu;
    // The drawing entries, pen to crop, with the separators between them.
    QList<QAction*> drawGroup;
    ColorChooser colorChooser = &AskColorFromDialog;
    WidthChooser widthChooser;
};
