#include "ScreensnapEditor.h"

#include "AnnotationItems.h"
#include "ObjectControl.h"
#include "SnapGeometry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QMouseEvent>
#include <QPainter>

#include <chrono>
#include <cstring>
#include <sys/mman.h>
#include <utility>

namespace {

// The crop frame's rectangle is drawn this much short of the view's size, the width of the
// selection pen.
const int cropFrameInset = 3;
const int contrastBackAlpha = 50;
const int canvasDelayMs = 100;
// The saved picture made ahead is painted in bands of this many rows, as many as fit in the
// slice of one turn of the event loop; between slices it waits for the copy it starts from.
const int aheadBandRows = 16;
const qint64 aheadSliceNs = 2'000'000;
const int copyPollMs = 10;

void UnmapCanvas(void* info)
{
    const auto* mapping = static_cast<const std::pair<void*, std::size_t>*>(info);
    munmap(mapping->first, mapping->second);
    delete mapping;
}

} // namespace

// The grabbed picture, the scene's lowest item. A saved picture starts as a copy of its pixels,
// so while the objects are painted over that copy it paints nothing.
class ScreensnapEditor::ShownPicture : public QGraphicsPixmapItem
{
public:
    using QGraphicsPixmapItem::QGraphicsPixmapItem;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override
    {
        if (painted)
            QGraphicsPixmapItem::paint(painter, option, widget);
    }

    bool painted = true;
};

// A rectangle the editor shows to the member that the saved picture leaves out: the crop frame
// and a selection in progress. It is left out at paint time rather than hidden, which would make
// the view repaint all it covers.
class ScreensnapEditor::EditorOnlyRect : public QGraphicsRectItem
{
public:
    explicit EditorOnlyRect(const bool& paintingSaved) : paintingSaved(paintingSaved) { }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override
    {
        if (!paintingSaved)
            QGraphicsRectItem::paint(painter, option, widget);
    }

private:
    const bool& paintingSaved;
};

namespace {

// What an object covers on the scene, its children included: a group's own bounding rectangle
// does not follow the lines its children are given after it was made.
QRectF ObjectArea(const QGraphicsItem* item)
{
    return item->mapRectToScene(item->boundingRect() | item->childrenBoundingRect());
}

} // namespace

ScreensnapEditor::ScreensnapEditor(QWidget* parent, const QPixmap& picture)
    : QGraphicsView(parent), grabbedPicture(picture), scene(new QGraphicsScene(this))
{
    setFrameShape(QFrame::NoFrame);
    setScene(scene);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::NoAnchor);
    setAutoFillBackground(true);
    // The picture covers the whole view: under an opaque one a background fill is never seen,
    // and at 4K it costs every full repaint several milliseconds.
    if (!grabbedPicture.hasAlphaChannel()) {
        viewport()->setAutoFillBackground(false);
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    }
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The objects are few and the one being drawn changes on every mouse move: an index would
    // be rebuilt all the time for nothing.
    scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    background = new ShownPicture(grabbedPicture);
    scene->addItem(background);
    SetPictureSize(grabbedPicture.size());
    canvasTimer.setSingleShot(true);
    canvasTimer.setInterval(canvasDelayMs);
    connect(&canvasTimer, &QTimer::timeout, this, &ScreensnapEditor::PaintAhead);
    canvasTimer.start();
    aheadTimer.setSingleShot(true);
    connect(&aheadTimer, &QTimer::timeout, this, &ScreensnapEditor::PaintAhead);
    connect(&textDialog, &textTool::TextEditCompleted, this, &ScreensnapEditor::onTextEditComplete);
}

ScreensnapEditor::~ScreensnapEditor() = default;

void ScreensnapEditor::SetCurrentDrawTool(DRAW_MODE mode)
{
    drawMode = mode;
}

ScreensnapEditor::DRAW_MODE ScreensnapEditor::GetCurrentDrawTool() const
{
    return drawMode;
}

void ScreensnapEditor::SetCurrentDrawProperty(const DRAW_PROPERTY& property)
{
    drawProperty = property;
}

ScreensnapEditor::DRAW_PROPERTY ScreensnapEditor::GetCurrentDrawProperty() const
{
    return drawProperty;
}

void ScreensnapEditor::SetLineFlag(int flag)
{
    lineFlag = flag;
}

