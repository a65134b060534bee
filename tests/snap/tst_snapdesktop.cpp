#include "AnnotationItems.h"
#include "NoticePopup.h"
#include "PaintTools.h"
#include "ScreenSnapSaveDialog.h"
#include "ScreenSnapWidget.h"
#include "ScreensnapEditor.h"
#include "SettingsProvider.h"
#include "SnapFixture.h"
#include "XdoTool.h"
#include "popupWindow.h"
#include "textTool.h"

#include <QAction>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <functional>

// The snap editor as a member uses it on a desktop with a stacking window manager: every step is
// a key or a click through the X server, and what it did is read from the widgets and from the
// window manager's view of the windows.
namespace {

using SnapFixture::Part;

// The application icon every window of the editor carries: one colour, so its pixels tell it
// from the window manager's stand-in.
const QRgb iconColour = 0xff12ab34;

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString Id(const QWidget* window)
{
    return QString::number(window->winId());
}

// The managed windows, bottom first, as the window manager stacks them.
QList<WId> Stacking()
{
    const QString list = Run("xprop", { "-root", "-notype", "_NET_CLIENT_LIST_STACKING" });
    QList<WId> windows;
    for (const QString& id : list.section('#', 1).split(',', Qt::SkipEmptyParts))
        windows << id.trimmed().toULong(nullptr, 16);
    return windows;
}

bool Above(const QWidget* upper, const QWidget* lower)
{
    const QList<WId> windows = Stacking();
    return windows.indexOf(upper->winId()) > windows.indexOf(lower->winId())
        && windows.contains(lower->winId());
}

// The title the window manager shows and the first pixel of the icon it has.
QString TitleAndIcon(const QWidget* window)
{
    const QString title = Run("xprop", { "-id", Id(window), "-notype", "_NET_WM_NAME" });
    const QString icon = Run("xprop",
        { "-id", Id(window), "-notype", "-f", "_NET_WM_ICON", "32x", " $2", "_NET_WM_ICON" });
    return title.section(" = ", 1) + " " + icon.section(' ', -1);
}

QString Expected(const QString& title)
{
    return '"' + title + "\" 0x" + QString::number(iconColour, 16);
}

bool Click(const QWidget* window, QPoint at, int button = 1)
{
    return xdotool({ "mousemove", "--window", Id(window), QString::number(at.x()),
        QString::number(at.y()), "click", QString::number(button) });
}

bool ClickOn(const QWidget* widget)
{
    const QPoint at = widget->mapTo(widget->window(), widget->rect().center());
    return Click(widget->window(), at);
}

bool Key(const QString& keys)
{
    return xdotool({ "key", keys });
}

// A key held down until its press has done its work, then let go, as a person types it.
bool Hold(const QString& key, const std::function<bool()>& pressed)
{
    return xdotool({ "keydown", key }) && QTest::qWaitFor(pressed) && xdotool({ "keyup", key });
}

bool Type(const QString& text)
{
    return xdotool({ "type", "--delay", "10", text });
}

template<typename T> T* TopLevel()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(window); found && found->isVisible())
            return found;
    return nullptr;
}

QAction* Entry(PaintTools& tools, const QString& key)
{
    const QList<QAction*> actions = tools.GetContextMenu().actions();
    for (QAction* action : actions)
        if (action->property("toolName").toString() == key)
            return action;
    return nullptr;
}

// The tools ticked in the tool menu, the arrow heads and the fill included.
QStringList Ticked(PaintTools& tools)
{
    QStringList ticked;
    const QList<QAction*> actions = tools.GetContextMenu().actions();
    for (QAction* action : actions)
        if (action->isChecked())
            ticked << action->property("toolName").toString();
    return ticked;
}

// A snap window over the whole screen, as the main window opens it.
struct Snap
{
    explicit Snap(const QString& company = "Atlas")
    {
        const QSize size = QGuiApplication::primaryScreen()->size();
        // The host shows the notices as the main window's hub does.
        ScreenSnapHost host;
        host.showNotice
            = [this](const QString& caption1, const QString& caption2, const QString& text) {
                  notices.Show(caption1, caption2, text);
              };
        window = new ScreenSnapWidget(nullptr, QPixmap::fromImage(SnapFixture::Pattern(size)),
            "demo", company, 11, std::move(host));
        window->move(0, 0);
        window->show();
        editor = window->GetEditor();
    }
    ~Snap() { delete window.data(); }

    PaintTools& Tools() { return window->GetToolBox(); }
    QString ToolLabel() { return Part<QLabel>(Tools(), "lblCurrentTool")->text(); }

