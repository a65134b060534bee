#include "../DesignFont.h"
#include "PaintToolCommand.h"
#include "PaintTools.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The submenu whose entries carry `property`.
QMenu* Submenu(PaintTools& tools, const char* property)
{
    const QList<QAction*> actions = tools.GetContextMenu().actions();
    for (QAction* action : actions) {
        if (!action->menu())
            continue;
        const QList<QAction*> entries = action->menu()->actions();
        for (QAction* entry : entries)
            if (entry->property(property).isValid())
                return action->menu();
    }
    return nullptr;
}

QAction* Entry(QMenu* menu, const char* property, const QVariant& value)
{
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions)
        if (action->property(property) == value)
            return action;
    return nullptr;
}

// "pen" (a tool-menu entry by its key), "Color:#00FF00", "Width:5", "Color:Select...",
// "Width:Select...", "Move:up5px" (an entry of the move or size submenu by its key).
QAction* Step(PaintTools& tools, const QString& step)
{
    const QString kind = step.section(':', 0, 0);
    const QString key = step.section(':', 1);
    if (!step.contains(':'))
        return Entry(&tools.GetContextMenu(), "toolName", step);
    QMenu* menu = kind == "Color" ? Submenu(tools, "ColorName")
        : kind == "Width"         ? Submenu(tools, "WidthTool")
                                  : nullptr;
    if (kind == "Move") {
        for (QAction* action : tools.GetContextMenu().actions())
            if (action->menu() && Entry(action->menu(), "toolName", key))
                return Entry(action->menu(), "toolName", key);
        return nullptr;
    }
    if (key == "Select...")
        return menu->actions().last();
    return kind == "Color" ? Entry(menu, "ColorName", key) : Entry(menu, "WidthTool", key.toInt());
}

// A sent command as "<command> <argument>", colours with their alpha.
QStringList Commands(const QSignalSpy& spy)
{
    QStringList commands;
    for (const QList<QVariant>& sent : spy) {
        const QVariant arg = sent.at(1).value<QVariant>();
        QString text;
        if (arg.userType() == QMetaType::QColor)
            text = arg.value<QColor>().name(QColor::HexArgb);
        else if (arg.userType() == QMetaType::Bool)
            text = arg.toBool() ? "true" : "false";
        else
            text = QString::number(arg.toInt());
        commands << QString::number(sent.at(0).value<QVariant>().toInt()) + " " + text;
    }
    return commands;
}

// Whether the submenu holding this entry is enabled (a disabled submenu shows as a disabled
// entry).
bool SubmenuEnabled(PaintTools& tools, const QString& step)
{
    return qobject_cast<QMenu*>(Step(tools, step)->parentWidget())->menuAction()->isEnabled();
}

QStringList CheckedTools(PaintTools& tools)
{
    QStringList checked;
    for (QAction* action : tools.GetContextMenu().actions())
        if (action->isChecked())
            checked << action->property("toolName").toString();
    return checked;
}

QString C(int command, const QString& arg = "0")
{
    return QString::number(command) + " " + arg;
}

} // namespace

class tst_PaintTools : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { UseDesignFont(); }
    void startsWithPenRedAndOnePixel();
    void menuChoicesSendCommands_data();
    void menuChoicesSendCommands();
    void labelPressesAskAndSend();
    void hidesAndShowsAndNeverCloses();
};

