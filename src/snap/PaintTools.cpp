#include "PaintTools.h"

#include "AnnotationItems.h"
#include "FormFit.h"
#include "PaintToolCommand.h"
#include "ui_PaintTools.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMouseEvent>
#include <QScreen>

namespace {

const char* const toolNameKey = "toolName";
const char* const colorNameKey = "ColorName";
const char* const widthKey = "WidthTool";
const int highlighterAlpha = 75;
const int maxLineWidth = 70;
const int menuWidths = 10;
const int entriesPerMenu = 8; // a separator after the fourth

struct MoveOrSizeEntry
{
    const char* caption;
    const char* key;
    int command;
    int pixels;
};

const MoveOrSizeEntry moveEntries[entriesPerMenu] = {
    { QT_TRANSLATE_NOOP("PaintTools", "Move up (5 px)"), "up5px", PTC_MOVE_UP, 5 },
    { QT_TRANSLATE_NOOP("PaintTools", "Move down (5 px)"), "down5px", PTC_MOVE_DOWN, 5 },
    { QT_TRANSLATE_NOOP("PaintTools", "Move left (5 px)"), "left5px", PTC_MOVE_LEFT, 5 },
    { QT_TRANSLATE_NOOP("PaintTools", "Move right (5 px)"), "right5px", PTC_MOVE_RIGHT, 5 },
    { QT_TRANSLATE_NOOP("PaintTools", "Move up (1 px)"), "up1px", PTC_MOVE_UP, 1 },
    { QT_TRANSLATE_NOOP("PaintTools", "Move down (1 px)"), "down1px", PTC_MOVE_DOWN, 1 },
    { QT_TRANSLATE_NOOP("PaintTools", "Move left (1 px)"), "left1px", PTC_MOVE_LEFT, 1 },
    { QT_TRANSLATE_NOOP("PaintTools", "Move right (1 px)"), "right1px", PTC_MOVE_RIGHT, 1 },
};

const MoveOrSizeEntry sizeEntries[entriesPerMenu] = {
    { QT_TRANSLATE_NOOP("PaintTools", "Decrease height (5 px)"), "decHeight5px", PTC_DEC_HEIGHT,
        5 },
    { QT_TRANSLATE_NOOP("PaintTools", "Increase height (5 px)"), "incHeight5px", PTC_INC_HEIGHT,
        5 },
    { QT_TRANSLATE_NOOP("PaintTools", "Decrease width (5 px)"), "decWidth5px", PTC_DEC_WIDTH, 5 },
    { QT_TRANSLATE_NOOP("PaintTools", "Increase width (5 px)"), "incWidth5px", PTC_INC_WIDTH, 5 },
    { QT_TRANSLATE_NOOP("PaintTools", "Decrease height (1 px)"), "decHeight1px", PTC_DEC_HEIGHT,
        1 },
    { QT_TRANSLATE_NOOP("PaintTools", "Increase height (1 px)"), "incHeight1px", PTC_INC_HEIGHT,
        1 },
    { QT_TRANSLATE_NOOP("PaintTools", "Decrease width (1 px)"), "decWidth1px", PTC_DEC_WIDTH, 1 },
    { QT_TRANSLATE_NOOP("PaintTools", "Increase width (1 px)"), "incWidth1px", PTC_INC_WIDTH, 1 },
};

// Entries carry a key, and what a move or size entry sends is found from it.
const MoveOrSizeEntry* FindEntry(const QString& key)
{
    for (const auto* entries : { moveEntries, sizeEntries }) {
        for (int i = 0; i < entriesPerMenu; ++i) {
            if (key == QLatin1String(entries[i].key))
                return &entries[i];
        }
    }
    return nullptr;
}

int AskWidthFromDialog(QWidget* parent, const QString& title, int current)
{
    bool ok = false;
    const int width = QInputDialog::getInt(
        parent, title, PaintTools::tr("Tool width"), current, 1, maxLineWidth, 1, &ok);
    return ok ? width : 0;
}

} // namespace

