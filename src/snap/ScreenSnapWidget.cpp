#include "ScreenSnapWidget.h"

#include "ObjectControl.h"
#include "PaintToolCommand.h"
#include "ScreenSnapSaveDialog.h"
#include "ScreensnapEditor.h"
#include "SystemUIMode.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QWindow>

namespace {

const int timerIntervalMs = 250;
const int frameWidth = 6;
// How long the window waits at most for the save dialog to come up before it goes.
const int putAwayLimitMs = 300;

const char* const toolNames[]
    = { "pen", "line", "rectangle", "ellipse", "text", "callout", "blur", "crop" };

} // namespace

ScreenSnapWidget::ScreenSnapWidget(QWidget* parent, QPixmap picture, QString name, QString company,
    int id, ScreenSnapHost snapHost)
    : QWidget(parent), toolBox(nullptr), host(std::move(snapHost))
{
    setWindowFlags(Qt::FramelessWindowHint);
    // What task bars and window lists show for the frameless window.
    setWindowTitle(tr("Movarelquintash ScreenSnap"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(picture.size());
    editor = new ScreensnapEditor(this, picture);
    editor->setAutoFillBackground(true);
    editor->SetCurrentDrawProperty({ Qt::red, 1 });
    editor->SetCurrentDrawTool(ScreensnapEditor::DRAW_PEN);

    blinkTimer.setInterval(timerIntervalMs);
    connect(&blinkTimer, &QTimer::timeout, this, &ScreenSnapWidget::OnTimer);
    blinkTimer.start();
    undoCheckTimer.setInterval(timerIntervalMs);
    connect(&undoCheckTimer, &QTimer::timeout, this, &ScreenSnapWidget::UndoChangeRequest);
    putAwayTimer.setSingleShot(true);
    connect(&putAwayTimer, &QTimer::timeout, this, &ScreenSnapWidget::PutAway);

    connect(&toolBox, &PaintTools::ToolAction, this, &ScreenSnapWidget::ToolAction);
    connect(&toolBox, &PaintTools::OnExit, this, &QWidget::close);
    connect(
        editor, &ScreensnapEditor::ContextMenuRequest, this, &ScreenSnapWidget::ContextMenuRequest);
    connect(editor, &ScreensnapEditor::ScreenCrop, this, &ScreenSnapWidget::ScreenCrop);

    editor->installEventFilter(this);
    toolBox.installEventFilter(this);
    closeForGood = false;
    userName = std::move(name);
    userCompany = std::move(company);
    companyId = id;
}

// The save dialog goes with the window; the tool box and the editor are its members and child.
ScreenSnapWidget::~ScreenSnapWidget()
{
    delete saveDialog;
}

void ScreenSnapWidget::showEvent(QShowEvent* event)
{
    SetSystemUIMode(kUIModeAllHidden, 0, this);
    // The picture takes the keys as soon as this window is active.
    editor->setFocus(Qt::OtherFocusReason);
    // This window is mapped only after its show event: a window manager knows the tool box for
    // its transient only when the window is mapped before the tool box.
    QMetaObject::invokeMethod(this, &ScreenSnapWidget::ShowToolBox, Qt::QueuedConnection);
    undoCheckTimer.start();
    event->accept();
}

// Window managers keep a window's transients above it, full screen or not, whichever of the two
// has the focus.
void ScreenSnapWidget::ShowToolBox()
{
    if (!isVisible())
        return;
    toolBox.winId();
    toolBox.windowHandle()->setTransientParent(windowHandle());
    toolBox.show();
    toolBox.setWindowState(Qt::WindowActive);
    toolBox.setFocus(Qt::OtherFocusReason);
}

void ScreenSnapWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setPen(QPen(Qt::green, frameWidth, blinkState ? Qt::DashLine : Qt::DashDotLine));
    const int w = width();
    const int h = height();
    painter.drawLine(0, 0, w, 0);
    painter.drawLine(0, 0, 0, h);
    painter.drawLine(w, 0, w, h);
    painter.drawLine(0, h, w, h);
    QWidget::paintEvent(event);
}

void ScreenSnapWidget::OnTimer()
{
    blinkState = !blinkState;
    // Only the frame changes: the picture under it is not drawn again.
    const QRect all = rect();
    const int edge = frameWidth / 2 + 1;
    QRegion frame(all);
    frame -= all.adjusted(edge, edge, -edge, -edge);
    repaint(frame);
}

void ScreenSnapWidget::UndoChangeRequest()
{
    const bool anyObject = editor->GetTotalObject() >= 1;
    toolBox.SetMenuItemEnabled(QStringLiteral("deleteLastObject"), anyObject);
    toolBox.SetMenuItemEnabled(QStringLiteral("undoTool"), anyObject);
}

void ScreenSnapWidget::ScreenCrop(bool val)
{
    // A crop moved and shrank the window, a reset brought it back; a window manager keeps a
    // full-screen window as it is, so full screen is left for the new geometry and taken again
    // only where the window covers a display.
    const QRect wanted = geometry();
    SetSystemUIMode(kUIModeNormal, 0, this);
    // The widget and its native window already hold the new geometry, which the window
    // manager turned down while the window was full screen: asked for anew (through another
    // size, as asking for the geometry held is no request), it arrives after the state change.
    if (QWindow* handle = windowHandle()) {
        handle->setGeometry(QRect(wanted.topLeft(), wanted.size() + QSize(1, 1)));
        handle->setGeometry(wanted);
    }
    SetSystemUIMode(kUIModeAllHidden, 0, this);
    toolBox.SetMenuItemEnabled(QStringLiteral("crop"), !val);
    toolBox.SetPen();
}

void ScreenSnapWidget::ContextMenuRequest(QPoint pos)
{
    // After a crop the window no longer sits at the desktop's origin.
    if (editor->GetIsScreenCroped())
        pos += QPoint(x(), y());
    toolBox.ShowContextMenu(pos);
}

void ScreenSnapWidget::ToolAction(QVariant action, QVariant arg)
{
    const int command = action.toInt();
    switch (command) {
    case PTC_UNDO:
        editor->Undo();
        break;
    case PTC_RESET:
        editor->ResetPicture();
        break;
    case PTC_COLOR: {
        ScreensnapEditor::DRAW_PROPERTY property = editor->GetCurrentDrawProperty();
        property.color = arg.value<QColor>();
        editor->SetCurrentDrawProperty(property);
        break;
    }
    case PTC_WIDTH: {
        ScreensnapEditor::DRAW_PROPERTY property = editor->GetCurrentDrawProperty();
        property.width = arg.toInt();
        editor->SetCurrentDrawProperty(property);
        break;
    }
    case PTC_SOLID:
        editor->SetSolid(arg.toBool());
        break;
    case PTC_PEN:
    case PTC_LINE:
    case PTC_RECTANGLE:
    case PTC_ELLIPSE:
    case PTC_TEXT:
    case PTC_CALLOUT:
    case PTC_BLUR:
    case PTC_CROP:
        editor->SetCurrentDrawTool(ScreensnapEditor::DRAW_MODE(command - PTC_PEN));
        if (command == PTC_LINE)
            editor->SetLineFlag(arg.toInt());
        toolBox.SetToolText(QString::fromLatin1(toolNames[command - PTC_PEN]));
        break;
    case PTC_MOVE_UP:
    case PTC_MOVE_DOWN:
    case PTC_MOVE_LEFT:
    case PTC_MOVE_RIGHT:
        editor->MoveObject(command, arg.toInt());
        break;
    case PTC_DEC_HEIGHT:
    case PTC_INC_HEIGHT:
    case PTC_DEC_WIDTH:
    case PTC_INC_WIDTH:
        editor->ResizeObject(command, arg.toInt());
        break;
    case PTC_FORMAT_LAST_OBJECT:
        editor->FormatLastObject();
        break;
    case PTC_DELETE_LAST_OBJECT:
        editor->DeleteLastObject();
        break;
    default: // the highlighter's colour follows as PTC_COLOR; the pointer is no tool here
        break;
    }
}

bool ScreenSnapWidget::eventFilter(QObject* watched, QEvent* event)
{
    // The tool box had the keyboard; hidden while drawing goes on, it hands it to the picture,
    // so the keys keep working.
    if (watched == &toolBox && event->type() == QEvent::Hide && isVisible() && !closing) {
        activateWindow();
        editor->setFocus(Qt::OtherFocusReason);
    }
    if (watched == editor)
        FollowKeys(event);
    if (watched == saveDialog)
        FollowSaveDialog(event);
    return QWidget::eventFilter(watched, event);
}

// The window goes once the save dialog has been painted and has the keyboard, at the next turn,
// when that paint has been sent: what the dialog's coming up asks of the display server is then
// answered at once, and its drawing again for the keyboard is done too.
void ScreenSnapWidget::FollowSaveDialog(QEvent* event)
{
    if (!putAwayTimer.isActive())
        return;
    if (event->type() == QEvent::Paint)
        saveDialogPainted = true;
    else if (event->type() != QEvent::WindowActivate)
        return;
    if (saveDialogPainted && saveDialog->isActiveWindow())
        putAwayTimer.start(0);
}

// A key acts when it is released on the picture, and only when it was pressed there too. A press
// that the tool menu, a dialog or the tool box took has done its work there (Escape closed the
// menu, D hid the tool box); its release, which reaches the picture once they are gone, must not
// act a second time. Held down, a key acts once.
void ScreenSnapWidget::FollowKeys(QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        keysDown.clear();
        return;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat())
        return;
    if (event->type() == QEvent::KeyPress) {
        keysDown.insert(key->key());
        return;
    }
    event->accept();
    if (keysDown.remove(key->key()))
        PaintToolsHotkeysHandler(key->key(), int(key->modifiers()));
}