void ScreensnapEditor::SetSolid(bool isSolid)
{
    solid = isSolid;
}

int ScreensnapEditor::GetTotalObject() const
{
    return objects.size();
}

bool ScreensnapEditor::GetIsScreenCroped() const
{
    return cropped;
}

void ScreensnapEditor::Undo()
{
    DeleteLastObject();
}

void ScreensnapEditor::DeleteLastObject()
{
    EndDrag();
    if (!objects.isEmpty())
        RemoveGraphicsItem(objects.takeLast());
    DrawingChanged();
}

void ScreensnapEditor::MoveObject(int command, int pixels)
{
    if (objects.isEmpty())
        return;
    QGraphicsItem* item = objects.last();
    item->setPos(SnapGeometry::MovedPosition(item->pos(), command, pixels));
    DrawingChanged();
}

void ScreensnapEditor::ResizeObject(int command, int pixels)
{
    if (objects.isEmpty())
        return;
    QGraphicsItem* item = objects.last();
    if (auto* rect = qgraphicsitem_cast<QGraphicsRectItem*>(item))
        rect->setRect(SnapGeometry::ResizedRect(rect->rect(), command, pixels));
    else if (auto* ellipse = qgraphicsitem_cast<QGraphicsEllipseItem*>(item))
        ellipse->setRect(SnapGeometry::ResizedRect(ellipse->rect(), command, pixels));
    DrawingChanged();
}

void ScreensnapEditor::ResetPicture()
{
    EndDrag();
    scene->clear();
    objects.clear();
    cropFrame = nullptr;
    background = new ShownPicture(grabbedPicture);
    scene->addItem(background);
    DrawingChanged();
    if (!cropped)
        return;
    cropped = false;
    cropOffset = QPoint();
    SetPictureSize(grabbedPicture.size());
    window()->setGeometry(uncroppedGeometry);
    emit ScreenCrop(false);
}

void ScreensnapEditor::FormatLastObject()
{
    delete objectControl;
    objectControl = new ObjectControl(this);
    objectControl->Init(QPen());
    objectControl->show();
}

ObjectControl* ScreensnapEditor::GetObjectControl() const
{
    return objectControl;
}

// The crop frame and a selection in progress are left out as the objects are painted.
QPixmap ScreensnapEditor::GetPictureForSaving()
{
    const QRect area(QPoint(0, 0), PictureSize());
    QImage picture;
    if (background->pixmap().hasAlphaChannel()) {
        // What the view shows over the view's own background, painted there and then.
        picture = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
        paintingSaved = true;
        viewport()->render(&picture, QPoint(), QRegion(area), QWidget::DrawWindowBackground);
        paintingSaved = false;
    } else if (AheadIsCurrent()) {
        picture = std::exchange(ahead, QImage());
        PaintObjects(picture, QRect(0, aheadRows, area.width(), area.height() - aheadRows));
    } else {
        // An outdated picture made ahead stays: the next one is copied into its memory.
        picture = TakeCanvas();
        PaintObjects(picture, area);
    }
    aheadTimer.stop();
    canvasTimer.start();
    return QPixmap::fromImage(std::move(picture));
}

void ScreensnapEditor::showEvent(QShowEvent* event)
{
    QGraphicsView::showEvent(event);
    canvasTimer.start();
}

// Any change to what the saved picture shows: the picture made ahead no longer holds, and a new
// one is started once the drawing has rested a while.
void ScreensnapEditor::DrawingChanged()
{
    ++drawingVersion;
    aheadTimer.stop();
    canvasTimer.start();
}

// The objects of a band of the picture painted by the view itself over a copy of the shown
// picture, as the view shows them but for what the saved picture leaves out. A band paints the
// same pixels as the whole picture does there: every object is clipped to it.
void ScreensnapEditor::PaintObjects(QImage& canvas, const QRect& band)
{
    if (band.isEmpty())
        return;
    paintingSaved = true;
    background->painted = false;
    viewport()->render(&canvas, band.topLeft(), QRegion(band), {});
    background->painted = true;
    paintingSaved = false;
}

bool ScreensnapEditor::AheadIsCurrent() const
{
    return !ahead.isNull() && aheadVersion == drawingVersion
        && aheadOf == background->pixmap().cacheKey() && ahead.size() == PictureSize();
}