PaintTools::PaintTools(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PaintTools>()), widthChooser(&AskWidthFromDialog)
{
    ui->setupUi(this);
    FormFit::Fit(this);
    contextMenu.clear();
    colorMenu = new QMenu(tr("Color"), this);
    widthMenu = new QMenu(tr("Width"), this);
    moveMenu = new QMenu(tr("Move last object"), this);
    resizeMenu = new QMenu(tr("Resize last object"), this);

    AddToContextMenu(tr("Undo"), false, false, &PaintTools::UndoAction, QStringLiteral("Ctrl+Z"),
        toolNameKey, QStringLiteral("undoTool"));
    AddToContextMenu(tr("Reset"), false, false, &PaintTools::ResetAction, QStringLiteral("Ctrl+R"),
        toolNameKey, QStringLiteral("resetTool"));
    contextMenu.addSeparator();
    ConstructSelectWidthMenu();
    ConstructSelectColorMenu();
    contextMenu.addSeparator();
    AddToContextMenu(tr("Highlighter"), true, false, &PaintTools::HighLighterAction,
        QStringLiteral("H"), toolNameKey, QStringLiteral("highlighter"));
    AddToContextMenu(tr("Solid"), true, true, &PaintTools::SolidAction, QStringLiteral("S"),
        toolNameKey, QStringLiteral("solid"));
    contextMenu.addSeparator();
    AddToContextMenu(tr("Starting arrow"), true, false, &PaintTools::SetLine, QString(),
        toolNameKey, QStringLiteral("startArrow"));
    AddToContextMenu(tr("Ending arrow"), true, false, &PaintTools::SetLine, QString(), toolNameKey,
        QStringLiteral("endArrow"));
    contextMenu.addSeparator();
    drawGroup << AddToContextMenu(tr("Pen"), true, true, &PaintTools::SetPen, QStringLiteral("P"),
        toolNameKey, QStringLiteral("pen"));
    drawGroup << AddToContextMenu(tr("Line"), true, false, &PaintTools::SetLine,
        QStringLiteral("L"), toolNameKey, QStringLiteral("line"));
    drawGroup << AddToContextMenu(tr("Rectangle"), true, false, &PaintTools::SetRectangle,
        QStringLiteral("R"), toolNameKey, QStringLiteral("rect"));
    drawGroup << AddToContextMenu(tr("Ellipse"), true, false, &PaintTools::SetEllipse,
        QStringLiteral("E"), toolNameKey, QStringLiteral("ellipse"));
    drawGroup << AddToContextMenu(tr("Text"), true, false, &PaintTools::SetText,
        QStringLiteral("T"), toolNameKey, QStringLiteral("textTool"));
    drawGroup << AddToContextMenu(tr("Callout"), true, false, &PaintTools::SetCallout,
        QStringLiteral("C"), toolNameKey, QStringLiteral("callout"));
    drawGroup << contextMenu.addSeparator();
    drawGroup << AddToContextMenu(tr("Blur"), true, false, &PaintTools::SetPixelate, QString(),
        toolNameKey, QStringLiteral("blurTool"));
    drawGroup << AddToContextMenu(tr("Crop"), false, false, &PaintTools::CropScreen, QString(),
        toolNameKey, QStringLiteral("crop"));
    contextMenu.addSeparator();
    AddToContextMenu(tr("Hide toolbox"), false, false, &PaintTools::HideToolBox,
        QStringLiteral("D"), toolNameKey, QStringLiteral("toolBox"));
    contextMenu.addSeparator();
    ConstructMoveLastObjectMenu();
    ConstructSizeLastObject();
    AddToContextMenu(tr("Delete last object"), false, false, &PaintTools::DeleteLastObject,
        QStringLiteral("Delete"), toolNameKey, QStringLiteral("deleteLastObject"))
        ->setEnabled(false);
    contextMenu.addSeparator();
    AddToContextMenu(tr("Exit"), false, false, &PaintTools::ExitConfirm, QStringLiteral("Esc"),
        toolNameKey, QStringLiteral("exit"));
    SetMoveAndResize(false, false);

    lineWidth = 1;
    color = Qt::red;
    ShowSwatch();
    SetPen();

    connect(colorMenu, &QMenu::triggered, this, &PaintTools::SelectColor);
    connect(widthMenu, &QMenu::triggered, this, &PaintTools::SelectWidth);
    connect(moveMenu, &QMenu::triggered, this, &PaintTools::MoveObject);
    connect(resizeMenu, &QMenu::triggered, this, &PaintTools::ResizeLastObject);

    highlighter = false;
    solid = false;
    SolidAction();

    ui->lblCurrentColor->installEventFilter(this);
    ui->lblCurrentTool->installEventFilter(this);
    ui->lblCurrentLineWidth->installEventFilter(this);
    // The keys the menu shows also act while the tool box itself has the keyboard (it takes
    // it when shown); while the picture has it, the snap window acts on them.
    addActions(contextMenu.actions());
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
}