void tst_PaintTools::startsWithPenRedAndOnePixel()
{
    PaintTools tools;
    QCOMPARE(tools.size(), QSize(301, 71));
    QCOMPARE(tools.minimumSize(), tools.maximumSize());
    QCOMPARE(tools.windowTitle(), QString("ToolBox"));
    QVERIFY(tools.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(tools.findChild<QLabel*>("lblCurrentTool")->text(), QString("Tool: pen"));
    QCOMPARE(tools.findChild<QLabel*>("lblCurrentLineWidth")->text(), QString("1 px"));
    QCOMPARE(tools.findChild<QLabel*>("lblCurrentColor")->styleSheet(),
        QString("background-color: rgb(255, 0, 0)"));
    QCOMPARE(CheckedTools(tools), QStringList({ "solid", "pen" }));
    QVERIFY(Step(tools, "Color:#FF0000")->isChecked());
    QVERIFY(Step(tools, "Width:1")->isChecked());
    QVERIFY(Step(tools, "undoTool")->isEnabled());
    QVERIFY(!Step(tools, "deleteLastObject")->isEnabled());
    QVERIFY(Submenu(tools, "ColorName")->menuAction()->isEnabled());
    QVERIFY(SubmenuEnabled(tools, "Move:up5px"));
    QVERIFY(!SubmenuEnabled(tools, "Move:incWidth5px"));
    QCOMPARE(Step(tools, "exit")->shortcut(), QKeySequence(Qt::Key_Escape));
    QCOMPARE(Step(tools, "undoTool")->shortcut(), QKeySequence("Ctrl+Z"));
}

void tst_PaintTools::menuChoicesSendCommands_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QColor>("chosenColor"); // what the colour dialog answers
    QTest::addColumn<int>("chosenWidth"); // what the width dialog answers (0: cancel)
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<bool>("move");
    QTest::addColumn<bool>("resize");

    const QColor none;
    QTest::newRow("rectangle") << QStringList { "rect" } << none << 0
                               << QStringList { C(PTC_RECTANGLE) } << "Tool: rectangle"
                               << QStringList { "solid", "rect" } << true << true;
    QTest::newRow("blur") << QStringList { "blurTool" } << none << 0 << QStringList { C(PTC_BLUR) }
                          << "Tool: blur" << QStringList { "solid", "blurTool" } << false << false;
    QTest::newRow("crop checks no tool")
        << QStringList { "crop" } << none << 0 << QStringList { C(PTC_CROP) } << "Tool: crop"
        << QStringList { "solid" } << false << false;
    QTest::newRow("starting arrow makes the line the tool")
        << QStringList { "startArrow" } << none << 0 << QStringList { C(PTC_LINE, "1") }
        << "Tool: line" << QStringList { "solid", "startArrow", "line" } << true << false;
    QTest::newRow("arrow on and off again")
        << QStringList { "startArrow", "startArrow" } << none << 0
        << QStringList { C(PTC_LINE, "1"), C(PTC_LINE, "0") } << "Tool: line"
        << QStringList { "solid", "line" } << true << false;
    QTest::newRow("both arrows") << QStringList { "startArrow", "endArrow" } << none << 0
                                 << QStringList { C(PTC_LINE, "1"), C(PTC_LINE, "3") }
                                 << "Tool: line"
                                 << QStringList { "solid", "startArrow", "endArrow", "line" }
                                 << true << false;
    QTest::newRow("rectangle, then the line with the ending arrow")
        << QStringList { "rect", "endArrow", "line" } << none << 0
        << QStringList { C(PTC_RECTANGLE), C(PTC_LINE, "2"), C(PTC_LINE, "2") } << "Tool: line"
        << QStringList { "solid", "endArrow", "line" } << true << false;
    QTest::newRow("highlighter on, green, off")
        << QStringList { "highlighter", "Color:#00FF00", "highlighter" } << none << 0
        << QStringList { C(PTC_HIGHLIGHTER, "true"), C(PTC_COLOR, "#4bff0000"),
               C(PTC_COLOR, "#4b00ff00"), C(PTC_HIGHLIGHTER, "false"), C(PTC_COLOR, "#ff00ff00") }
        << "Tool: pen" << QStringList { "solid", "pen" } << true << false;
    QTest::newRow("solid off") << QStringList { "solid" } << none << 0
                               << QStringList { C(PTC_SOLID, "false") } << "Tool: pen"
                               << QStringList { "pen" } << true << false;
    QTest::newRow("widths") << QStringList { "Width:5", "Width:Select..." } << none << 42
                            << QStringList { C(PTC_WIDTH, "5"), C(PTC_WIDTH, "42") } << "Tool: pen"
                            << QStringList { "solid", "pen" } << true << false;
    QTest::newRow("width dialog cancelled")
        << QStringList { "Width:Select..." } << none << 0 << QStringList {} << "Tool: pen"
        << QStringList { "solid", "pen" } << true << false;
    QTest::newRow("colour dialog") << QStringList { "Color:Select..." } << QColor(10, 20, 30) << 0
                                   << QStringList { C(PTC_COLOR, "#ff0a141e") } << "Tool: pen"
                                   << QStringList { "solid", "pen" } << true << false;
    QTest::newRow("colour dialog cancelled")
        << QStringList { "Color:Select..." } << none << 0 << QStringList {} << "Tool: pen"
        << QStringList { "solid", "pen" } << true << false;
    QTest::newRow("move and resize")
        << QStringList { "Move:up5px", "Move:right1px", "Move:decHeight5px", "Move:incWidth1px" }
        << none << 0
        << QStringList { C(PTC_MOVE_UP, "5"), C(PTC_MOVE_RIGHT, "1"), C(PTC_DEC_HEIGHT, "5"),
               C(PTC_INC_WIDTH, "1") }
        << "Tool: pen" << QStringList { "solid", "pen" } << true << false;
    QTest::newRow("undo, reset, delete, exit")
        << QStringList { "undoTool", "resetTool", "deleteLastObject", "exit" } << none << 0
        << QStringList { C(PTC_UNDO), C(PTC_RESET), C(PTC_DELETE_LAST_OBJECT) } << "Tool: pen"
        << QStringList { "solid", "pen" } << false << false;
}