// The tools are chosen through the tool box, as its menu entries choose them, so its label and
// the menu's ticks show the tool in use whichever way it was chosen.
void ScreenSnapWidget::PaintToolsHotkeysHandler(int key, int modifiers)
{
    const bool ctrl = modifiers == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_C:
        toolBox.SetCallout();
        break;
    case Qt::Key_D:
        toolBox.HideToolBox();
        break;
    case Qt::Key_E:
        toolBox.SetEllipse();
        break;
    case Qt::Key_H:
        toolBox.HighLighterAction();
        break;
    case Qt::Key_L:
        toolBox.SetLine();
        break;
    case Qt::Key_P:
        toolBox.SetPen();
        break;
    case Qt::Key_R:
        if (ctrl)
            ToolAction(PTC_RESET, 0);
        else
            toolBox.SetRectangle();
        break;
    case Qt::Key_S:
        toolBox.SolidAction();
        break;
    case Qt::Key_T:
        toolBox.SetText();
        break;
    case Qt::Key_Z:
        if (ctrl)
            ToolAction(PTC_UNDO, 0);
        break;
    case Qt::Key_Delete:
        toolBox.DeleteLastObject();
        break;
    case Qt::Key_Escape:
        if (ObjectControl* format = editor->GetObjectControl(); format && format->isVisible())
            format->close();
        close();
        break;
    default:
        break;
    }
}