PaintTools::~PaintTools() = default;

QAction* PaintTools::AddToContextMenu(const QString& text, bool checkable, bool checked,
    void (PaintTools::*slot)(), const QString& shortcut, const QString& propertyName,
    const QVariant& value)
{
    QAction* action = contextMenu.addAction(text, this, slot, QKeySequence(shortcut));
    action->setCheckable(checkable);
    action->setChecked(checked);
    action->setProperty(propertyName.toLatin1().constData(), value);
    return action;
}

void PaintTools::ConstructSelectWidthMenu()
{
    widthMenu->clear();
    for (int width = 1; width <= menuWidths; ++width) {
        QAction* action = widthMenu->addAction(tr("%1 px").arg(width));
        action->setCheckable(true);
        action->setChecked(width == 1);
        action->setProperty(widthKey, width);
    }
    widthMenu->addSeparator();
    widthMenu->addAction(tr("Select..."));
    contextMenu.addMenu(widthMenu);
}

void PaintTools::ConstructSelectColorMenu()
{
    colorMenu->clear();
    const QPair<QString, QString> colors[] = { { tr("Red"), QStringLiteral("#FF0000") },
        { tr("Green"), QStringLiteral("#00FF00") }, { tr("Yellow"), QStringLiteral("#FFFF00") },
        { tr("White"), QStringLiteral("#FFFFFF") }, { tr("Black"), QStringLiteral("#000000") } };
    for (const auto& [caption, name] : colors) {
        QAction* action = colorMenu->addAction(caption);
        action->setCheckable(true);
        action->setChecked(name == QLatin1String("#FF0000"));
        action->setProperty(colorNameKey, name);
    }
    colorMenu->addSeparator();
    colorMenu->addAction(tr("Select..."));
    contextMenu.addMenu(colorMenu);
}

void PaintTools::ConstructMoveLastObjectMenu()
{
    ConstructMoveOrSizeMenu(moveMenu, true);
}

void PaintTools::ConstructSizeLastObject()
{
    ConstructMoveOrSizeMenu(resizeMenu, false);
}

void PaintTools::ConstructMoveOrSizeMenu(QMenu* menu, bool move)
{
    menu->clear();
    const MoveOrSizeEntry* entries = move ? moveEntries : sizeEntries;
    for (int i = 0; i < entriesPerMenu; ++i) {
        if (i == entriesPerMenu / 2)
            menu->addSeparator();
        QAction* action = menu->addAction(tr(entries[i].caption));
        action->setProperty(toolNameKey, QString::fromLatin1(entries[i].key));
    }
    contextMenu.addMenu(menu);
}

void PaintTools::SetToolText(const QString& name)
{
    ui->lblCurrentTool->setText(tr("Tool: ") + name);
}

QAction* PaintTools::FindMenuItem(const QString& toolName) const
{
    const QList<QAction*> actions = contextMenu.actions();
    for (QAction* action : actions) {
        if (action->property(toolNameKey).toString() == toolName)
            return action;
    }
    return nullptr;
}

void PaintTools::SetMenuItemEnabled(const QString& toolName, bool enabled)
{
    if (QAction* action = FindMenuItem(toolName))
        action->setEnabled(enabled);
}

void PaintTools::SetMenuCaption(const QString& caption, const QString& toolName)
{
    if (QAction* action = FindMenuItem(toolName))
        action->setText(caption);
}

void PaintTools::CheckMenu(const QString& toolName, bool checked)
{
    const QList<QAction*> actions = contextMenu.actions();
    for (QAction* action : actions) {
        if (action->property(toolNameKey).toString() == toolName)
            action->setChecked(checked);
    }
}

void PaintTools::CheckDrawMenu(const QString& toolName, bool checked)
{
    for (QAction* action : qAsConst(drawGroup)) {
        const bool named = action->property(toolNameKey).toString() == toolName;
        action->setChecked(named ? checked : !checked);
    }
}

bool PaintTools::IsMenuItemChecked(const QString& toolName) const
{
    const QAction* action = FindMenuItem(toolName);
    return action && action->isChecked();
}