void tst_PaintTools::menuChoicesSendCommands()
{
    QFETCH(QStringList, steps);
    QFETCH(QColor, chosenColor);
    QFETCH(int, chosenWidth);
    QFETCH(QStringList, sent);
    PaintTools tools;
    tools.SetColorChooser([&](const QColor& initial, QWidget*) {
        [&] {
            QCOMPARE(initial, QColor(Qt::white));
        }();
        return chosenColor;
    });
    tools.SetWidthChooser([&](QWidget*, const QString& title, int) {
        [&] {
            QCOMPARE(title, QString("Movarelquintash ScreenSnap"));
        }();
        return chosenWidth;
    });
    QSignalSpy commands(&tools, &PaintTools::ToolAction);
    QSignalSpy exits(&tools, &PaintTools::OnExit);
    for (const QString& step : steps) {
        QAction* action = Step(tools, step);
        QVERIFY2(action, qPrintable(step));
        action->setEnabled(true);
        action->trigger();
    }
    QCOMPARE(Commands(commands), sent);
    QCOMPARE(exits.count(), steps.contains("exit") ? 1 : 0);
    QTEST(tools.findChild<QLabel*>("lblCurrentTool")->text(), "label");
    QTEST(CheckedTools(tools), "checked");
    QTEST(SubmenuEnabled(tools, "Move:up5px"), "move");
    QTEST(SubmenuEnabled(tools, "Move:incWidth5px"), "resize");

    // Colour and width marks: the choice, none for a dialog's answer, unchanged after a cancel.
    const bool colourDialog = steps.contains("Color:Select...");
    const bool green = steps.contains("Color:#00FF00");
    QCOMPARE(Step(tools, "Color:#FF0000")->isChecked(), !green && !chosenColor.isValid());
    QCOMPARE(Step(tools, "Color:#00FF00")->isChecked(), green);
    if (colourDialog && chosenColor.isValid())
        QCOMPARE(tools.findChild<QLabel*>("lblCurrentColor")->styleSheet(),
            QString("background-color: rgb(10, 20, 30)"));
    const bool widthDialog = steps.contains("Width:Select...");
    QCOMPARE(Step(tools, "Width:1")->isChecked(), !steps.contains("Width:5") && !chosenWidth);
    QCOMPARE(tools.findChild<QLabel*>("lblCurrentLineWidth")->text(),
        widthDialog && chosenWidth ? QString("42 px")
                                   : (steps.contains("Width:5") ? "5 px" : "1 px"));
}

void tst_PaintTools::labelPressesAskAndSend()
{
    PaintTools tools;
    tools.show();
    QColor colour(1, 2, 3);
    int width = 7;
    tools.SetColorChooser([&](const QColor&, QWidget*) { return colour; });
    tools.SetWidthChooser([&](QWidget*, const QString& title, int) {
        [&] {
            QCOMPARE(title, QString("Tessivanor ScreenSnap"));
        }();
        return width;
    });
    QSignalSpy commands(&tools, &PaintTools::ToolAction);
    auto* swatch = tools.findChild<QLabel*>("lblCurrentColor");
    auto* widthLabel = tools.findChild<QLabel*>("lblCurrentLineWidth");
    Step(tools, "highlighter")->trigger();
    commands.clear();
    QTest::mousePress(swatch, Qt::LeftButton);
    QTest::mousePress(widthLabel, Qt::LeftButton);
    colour = QColor();
    width = 0;
    QTest::mousePress(swatch, Qt::LeftButton); // both cancelled: nothing changes
    QTest::mousePress(widthLabel, Qt::LeftButton);
    QCOMPARE(Commands(commands), QStringList({ C(PTC_COLOR, "#4b010203"), C(PTC_WIDTH, "7") }));
    QCOMPARE(swatch->styleSheet(), QString("background-color: rgb(1, 2, 3)"));
    QCOMPARE(widthLabel->text(), QString("7 px"));
    // The submenus' marks stay where they were.
    QVERIFY(Step(tools, "Color:#FF0000")->isChecked());
    QVERIFY(Step(tools, "Width:1")->isChecked());
}

void tst_PaintTools::hidesAndShowsAndNeverCloses()
{
    PaintTools tools;
    tools.show();
    QAction* toggle = Step(tools, "toolBox");
    QCOMPARE(toggle->text(), QString("Hide toolbox"));
    toggle->trigger();
    QVERIFY(!tools.isVisible());
    QCOMPARE(toggle->text(), QString("Show tool box"));
    toggle->trigger();
    QVERIFY(tools.isVisible());
    QCOMPARE(toggle->text(), QString("Hide tool box"));
    QVERIFY(!tools.close());
    QVERIFY(tools.isVisible());
    // The keys the menu shows act while the tool box has the keyboard.
    QSignalSpy commands(&tools, &PaintTools::ToolAction);
    QSignalSpy exits(&tools, &PaintTools::OnExit);
    tools.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&tools));
    QTest::keyClick(&tools, Qt::Key_E);
    QTest::keyClick(&tools, Qt::Key_Escape);
    QCOMPARE(Commands(commands), QStringList({ C(PTC_ELLIPSE) }));
    QCOMPARE(exits.count(), 1);
    QCOMPARE(CheckedTools(tools), QStringList({ "solid", "ellipse" }));
}

QTEST_MAIN(tst_PaintTools)
#include "tst_painttools.moc"