    NoticePopup notices;
    QPointer<ScreenSnapWidget> window;
    ScreensnapEditor* editor = nullptr;
};

} // namespace

class tst_SnapDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textDialogTakesTheTypingEachTime();
    void toolBoxStaysAboveThePicture();
    void aKeyActsOnlyWhereItWasPressed_data();
    void aKeyActsOnlyWhereItWasPressed();
    void menuTicksFollowTheTool_data();
    void menuTicksFollowTheTool();
    void saveElsewhereStartsInPicturesAndAddsPng();
    void saveToDesktopTellsTheFileName();
    void withoutATeamTheMemberChoosesWhoSees();
    void windowsCarryTheProductNameAndIcon();

private:
    // The snap window is up with the tool box above it, holding the keyboard.
    bool Shown(Snap& snap);
    // The tool menu opened with a right click on the picture, and the entry clicked.
    bool ChooseFromMenu(Snap& snap, const QString& key);
    // The snap window and the editor take the keyboard: a middle click on the picture draws
    // nothing.
    bool KeyboardOnPicture(Snap& snap);
    // Escape on the picture: the save dialog, active.
    ScreenSnapSaveDialog* Finish(Snap& snap);
};

void tst_SnapDesktop::initTestCase()
{
    Q_INIT_RESOURCE(Res);
    SettingsProvider::SETTINGS settings;
    settings.soundMode = 0;
    settings.popupTimeout = 1;
    SettingsProvider::instance()->SetCurrentSettings(settings);
    QPixmap icon(16, 16);
    icon.fill(QColor::fromRgba(iconColour));
    QApplication::setWindowIcon(QIcon(icon));
    QVERIFY(QDir::home().mkpath("Pictures"));
    QVERIFY(QDir::home().mkpath("Work"));
}

bool tst_SnapDesktop::Shown(Snap& snap)
{
    return QTest::qWaitFor([&] { return snap.Tools().isActiveWindow(); })
        && Above(&snap.Tools(), snap.window);
}

bool tst_SnapDesktop::ChooseFromMenu(Snap& snap, const QString& key)
{
    QMenu& menu = snap.Tools().GetContextMenu();
    if (!Click(snap.window, QPoint(200, 120), 3)
        || !QTest::qWaitFor([&] { return menu.isVisible(); }))
        return false;
    const QPoint at = menu.mapToGlobal(menu.actionGeometry(Entry(snap.Tools(), key)).center());
    return xdotool({ "mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1" })
        && QTest::qWaitFor([&] { return !menu.isVisible(); });
}

bool tst_SnapDesktop::KeyboardOnPicture(Snap& snap)
{
    return Click(snap.window, QPoint(20, snap.window->height() - 20), 2)
        && QTest::qWaitFor([&] { return snap.window->isActiveWindow(); });
}

ScreenSnapSaveDialog* tst_SnapDesktop::Finish(Snap& snap)
{
    if (!KeyboardOnPicture(snap) || !Key("Escape"))
        return nullptr;
    const bool active = QTest::qWaitFor([&] {
        return snap.window->GetSaveDialog() && snap.window->GetSaveDialog()->isActiveWindow();
    });
    return active ? snap.window->GetSaveDialog() : nullptr;
}

// Typed, confirmed, and typed again elsewhere: each time the text field has the keyboard.
void tst_SnapDesktop::textDialogTakesTheTypingEachTime()
{
    Snap snap;
    QVERIFY(Shown(snap));
    QVERIFY(Key("t"));
    QTRY_COMPARE(snap.ToolLabel(), QString("Tool: text"));
    const QList<QPair<QPoint, QString>> texts { { { 150, 150 }, "One" }, { { 200, 800 }, "Two" } };
    for (const auto& [at, typed] : texts) {
        QVERIFY(Click(snap.window, at));
        textTool* dialog = nullptr;
        QTRY_VERIFY((dialog = TopLevel<textTool>()) && dialog->isActiveWindow());
        QVERIFY(Type(typed));
        QVERIFY(ClickOn(Part<QWidget>(dialog, "btnOK")));
        QTRY_VERIFY(!dialog->isVisible());
    }
    QStringList typed;
    for (QGraphicsItem* item : snap.editor->items())
        if (auto* text = dynamic_cast<QMyTextItem*>(item))
            typed << text->GetText();
    typed.sort();
    QCOMPARE(typed, QStringList({ "One", "Two" }));
}