// Makes the next saved picture ahead, while the member looks at the drawing: it waits for the
// copy of the shown picture made on a thread of its own, then paints the objects over it on
// this thread a slice at a time, so no turn of the event loop takes long. It starts a while
// after the picture was shown, changed or saved, so it competes neither with the window's first
// paint nor with the member's drawing, nor runs back to back with a save; a change starts it
// over, and it rests while the member drags or the editor is hidden.
void ScreensnapEditor::PaintAhead()
{
    if (drawing || !isVisible() || background->pixmap().hasAlphaChannel())
        return;
    if (!AheadIsCurrent()) {
        ahead = ReadyCopy(std::exchange(ahead, QImage()));
        if (ahead.isNull()) {
            aheadTimer.start(copyPollMs);
            return;
        }
        aheadOf = background->pixmap().cacheKey();
        aheadVersion = drawingVersion;
        aheadRows = 0;
    }
    QElapsedTimer slice;
    slice.start();
    while (aheadRows < ahead.height() && slice.nsecsElapsed() < aheadSliceNs) {
        const int rows = qMin(aheadBandRows, ahead.height() - aheadRows);
        PaintObjects(ahead, QRect(0, aheadRows, ahead.width(), rows));
        aheadRows += rows;
    }
    if (aheadRows < ahead.height())
        aheadTimer.start(0);
}

// The shown picture's pixels in a picture of their own: the copy made ahead when it is ready and
// still of this picture, else one made now.
QImage ScreensnapEditor::TakeCanvas()
{
    const QPixmap shown = background->pixmap();
    if (spareCanvas.valid()
        && spareCanvas.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        QImage spare = spareCanvas.get();
        if (spareCanvasOf == shown.cacheKey())
            return spare;
    }
    const QImage image = shown.toImage();
    return image.format() == QImage::Format_RGB32 ? image.copy()
                                                  : image.convertToFormat(QImage::Format_RGB32);
}

// The copy of the shown picture made on a thread of its own once it is done; a null picture
// while it is under way, and a copy is started when none is (one of a picture shown before is
// dropped), into the memory of an outdated picture made ahead when it fits. The shown picture is
// never written to: the thread may read it while the view paints it.
QImage ScreensnapEditor::ReadyCopy(QImage outdated)
{
    const QPixmap shown = background->pixmap();
    if (spareCanvas.valid()) {
        if (spareCanvas.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return QImage();
        QImage spare = spareCanvas.get();
        if (spareCanvasOf == shown.cacheKey())
            return spare;
    }
    spareCanvasOf = shown.cacheKey();
    spareCanvas = std::async(std::launch::async, &CanvasOf, shown.toImage(), std::move(outdated));
    return QImage();
}

// What TakeCanvas makes on the GUI thread, made on a thread of its own. It overwrites an
// outdated picture of the same layout, whose pages are already the program's, so a change to the
// drawing costs no fresh memory. Otherwise its memory comes straight from the system and goes
// back with the picture: made on a passing thread, a 4K copy would otherwise stay with that
// thread's allocator when freed.
QImage ScreensnapEditor::CanvasOf(const QImage& shown, QImage outdated)
{
    if (shown.format() != QImage::Format_RGB32)
        return shown.convertToFormat(QImage::Format_RGB32);
    if (outdated.format() == QImage::Format_RGB32 && outdated.size() == shown.size()
        && outdated.bytesPerLine() == shown.bytesPerLine()) {
        std::memcpy(outdated.bits(), shown.constBits(), std::size_t(shown.sizeInBytes()));
        return outdated;
    }
    const std::size_t bytes = std::size_t(shown.sizeInBytes());
    void* memory = bytes
        ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
        : MAP_FAILED;
    if (memory == MAP_FAILED)
        return shown.copy();
    std::memcpy(memory, shown.constBits(), bytes);
    return QImage(static_cast<uchar*>(memory), shown.width(), shown.height(), shown.bytesPerLine(),
        QImage::Format_RGB32, UnmapCanvas, new std::pair<void*, std::size_t>(memory, bytes));
}

void ScreensnapEditor::onTextEditComplete(textTool::TEXT_PROPERTY text, bool isCalloutMode)
{
    QColor back = text.isContrast ? text.backColor : QColor(Qt::transparent);
    back.setAlpha(text.isContrast ? contrastBackAlpha : 0);
    auto* item = new QMyTextItem(
        text.text, QPen(text.textColor), QPen(drawProperty.color), drawProperty.width, QPen(back));
    item->SetTextFont(text.font);
    item->setPos(isCalloutMode ? endPoint : startPoint);
    AddGraphicsItem(item);
}

void ScreensnapEditor::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    EndDrag();
    DrawingChanged();
    drawing = true;
    pressMode = drawMode;
    selectionStart = selectionEnd = event->pos();
    const QPointF at = event->pos();
    const QPen pen = ConstructPen();
    switch (pressMode) {
    case DRAW_PEN:
        currentBrush = new QBrushItem(pen);
        currentBrush->AddPoint(at);
        AddGraphicsItem(currentBrush);
        break;
    case DRAW_LINE:
        if (lineFlag == QMyLineItem::LINE_NO_ARROWS) {
            currentLine = new QStrokeItem;
            currentLine->setPos(at);
            currentLine->setPen(pen);
            startPoint = endPoint = QPointF(0, 0);
            currentLine->setLine(QLineF(startPoint, endPoint));
            AddGraphicsItem(currentLine);
        } else {
            currentArrowLine = new QMyLineItem(pen, QMyLineItem::LINE_MODE(lineFlag));
            startPoint = endPoint = at;
            currentArrowLine->SetLine(QLineF(startPoint, endPoint));
            AddGraphicsItem(currentArrowLine);
        }
        break;
    case DRAW_RECTANGLE:
        currentRect = new QGraphicsRectItem;
        StartShape(currentRect, at, pen);
        break;
    case DRAW_ELLIPSE:
        currentEllipse = new QGraphicsEllipseItem;
        StartShape(currentEllipse, at, pen);
        break;
    case DRAW_TEXT:
        drawing = false;
        startPoint = at;
        OpenTextDialog(false);
        break;
    case DRAW_CALLOUT:
        currentCallout = new QMyCalloutItem(pen, drawProperty.width);
        startPoint = endPoint = at;
        currentCallout->SetLine(QLineF(startPoint, endPoint));
        AddGraphicsItem(currentCallout);
        break;
    case DRAW_BLUR:
    case DRAW_CROP:
        selection = new EditorOnlyRect(paintingSaved);
        selection->setPos(at);
        selection->setPen(ConstructPenForSelection());
        selection->setBrush(QColor(0, 0, 0, 0));
        startPoint = endPoint = QPointF(0, 0);
        scene->addItem(selection);
        break;
    }
}