void ScreenSnapWidget::closeEvent(QCloseEvent* event)
{
    closing = true;
    toolBox.hide();
    closing = false;
    if (closeForGood) {
        putAwayTimer.stop();
        SetSystemUIMode(kUIModeNormal, 0, this);
        event->accept();
        return;
    }
    HandOver();
    event->ignore();
}

// The finished picture goes to a new save dialog; the window, the editor and the drawing stay,
// hidden, in case the member draws on. The window goes only once the dialog is painted over it:
// taking a whole desktop's window away keeps the display server busy redrawing what was under
// it, and the dialog's own coming up would wait for that at every step.
void ScreenSnapWidget::HandOver()
{
    const QPixmap picture = editor->GetPictureForSaving();
    delete saveDialog;
    saveDialog = new ScreenSnapSaveDialog(picture, host, nullptr);
    connect(
        saveDialog, &ScreenSnapSaveDialog::ScreenIsReady, this, &ScreenSnapWidget::ScreenIsReady);
    saveDialog->SetUserName(userName);
    saveDialog->SetUserCompany(userCompany);
    connect(saveDialog, &ScreenSnapSaveDialog::ScreenDiscarded, this,
        &ScreenSnapWidget::OnCloseRequest);
    connect(
        saveDialog, &ScreenSnapSaveDialog::ScreenSaved, this, &ScreenSnapWidget::OnCloseRequest);
    connect(saveDialog, &ScreenSnapSaveDialog::ScreenDrawRequest, this,
        &ScreenSnapWidget::OnDrawRequest);
    saveDialog->installEventFilter(this);
    saveDialogPainted = false;
    putAwayTimer.start(putAwayLimitMs);
    saveDialog->showNormal();
}

void ScreenSnapWidget::PutAway()
{
    putAwayTimer.stop();
    if (!isVisible())
        return;
    SetSystemUIMode(kUIModeNormal, 0, this);
    hide();
}

void ScreenSnapWidget::OnCloseRequest()
{
    closeForGood = true;
    close();
}

// Shown anew, so it takes the whole screen and its tool box again, even when the member chose to
// draw on before it was put away.
void ScreenSnapWidget::OnDrawRequest()
{
    PutAway();
    showNormal();
}

void ScreenSnapWidget::ScreenIsReady(
    QString title, QString desc, int permission, QString password, QByteArray rawPicture)
{
    emit screenIsReady(title, desc, permission, password, rawPicture);
}
