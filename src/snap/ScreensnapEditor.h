#pragma once

#include "textTool.h"

#include <QColor>
#include <QGraphicsView>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <future>

class ObjectControl;
class QAbstractGraphicsShapeItem;
class QBrushItem;
class QGraphicsEllipseItem;
class QGraphicsLineItem;
class QGraphicsPixmapItem;
class QGraphicsRectItem;
class QMyCalloutItem;
class QMyLineItem;

// The drawing surface of the screen snap: the grabbed picture with the objects drawn over it.
// It keeps the drawn objects for undo, delete, move and resize, blurs and crops areas of the
// picture and renders the finished picture. Scene coordinates are the view's own: it never
// scrolls or scales.
//
// A drag belongs to the press that began it: moves and the release act on the tool and the item
// of that press, whatever tool is chosen meanwhile, and undo, delete and reset end it first.
class ScreensnapEditor : public QGraphicsView
{
    Q_OBJECT
public:
    enum DRAW_MODE
    {
        DRAW_PEN = 0,
        DRAW_LINE = 1,
        DRAW_RECTANGLE = 2,
        DRAW_ELLIPSE = 3,
        DRAW_TEXT = 4,
        DRAW_CALLOUT = 5,
        DRAW_BLUR = 6,
        DRAW_CROP = 7
    };

    struct DRAW_PROPERTY
    {
        QColor color = Qt::red; // alpha included: the highlighter draws translucent
        int width = 1;
    };

    // How far the blur reaches, in pixels.
    static constexpr int blurRadius = 10;

    ScreensnapEditor(QWidget* parent, const QPixmap& picture);
    ~ScreensnapEditor() override;

    void SetCurrentDrawTool(DRAW_MODE mode);
    DRAW_MODE GetCurrentDrawTool() const;
    void SetCurrentDrawProperty(const DRAW_PROPERTY& property);
    DRAW_PROPERTY GetCurrentDrawProperty() const;
    // The arrow heads of the line tool, a QMyLineItem::LINE_MODE; 0 draws a plain line.
    void SetLineFlag(int flag);
    // Rectangles and ellipses are filled with their outline's colour.
    void SetSolid(bool isSolid);

    int GetTotalObject() const;
    bool GetIsScreenCroped() const;

    // Undo and DeleteLastObject both remove the newest object.
    void Undo();
    void DeleteLastObject();
    // Move and resize act on the newest object (PTC_MOVE_UP ... PTC_INC_WIDTH); resizing takes
    // rectangles and ellipses only and keeps their top-left corner.
    void MoveObject(int command, int pixels);
    void ResizeObject(int command, int pixels);
    // Drops every object and shows the whole grabbed picture again; after a crop the window
    // returns to where and how large it was before it, and ScreenCrop(false) tells so.
    void ResetPicture();
    // Opens the object-format dialog in place of one still open.
    void FormatLastObject();
    // The object-format dialog while it is open, else null.
    ObjectControl* GetObjectControl() const;

    // The picture with every drawn object, without the crop frame or a selection in progress.
    // It is made ahead while the drawing rests, so handing it over takes no time.
    QPixmap GetPictureForSaving();

signals:
    // A right click, at the release position in the editor's coordinates.
    void ContextMenuRequest(QPoint pos);
    // A crop was made (true), or a reset undid the crops (false).
    void ScreenCrop(bool crop);

public slots:
    void onTextEditComplete(textTool::TEXT_PROPERTY text, bool isCalloutMode);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void showEvent(QShowEvent* event) override;

private:
    class ShownPicture;
    class EditorOnlyRect;

    void AddGraphicsItem(QGraphicsItem* item);
    void RemoveGraphicsItem(QGraphicsItem* item);
    void StartShape(QAbstractGraphicsShapeItem* shape, QPointF at, const QPen& pen);
    void EndDrag();
    void OpenTextDialog(bool calloutMode);
    void BlurImage();
    bool CropImage();
    QRect SelectedArea() const;
    QSize PictureSize() const;
    void DrawingChanged();
    void PaintObjects(QImage& canvas, const QRect& band);
    bool AheadIsCurrent() const;
    void PaintAhead();
    QImage TakeCanvas();
    QImage ReadyCopy(QImage outdated);
    static QImage CanvasOf(const QImage& shown, QImage outdated);
    void SetPictureSize(QSize size);
    QPen ConstructPen() const;
    static QPen ConstructPenForSelection();

    bool solid = true;
    QPointer<ObjectControl> objectControl;
    bool cropped = false;
    QPixmap grabbedPicture;
    // Where the shown part starts on the grabbed picture, and the window's place before the
    // first crop.
    QPoint cropOffset;
    QRect uncroppedGeometry;

    // The item the current drag draws: at most one is set, and only while drawing.
    QBrushItem* currentBrush = nullptr;
    QGraphicsLineItem* currentLine = nullptr;
    QMyLineItem* currentArrowLine = nullptr;
    QGraphicsRectItem* currentRect = nullptr;
    QGraphicsEllipseItem* currentEllipse = nullptr;
    QMyCalloutItem* currentCallout = nullptr;
    QGraphicsRectItem* selection = nullptr; // blur or crop

    QGraphicsRectItem* cropFrame = nullptr;
    QPointF startPoint;
    QPointF endPoint;
    QPoint selectionStart;
    QPoint selectionEnd;
    QGraphicsScene* scene;
    DRAW_PROPERTY drawProperty;
    DRAW_MODE drawMode = DRAW_PEN;
    bool drawing = false;
    int lineFlag = 0;
    DRAW_MODE pressMode = DRAW_PEN;
    textTool textDialog;
    ShownPicture* background = nullptr;
    // A copy of the shown picture made on a thread of its own, which the next saved picture
    // starts from; the cache key of the picture it copies; the wait after a change to the
    // drawing before the next saved picture is made ahead.
    std::future<QImage> spareCanvas;
    qint64 spareCanvasOf = 0;
    QTimer canvasTimer;
    // The next saved picture, made ahead: the copy with the objects of its first rows painted
    // over it; the shown picture it copies and the drawing's version it shows. Every change to
    // the drawing counts a new version.
    QImage ahead;
    qint64 aheadOf = 0;
    quint64 aheadVersion = 0;
    int aheadRows = 0;
    quint64 drawingVersion = 0;
    QTimer aheadTimer;
    // True while the saved picture is painted: the editor's own rectangles are left out.
    bool paintingSaved = false;
    // The drawn objects, oldest first.
    QList<QGraphicsItem*> objects;
};