void ScreensnapEditor::mouseMoveEvent(QMouseEvent* event)
{
    if (!drawing)
        return;
    DrawingChanged();
    const QPointF at = event->pos();
    if (currentBrush) {
        currentBrush->AddPoint(at);
    } else if (currentLine) {
        endPoint = at - currentLine->pos();
        currentLine->setLine(QLineF(startPoint, endPoint));
    } else if (currentArrowLine) {
        endPoint = at;
        currentArrowLine->SetLine(QLineF(startPoint, endPoint));
    } else if (currentRect) {
        endPoint = at - currentRect->pos();
        currentRect->setRect(SnapGeometry::MakeValidRect(startPoint, endPoint));
    } else if (currentEllipse) {
        endPoint = at - currentEllipse->pos();
        currentEllipse->setRect(SnapGeometry::MakeValidRect(startPoint, endPoint));
    } else if (currentCallout) {
        endPoint = at;
        currentCallout->SetLine(QLineF(startPoint, endPoint));
    } else if (selection) {
        selectionEnd = event->pos();
        endPoint = at - selection->pos();
        selection->setRect(SnapGeometry::MakeValidRect(startPoint, endPoint));
    }
}

void ScreensnapEditor::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        emit ContextMenuRequest(event->pos());
    if (event->button() != Qt::LeftButton || !drawing)
        return;
    DrawingChanged();
    const bool callout = currentCallout != nullptr;
    bool croppedNow = false;
    if (selection && pressMode == DRAW_BLUR)
        BlurImage();
    else if (selection && pressMode == DRAW_CROP)
        croppedNow = CropImage();
    EndDrag();
    if (callout)
        OpenTextDialog(true);
    if (croppedNow)
        emit ScreenCrop(true);
}

// The view has no frame and nothing shows focus, so QWidget's handlers would paint the whole
// picture again for nothing (a 4K repaint right after the window first shows); the scene still
// hears of the change.
void ScreensnapEditor::focusInEvent(QFocusEvent* event)
{
    QCoreApplication::sendEvent(scene, event);
}