// Clicked, cropped, and back from the save dialog: the tool box is never behind the picture.
void tst_SnapDesktop::toolBoxStaysAboveThePicture()
{
    Snap snap;
    QVERIFY(Shown(snap));
    QVERIFY(xdotool({ "mousemove", "100", "100", "mousedown", "1", "mousemove", "300", "200",
        "mouseup", "1" }));
    QTRY_VERIFY(snap.window->isActiveWindow());
    QTRY_COMPARE(snap.editor->GetTotalObject(), 1);
    QVERIFY(Above(&snap.Tools(), snap.window));

    QVERIFY(ChooseFromMenu(snap, "crop"));
    QVERIFY(xdotool({ "mousemove", "50", "40", "mousedown", "1", "mousemove", "500", "300",
        "mousemove", "850", "650", "mouseup", "1" }));
    QTRY_COMPARE(snap.window->geometry(), QRect(50, 40, 800, 610));
    QVERIFY(KeyboardOnPicture(snap));
    QVERIFY(Above(&snap.Tools(), snap.window));

    ScreenSnapSaveDialog* dialog = Finish(snap);
    QVERIFY(dialog);
    QVERIFY(!snap.Tools().isVisible());
    QVERIFY(ClickOn(Part<QWidget>(dialog, "btnDraw")));
    QVERIFY(Shown(snap));
    QVERIFY(KeyboardOnPicture(snap));
    QVERIFY(Above(&snap.Tools(), snap.window));
}

void tst_SnapDesktop::aKeyActsOnlyWhereItWasPressed_data()
{
    QTest::addColumn<QString>("where"); // what has the keyboard when the key goes down
    QTest::addColumn<QString>("key");
    QTest::newRow("Escape in the tool menu") << "menu"
                                             << "Escape";
    QTest::newRow("Escape in the text dialog") << "text"
                                               << "Escape";
    QTest::newRow("D on the tool box") << "box"
                                       << "d";
    QTest::newRow("D on the picture") << "picture"
                                      << "d";
}

// Escape closes the menu or dialog it is pressed in and D hides the tool box it is pressed on;
// when the key comes up on the picture, it does nothing more. The same key on the picture then
// ends the editing or shows the tool box again.
void tst_SnapDesktop::aKeyActsOnlyWhereItWasPressed()
{
    QFETCH(QString, where);
    QFETCH(QString, key);
    Snap snap;
    QVERIFY(Shown(snap));
    QWidget* pressedIn = &snap.Tools();
    if (where == "menu") {
        QVERIFY(Click(snap.window, QPoint(300, 200), 3));
        pressedIn = &snap.Tools().GetContextMenu();
        QTRY_VERIFY(pressedIn->isVisible());
    } else if (where == "text") {
        QVERIFY(Key("t"));
        QTRY_COMPARE(snap.ToolLabel(), QString("Tool: text"));
        QVERIFY(Click(snap.window, QPoint(300, 200)));
        QTRY_VERIFY((pressedIn = TopLevel<textTool>()) && pressedIn->isActiveWindow());
    } else if (where == "picture") {
        QVERIFY(KeyboardOnPicture(snap));
        pressedIn = nullptr; // the picture acts when the key comes up
    }
    QVERIFY(Hold(key,
        [&] { return !pressedIn || (!pressedIn->isVisible() && snap.window->isActiveWindow()); }));
    // A key after it: once it acted, so had the release.
    QVERIFY(Key("l"));
    QTRY_COMPARE(snap.ToolLabel(), QString("Tool: line"));
    QCOMPARE(snap.Tools().isVisible(), key != "d");
    QVERIFY(snap.window->isVisible());
    QVERIFY(!snap.window->GetSaveDialog());

    QVERIFY(Key(key));
    if (key == "d")
        QVERIFY(Shown(snap));
    else
        QTRY_VERIFY(snap.window->GetSaveDialog() && snap.window->GetSaveDialog()->isVisible());
}

void tst_SnapDesktop::menuTicksFollowTheTool_data()
{
    // Steps: "menu:<entry>" clicked in the tool menu, "picture:<key>" and "box:<key>" typed with
    // the keyboard on the picture or on the tool box; each with the label it leads to.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<int>("tool");

    QTest::newRow("menu rectangle, then L")
        << QStringList { "menu:rect", "picture:l" } << QStringList { "rectangle", "line" }
        << QStringList { "solid", "line" } << int(ScreensnapEditor::DRAW_LINE);
    QTest::newRow("arrow over the rectangle, then line")
        << QStringList { "menu:rect", "menu:endArrow", "picture:r", "menu:line" }
        << QStringList { "rectangle", "line", "rectangle", "line" }
        << QStringList { "solid", "endArrow", "line" } << int(ScreensnapEditor::DRAW_LINE);
    QTest::newRow("keys on the tool box and the picture")
        << QStringList { "box:e", "menu:callout", "picture:r", "box:p" }
        << QStringList { "ellipse", "callout", "rectangle", "pen" }
        << QStringList { "solid", "pen" } << int(ScreensnapEditor::DRAW_PEN);
}