void PaintTools::SetMoveAndResize(bool move, bool resize)
{
    moveMenu->menuAction()->setEnabled(move);
    resizeMenu->menuAction()->setEnabled(resize);
}

void PaintTools::ShowContextMenu(QPoint pos)
{
    // The menu's size before it was ever shown is its size hint.
    const QSize menu = contextMenu.sizeHint();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize desktop = screen ? screen->virtualSize() : QSize();
    if (pos.x() + menu.width() > desktop.width())
        pos.setX(desktop.width() - menu.width() - 2);
    if (pos.y() + menu.height() > desktop.height())
        pos.setY(desktop.height() - menu.height() - 2);
    contextMenu.move(pos);
    contextMenu.setVisible(true);
}

void PaintTools::SetColorChooser(ColorChooser chooser)
{
    colorChooser = std::move(chooser);
}

void PaintTools::SetWidthChooser(WidthChooser chooser)
{
    widthChooser = std::move(chooser);
}

QColor PaintTools::GetColor()
{
    const QColor chosen = colorChooser(Qt::white, this);
    if (!chosen.isValid())
        return chosen;
    color = chosen;
    ShowSwatch();
    return ColorToSend();
}

int PaintTools::GetLineWidth()
{
    const int chosen = widthChooser(this, tr("Tessivanor ScreenSnap"), lineWidth);
    if (chosen > 0) {
        lineWidth = chosen;
        ShowWidth();
    }
    return chosen;
}

void PaintTools::ShowSwatch()
{
    ui->lblCurrentColor->setStyleSheet(QStringLiteral("background-color: rgb(%1, %2, %3)")
                                           .arg(color.red())
                                           .arg(color.green())
                                           .arg(color.blue()));
}

void PaintTools::ShowWidth()
{
    ui->lblCurrentLineWidth->setText(tr("%1 px").arg(lineWidth));
}

void PaintTools::Send(int command, const QVariant& arg)
{
    emit ToolAction(command, arg);
}

QColor PaintTools::ColorToSend() const
{
    QColor sent = color;
    sent.setAlpha(highlighter ? highlighterAlpha : 255);
    return sent;
}

void PaintTools::UndoAction()
{
    Send(PTC_UNDO);
}

void PaintTools::ResetAction()
{
    SetMenuItemEnabled(QStringLiteral("undoTool"), false);
    SetMoveAndResize(false, false);
    Send(PTC_RESET);
}

void PaintTools::SelectColor(QAction* action)
{
    const QString name = action->property(colorNameKey).toString();
    QColor chosen(name);
    if (name.isEmpty()) {
        // A cancelled dialog leaves the colour and the marks as they were.
        chosen = colorChooser(Qt::white, this);
        if (!chosen.isValid())
            return;
    }
    const QList<QAction*> entries = colorMenu->actions();
    for (QAction* entry : entries)
        entry->setChecked(false);
    action->setChecked(action->isCheckable());
    color = chosen;
    color.setAlpha(255);
    ShowSwatch();
    Send(PTC_COLOR, ColorToSend());
}

void PaintTools::SelectWidth(QAction* action)
{
    int width = action->property(widthKey).toInt();
    if (width == 0) {
        // A cancelled dialog leaves the width and the marks as they were.
        width = widthChooser(this, tr("Movarelquintash ScreenSnap"), lineWidth);
        if (width <= 0)
            return;
    }
    const QList<QAction*> entries = widthMenu->actions();
    for (QAction* entry : entries)
        entry->setChecked(false);
    action->setChecked(action->isCheckable());
    lineWidth = width;
    ShowWidth();
    Send(PTC_WIDTH, lineWidth);
}

void PaintTools::MoveObject(QAction* action)
{
    if (const MoveOrSizeEntry* entry = FindEntry(action->property(toolNameKey).toString()))
        Send(entry->command, entry->pixels);
}

void PaintTools::ResizeLastObject(QAction* action)
{
    MoveObject(action);
}

void PaintTools::HighLighterAction()
{
    highlighter = !highlighter;
    color.setAlpha(highlighter ? highlighterAlpha : 255);
    CheckMenu(QStringLiteral("highlighter"), highlighter);
    Send(PTC_HIGHLIGHTER, highlighter);
    Send(PTC_COLOR, color);
}