void ScreensnapEditor::focusOutEvent(QFocusEvent* event)
{
    QCoreApplication::sendEvent(scene, event);
}

// The view never scrolls: scene coordinates stay the widget's.
void ScreensnapEditor::scrollContentsBy(int, int) { }

void ScreensnapEditor::AddGraphicsItem(QGraphicsItem* item)
{
    scene->addItem(item);
    objects.append(item);
    DrawingChanged();
}

void ScreensnapEditor::RemoveGraphicsItem(QGraphicsItem* item)
{
    scene->removeItem(item);
    delete item;
    DrawingChanged();
}

void ScreensnapEditor::StartShape(QAbstractGraphicsShapeItem* shape, QPointF at, const QPen& pen)
{
    shape->setPos(at);
    shape->setPen(pen);
    if (solid)
        shape->setBrush(pen.brush());
    startPoint = endPoint = QPointF(0, 0);
    AddGraphicsItem(shape);
}

void ScreensnapEditor::EndDrag()
{
    drawing = false;
    if (selection)
        RemoveGraphicsItem(selection);
    selection = nullptr;
    currentBrush = nullptr;
    currentLine = nullptr;
    currentArrowLine = nullptr;
    currentRect = nullptr;
    currentEllipse = nullptr;
    currentCallout = nullptr;
}

void ScreensnapEditor::OpenTextDialog(bool calloutMode)
{
    textDialog.Init();
    textDialog.SetTextColor(drawProperty.color);
    if (calloutMode)
        textDialog.SetIsCalloutMode();
    textDialog.show();
}

void ScreensnapEditor::BlurImage()
{
    const QRect area = SelectedArea();
    if (area.isEmpty())
        return;
    const QImage patch = SnapGeometry::BlurredPatch(
        grabbedPicture.toImage(), area.translated(cropOffset), blurRadius);
    auto* item = new QGraphicsPixmapItem(QPixmap::fromImage(patch));
    item->setPos(area.topLeft());
    AddGraphicsItem(item);
}

bool ScreensnapEditor::CropImage()
{
    const QRect area = SelectedArea();
    if (area.isEmpty())
        return false;
    QWidget* snapWindow = window();
    if (!cropped)
        uncroppedGeometry = snapWindow->geometry();
    cropOffset += area.topLeft();
    background->setPixmap(grabbedPicture.copy(QRect(cropOffset, area.size())));
    DrawingChanged();

    // What was drawn inside the area stays on the same spot of the picture.
    const QRectF shown(QPointF(0, 0), area.size());
    for (auto it = objects.begin(); it != objects.end();) {
        (*it)->moveBy(-area.x(), -area.y());
        if (ObjectArea(*it).intersects(shown)) {
            ++it;
        } else {
            RemoveGraphicsItem(*it);
            it = objects.erase(it);
        }
    }

    SetPictureSize(area.size());
    snapWindow->setGeometry(QRect(uncroppedGeometry.topLeft() + cropOffset, area.size()));
    if (!cropFrame) {
        cropFrame = new EditorOnlyRect(paintingSaved);
        cropFrame->setPen(ConstructPenForSelection());
        cropFrame->setBrush(QColor(0, 0, 0, 0));
        scene->addItem(cropFrame);
    }
    cropFrame->setRect(0, 0, area.width() - cropFrameInset, area.height() - cropFrameInset);
    snapWindow->raise();
    cropped = true;
    return true;
}

QRect ScreensnapEditor::SelectedArea() const
{
    return SnapGeometry::ClampSelection(
        SnapGeometry::MakeValidRect(selectionStart, selectionEnd), PictureSize());
}

QSize ScreensnapEditor::PictureSize() const
{
    return background->pixmap().size();
}

void ScreensnapEditor::SetPictureSize(QSize size)
{
    scene->setSceneRect(QRectF(QPointF(0, 0), size));
    resize(size);
    DrawingChanged();
}

QPen ScreensnapEditor::ConstructPen() const
{
    return QPen(
        QBrush(drawProperty.color), drawProperty.width, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
}

QPen ScreensnapEditor::ConstructPenForSelection()
{
    return QPen(QBrush(Qt::black), 3.0, Qt::DashDotLine, Qt::SquareCap, Qt::BevelJoin);
}