// The tool box's label and the menu's ticks show the tool in use, one tool ticked, however it
// was chosen.
void tst_SnapDesktop::menuTicksFollowTheTool()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, labels);
    Snap snap;
    QVERIFY(Shown(snap));
    // The menu's key of each tool, by the name the label shows.
    const QMap<QString, QString> tools { { "pen", "pen" }, { "line", "line" },
        { "rectangle", "rect" }, { "ellipse", "ellipse" }, { "callout", "callout" } };
    for (int i = 0; i < steps.size(); ++i) {
        const QString way = steps[i].section(':', 0, 0);
        const QString what = steps[i].section(':', 1);
        if (way == "menu") {
            QVERIFY(ChooseFromMenu(snap, what));
        } else {
            if (way == "picture")
                QVERIFY(KeyboardOnPicture(snap));
            else
                QVERIFY(Click(&snap.Tools(), QPoint(40, 48))); // on "Pen width:"
            QTRY_VERIFY((way == "box" ? static_cast<QWidget*>(&snap.Tools()) : snap.window.data())
                            ->isActiveWindow());
            QVERIFY(Key(what));
        }
        QTRY_COMPARE(snap.ToolLabel(), "Tool: " + labels[i]);
        QStringList toolsTicked = Ticked(snap.Tools());
        toolsTicked.removeAll("solid");
        toolsTicked.removeAll("startArrow");
        toolsTicked.removeAll("endArrow");
        QCOMPARE(toolsTicked, QStringList { tools.value(labels[i]) });
    }
    QTEST(Ticked(snap.Tools()), "ticked");
    QTEST(int(snap.editor->GetCurrentDrawTool()), "tool");
}

// "Save..." opens in the pictures folder, then where the last picture went, with the snap's
// title and time for a name; a name typed without an extension is saved as a PNG file.
void tst_SnapDesktop::saveElsewhereStartsInPicturesAndAddsPng()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString work = QDir::home().filePath("Work");
    const QList<QPair<QString, QString>> rounds { { pictures, work + "/mysnap" },
        { work, "second" } };
    for (const auto& [startFolder, typed] : rounds) {
        Snap snap;
        QVERIFY(Shown(snap));
        QVERIFY(Key("r"));
        QVERIFY(xdotool({ "mousemove", "100", "100", "mousedown", "1", "mousemove", "200", "150",
            "mouseup", "1" }));
        QTRY_COMPARE(snap.editor->GetTotalObject(), 1);
        ScreenSnapSaveDialog* dialog = Finish(snap);
        QVERIFY(dialog);
        const QString date = Part<QLineEdit>(dialog, "txtCurrentDate")->text();
        QVERIFY(ClickOn(Part<QWidget>(dialog, "btnSave")));
        QFileDialog* chooser = nullptr;
        QTRY_VERIFY((chooser = dialog->findChild<QFileDialog*>()) && chooser->isActiveWindow());
        QCOMPARE(chooser->directory().absolutePath(), startFolder);
        QCOMPARE(Part<QLineEdit>(chooser, "fileNameEdit")->text(),
            "Whole desktop(" + QString(date).replace(':', '.') + ").png");
        QVERIFY(Key("ctrl+a"));
        QVERIFY(Type(typed));
        QVERIFY(Key("Return"));
        QTRY_VERIFY(snap.window.isNull());
        const QImage saved(QDir(work).filePath(typed.section('/', -1) + ".png"));
        QCOMPARE(saved.pixel(150, 125), qRgb(255, 0, 0));
    }
}