void PaintTools::SolidAction()
{
    solid = !solid;
    CheckMenu(QStringLiteral("solid"), solid);
    Send(PTC_SOLID, solid);
}

void PaintTools::SetTool(
    const QString& name, const QString& toolName, int command, bool move, bool resize)
{
    SetToolText(name);
    CheckDrawMenu(toolName, true);
    Send(command);
    SetMoveAndResize(move, resize);
}

void PaintTools::SetArrow()
{
    SetTool(QStringLiteral("arrow"), QStringLiteral("pointer"), PTC_POINTER, true, false);
}

void PaintTools::SetPen()
{
    SetTool(QStringLiteral("pen"), QStringLiteral("pen"), PTC_PEN, true, false);
}

// "Line" and the two arrow entries all make the line the tool, with the heads the arrow entries
// tick, and the menu ticks "Line" alone among the tools.
void PaintTools::SetLine()
{
    const bool start = IsMenuItemChecked(QStringLiteral("startArrow"));
    const bool end = IsMenuItemChecked(QStringLiteral("endArrow"));
    QMyLineItem::LINE_MODE mode = QMyLineItem::LINE_NO_ARROWS;
    if (start || end)
        mode = start && end ? QMyLineItem::LINE_BOTH_ARROWS
                            : (start ? QMyLineItem::LINE_START_ARROW : QMyLineItem::LINE_END_ARROW);
    SetToolText(QStringLiteral("line"));
    CheckDrawMenu(QStringLiteral("line"), true);
    Send(PTC_LINE, int(mode));
    SetMoveAndResize(true, false);
}

void PaintTools::SetRectangle()
{
    SetTool(QStringLiteral("rectangle"), QStringLiteral("rect"), PTC_RECTANGLE, true, true);
}

void PaintTools::SetEllipse()
{
    SetTool(QStringLiteral("ellipse"), QStringLiteral("ellipse"), PTC_ELLIPSE, true, true);
}

void PaintTools::SetText()
{
    SetTool(QStringLiteral("text"), QStringLiteral("textTool"), PTC_TEXT, true, false);
}

void PaintTools::SetPixelate()
{
    SetTool(QStringLiteral("blur"), QStringLiteral("blurTool"), PTC_BLUR, false, false);
}

void PaintTools::SetCallout()
{
    SetTool(QStringLiteral("callout"), QStringLiteral("callout"), PTC_CALLOUT, true, false);
}

void PaintTools::CropScreen()
{
    SetTool(QStringLiteral("crop"), QStringLiteral("crop"), PTC_CROP, false, false);
}

void PaintTools::HideToolBox()
{
    if (isVisible()) {
        hide();
        SetMenuCaption(tr("Show tool box"), QStringLiteral("toolBox"));
    } else {
        showNormal();
        SetMenuCaption(tr("Hide tool box"), QStringLiteral("toolBox"));
    }
}

void PaintTools::FormatLastObject()
{
    Send(PTC_FORMAT_LAST_OBJECT);
}

void PaintTools::DeleteLastObject()
{
    Send(PTC_DELETE_LAST_OBJECT);
}

void PaintTools::ExitConfirm()
{
    emit OnExit();
}

void PaintTools::on_lblCurrentTool_customContextMenuRequested(QPoint pos)
{
    contextMenu.move(mapToGlobal(pos));
    contextMenu.setVisible(true);
}

bool PaintTools::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return QDialog::eventFilter(watched, event);
    const QString name = watched->objectName();
    if (name == QLatin1String("lblCurrentColor")) {
        const QColor chosen = GetColor();
        if (chosen.isValid())
            Send(PTC_COLOR, chosen);
    } else if (name == QLatin1String("lblCurrentLineWidth")) {
        const int chosen = GetLineWidth();
        if (chosen > 0)
            Send(PTC_WIDTH, chosen);
    } else if (name == QLatin1String("lblCurrentTool")) {
        contextMenu.move(mapToGlobal(static_cast<QMouseEvent*>(event)->pos()));
        contextMenu.setVisible(true);
    }
    return QDialog::eventFilter(watched, event);
}

// The tool box goes away only by hiding and with the snap window that holds it.
void PaintTools::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void PaintTools::showEvent(QShowEvent* event)
{
    activateWindow();
    event->accept();
    QDialog::showEvent(event);
}