// After saving to the desktop the same notice as for the clipboard names the file, the
// clipboard's still on screen giving way to it; it outlives the snap window and goes by itself.
void tst_SnapDesktop::saveToDesktopTellsTheFileName()
{
    Snap snap;
    QVERIFY(Shown(snap));
    ScreenSnapSaveDialog* dialog = Finish(snap);
    QVERIFY(dialog);
    const QString name = "Whole desktop("
        + Part<QLineEdit>(dialog, "txtCurrentDate")->text().replace(':', '.') + ").png";
    QVERIFY(ClickOn(Part<QWidget>(dialog, "btnCopyToClipboard")));
    QPointer<popupWindow> notice;
    QTRY_VERIFY((notice = TopLevel<popupWindow>()) && notice->isVisible());
    QCOMPARE(Part<QLabel>(notice, "lblPopupText")->text(),
        QString("Image has been copied to clipboard"));
    QVERIFY(ClickOn(Part<QWidget>(dialog, "btnSaveToDesktop")));
    QTRY_VERIFY(snap.window.isNull());
    QVERIFY(QFile::exists(
        QDir(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)).filePath(name)));
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(Part<QLabel>(notice, "lblPopupText")->text(),
        "Image has been saved to the desktop as " + name);
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 10000);
}

// Without a team nothing is shared before the member says with whom.
void tst_SnapDesktop::withoutATeamTheMemberChoosesWhoSees()
{
    Snap snap("");
    QVERIFY(Shown(snap));
    QSignalSpy requests(snap.window.data(), &ScreenSnapWidget::screenIsReady);
    ScreenSnapSaveDialog* dialog = Finish(snap);
    QVERIFY(dialog);
    for (const char* name : { "radioPublic", "radioTeam", "radioPassword" })
        QVERIFY2(!Part<QRadioButton>(dialog, name)->isChecked(), name);
    QVERIFY(ClickOn(Part<QWidget>(dialog, "btnUpload")));
    QMessageBox* box = nullptr;
    QTRY_VERIFY((box = dialog->findChild<QMessageBox*>()) && box->isActiveWindow());
    QCOMPARE(box->text(), QString("Choose who may see this screensnap: Public or Password."));
    QVERIFY(Key("Return"));
    QTRY_VERIFY(!dialog->findChild<QMessageBox*>());
    QCOMPARE(requests.count(), 0);

    QVERIFY(ClickOn(Part<QWidget>(dialog, "radioPublic")));
    QTRY_VERIFY(Part<QRadioButton>(dialog, "radioPublic")->isChecked());
    QVERIFY(ClickOn(Part<QWidget>(dialog, "btnUpload")));
    QTRY_COMPARE(requests.count(), 1);
    QCOMPARE(requests.first().at(2).toInt(), 0);
}

// Every window of the editor carries the application's icon, and the product's name where it
// has no title of its own: the snap window and the colour dialog.
void tst_SnapDesktop::windowsCarryTheProductNameAndIcon()
{
    Snap snap("");
    QVERIFY(Shown(snap));
    QStringList seen { TitleAndIcon(snap.window), TitleAndIcon(&snap.Tools()) };
    QTimer answer; // the colour dialog blocks: it is read and cancelled from within
    connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
            seen << TitleAndIcon(dialog);
            dialog->reject();
        }
    });
    answer.start(20);
    QVERIFY(ClickOn(Part<QWidget>(snap.Tools(), "lblCurrentColor")));
    QTRY_COMPARE(seen.size(), 3);
    answer.stop();

    QVERIFY(Key("t"));
    QTRY_COMPARE(snap.ToolLabel(), QString("Tool: text"));
    QVERIFY(Click(snap.window, QPoint(300, 200)));
    textTool* text = nullptr;
    QTRY_VERIFY((text = TopLevel<textTool>()) && text->isActiveWindow());
    seen << TitleAndIcon(text);
    QVERIFY(Key("Escape"));
    QTRY_VERIFY(!text->isVisible());

    ScreenSnapSaveDialog* dialog = Finish(snap);
    QVERIFY(dialog);
    seen << TitleAndIcon(dialog);
    QVERIFY(ClickOn(Part<QWidget>(dialog, "btnUpload"))); // no permission chosen
    QMessageBox* box = nullptr;
    QTRY_VERIFY((box = dialog->findChild<QMessageBox*>()) && box->isActiveWindow());
    seen << TitleAndIcon(box);
    QVERIFY(Key("Return"));
    QTRY_VERIFY(dialog->isActiveWindow());

    const QStringList titles { "Movarelquintash ScreenSnap", "ToolBox",
        "Color - Movarelquintash ScreenSnap", "Text - Zembo Clone Screensnap",
        "ScreenSnap is ready", "Movarelquintash ScreenSnap" };
    QStringList expected;
    for (const QString& title : titles)
        expected << Expected(title);
    QCOMPARE(seen, expected);
}

QTEST_MAIN(tst_SnapDesktop)
#include "tst_snapdesktop.moc"
