#include "SnapFixture.h"

#include "ObjectControl.h"
#include "PaintToolCommand.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace SnapFixture;
using Mode = ScreensnapEditor::DRAW_MODE;
using Points = QVector<QPoint>;

namespace {
enum class Change;
}
Q_DECLARE_METATYPE(Change)

namespace {

const QSize pictureSize(400, 300);
const QColor blue(0, 0, 255);

// A shown editor on the test pattern.
struct Snap
{
    QImage picture = Pattern(pictureSize);
    ScreensnapEditor editor { nullptr, QPixmap::fromImage(picture) };
    Snap() { editor.show(); }
};

bool Is(const QImage& image, QPoint at, const QColor& color)
{
    return image.pixel(at) == color.rgb();
}

// Whether a pixel of the colour lies within one pixel of the point.
bool InkNear(const QImage& image, QPoint at, const QColor& color)
{
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (Is(image, at + QPoint(dx, dy), color))
                return true;
        }
    }
    return false;
}

int CountColor(const QImage& image, const QRect& area, const QColor& color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += Is(image, QPoint(x, y), color);
    }
    return count;
}

template<typename Channel> double Mean(const QImage& image, const QRect& area, Channel channel)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            sum += channel(image.pixel(x, y));
    }
    return sum / (area.width() * area.height());
}

int Blue(QRgb p)
{
    return qBlue(p);
}

int Green(QRgb p)
{
    return qGreen(p);
}

double BlueVariance(const QImage& image, const QRect& area)
{
    const double mean = Mean(image, area, Blue);
    return Mean(image, area, [mean](QRgb p) { return (qBlue(p) - mean) * (qBlue(p) - mean); });
}

textTool* ShownTextDialog()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (auto* dialog = qobject_cast<textTool*>(window); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Types the text in 20 points into the open text dialog and presses OK.
void AnswerTextDialog(const QString& text)
{
    textTool* dialog = ShownTextDialog();
    QVERIFY(dialog);
    dialog->findChild<QPlainTextEdit*>("txtUserText")->setPlainText(text);
    dialog->findChild<QComboBox*>("cmbFontSize")->setEditText(QStringLiteral("20"));
    dialog->findChild<QPushButton*>("btnOK")->click();
}

} // namespace

class tst_ScreensnapEditor : public QObject
{
    Q_OBJECT

private slots:
    void shapesLandWhereDrawn_data();
    void shapesLandWhereDrawn();
    void highlighterBlends();
    void arrowHeads_data();
    void arrowHeads();
    void textAndCalloutShowTheirText_data();
    void textAndCalloutShowTheirText();
    void cropGivesTheSelectedPixels_data();
    void cropGivesTheSelectedPixels();
    void cropKeepsTheDrawingInside();
    void cropKeepsALineThatReachesIn();
    void savedPictureIsWhatTheViewShows_data();
    void savedPictureIsWhatTheViewShows();
    void savedPictureFollowsEveryChange_data();
    void savedPictureFollowsEveryChange();
    void emptySelectionChangesNothing_data();
    void emptySelectionChangesNothing();
    void blurSoftensThePatchOnly_data();
    void blurSoftensThePatchOnly();
    void resetAfterCropStartsOver();
    void undoIsLastInFirstOut();
    void moveAndResizeTheNewest();
    void dragSurvivesCommandsMidway_data();
    void dragSurvivesCommandsMidway();
    void formatDialogIsForgottenWhenClosed();
};

void tst_ScreensnapEditor::shapesLandWhereDrawn_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<int>("lineFlag");
    QTest::addColumn<bool>("solid");
    QTest::addColumn<int>("width");
    QTest::addColumn<Points>("path");
    QTest::addColumn<Points>("inked");
    QTest::addColumn<Points>("untouched");

    const Points rectInked { { 75, 65 }, { 51, 51 }, { 99, 79 } };
    const Points rectAround { { 45, 65 }, { 105, 65 }, { 75, 85 }, { 75, 45 } };
    QTest::newRow("solid rectangle")
        << int(Mode::DRAW_RECTANGLE) << 0 << true << 1
        << Points { { 50, 50 }, { 80, 70 }, { 100, 80 } } << rectInked << rectAround;
    QTest::newRow("rectangle drawn up and left")
        << int(Mode::DRAW_RECTANGLE) << 0 << true << 1 << Points { { 100, 80 }, { 50, 50 } }
        << rectInked << rectAround;
    QTest::newRow("hollow rectangle")
        << int(Mode::DRAW_RECTANGLE) << 0 << false << 3 << Points { { 50, 50 }, { 100, 80 } }
        << Points { { 50, 65 }, { 100, 65 }, { 75, 50 } } << Points { { 75, 65 }, { 45, 65 } };
    QTest::newRow("solid ellipse")
        << int(Mode::DRAW_ELLIPSE) << 0 << true << 1 << Points { { 120, 40 }, { 180, 90 } }
        << Points { { 150, 65 }, { 121, 65 } } << Points { { 122, 42 }, { 178, 88 } };
    QTest::newRow("plain line") << int(Mode::DRAW_LINE) << 0 << false << 3
                                << Points { { 20, 200 }, { 120, 200 }, { 200, 200 } }
                                << Points { { 100, 200 }, { 21, 200 }, { 199, 200 } }
                                << Points { { 100, 206 }, { 210, 200 } };
    QTest::newRow("pen stroke") << int(Mode::DRAW_PEN) << 0 << false << 3
                                << Points { { 30, 120 }, { 60, 120 }, { 60, 150 } }
                                << Points { { 45, 120 }, { 60, 135 } }
                                << Points { { 45, 135 }, { 25, 120 } };
}

void tst_ScreensnapEditor::shapesLandWhereDrawn()
{
    QFETCH(int, tool);
    QFETCH(int, lineFlag);
    QFETCH(bool, solid);
    QFETCH(int, width);
    QFETCH(Points, path);
    QFETCH(Points, inked);
    QFETCH(Points, untouched);

    Snap snap;
    snap.editor.SetLineFlag(lineFlag);
    snap.editor.SetSolid(solid);
    Draw(snap.editor, Mode(tool), path, Qt::red, width);

    QCOMPARE(snap.editor.GetTotalObject(), 1);
    const QImage saved = Saved(snap.editor);
    QCOMPARE(saved.size(), pictureSize);
    for (const QPoint& at : qAsConst(inked))
        QVERIFY2(
            Is(saved, at, Qt::red), qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
    for (const QPoint& at : qAsConst(untouched))
        QCOMPARE(saved.pixel(at), snap.picture.pixel(at));
}

void tst_ScreensnapEditor::highlighterBlends()
{
    Snap snap;
    Draw(snap.editor, Mode::DRAW_RECTANGLE, { { 50, 50 }, { 100, 80 } }, QColor(255, 0, 0, 75));

    const QPoint at(75, 65);
    const QRgb under = snap.picture.pixel(at);
    const QRgb seen = Saved(snap.editor).pixel(at);
    const double alpha = 75 / 255.0;
    QVERIFY(qAbs(qRed(seen) - (qRed(under) + (255 - qRed(under)) * alpha)) <= 2);
    QVERIFY(qAbs(qGreen(seen) - qGreen(under) * (1 - alpha)) <= 2);
    QVERIFY(qAbs(qBlue(seen) - qBlue(under) * (1 - alpha)) <= 2);
}

void tst_ScreensnapEditor::arrowHeads_data()
{
    QTest::addColumn<int>("lineFlag");
    QTest::addColumn<bool>("headAtPress");
    QTest::addColumn<bool>("headAtRelease");
    QTest::newRow("no arrows") << 0 << false << false;
    QTest::newRow("start arrow: head at the release point") << 1 << false << true;
    QTest::newRow("end arrow: head at the press point") << 2 << true << false;
    QTest::newRow("both arrows") << 3 << true << true;
}

void tst_ScreensnapEditor::arrowHeads()
{
    QFETCH(int, lineFlag);
    QFETCH(bool, headAtPress);
    QFETCH(bool, headAtRelease);

    Snap snap;
    snap.editor.SetLineFlag(lineFlag);
    Draw(snap.editor, Mode::DRAW_LINE, { { 100, 150 }, { 150, 150 }, { 200, 150 } }, Qt::red, 2);

    // Each stroke of a head leaves its tip 30 degrees off the line; 10 pixels along it lies
    // about 8.7 pixels back along the line and 5 to the side.
    const QImage saved = Saved(snap.editor);
    QVERIFY(InkNear(saved, { 150, 150 }, Qt::red));
    QCOMPARE(InkNear(saved, { 109, 145 }, Qt::red), headAtPress);
    QCOMPARE(InkNear(saved, { 109, 155 }, Qt::red), headAtPress);
    QCOMPARE(InkNear(saved, { 191, 145 }, Qt::red), headAtRelease);
    QCOMPARE(InkNear(saved, { 191, 155 }, Qt::red), headAtRelease);
}

void tst_ScreensnapEditor::textAndCalloutShowTheirText_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<Points>("path");
    QTest::addColumn<QPoint>("textAt");
    QTest::addColumn<int>("objects");
    QTest::newRow("text at the press point")
        << int(Mode::DRAW_TEXT) << Points { { 60, 200 } } << QPoint(60, 200) << 1;
    QTest::newRow("callout text at the release point")
        << int(Mode::DRAW_CALLOUT) << Points { { 100, 100 }, { 150, 125 }, { 200, 150 } }
        << QPoint(200, 150) << 2;
}

void tst_ScreensnapEditor::textAndCalloutShowTheirText()
{
    QFETCH(int, tool);
    QFETCH(Points, path);
    QFETCH(QPoint, textAt);
    QFETCH(int, objects);

    Snap snap;
    Draw(snap.editor, Mode(tool), path, blue);
    AnswerTextDialog(QStringLiteral("Hi"));
    QVERIFY(!ShownTextDialog());

    QCOMPARE(snap.editor.GetTotalObject(), objects);
    const QImage saved = Saved(snap.editor);
    // Inside the frame's outline, where the letters are.
    const QRect letters(textAt + QPoint(3, 3), QSize(30, 20));
    QVERIFY(CountColor(saved, letters, blue) > 10);
    QCOMPARE(CountColor(saved, letters.translated(0, -30), blue), 0);
    if (tool == Mode::DRAW_CALLOUT)
        QVERIFY(InkNear(saved, (path.first() + path.last()) / 2, blue));
}

void tst_ScreensnapEditor::cropGivesTheSelectedPixels_data()
{
    QTest::addColumn<QVector<Points>>("crops");
    QTest::addColumn<QRect>("onPicture");
    QTest::newRow("one crop") << QVector<Points> { { { 40, 30 }, { 140, 90 } } }
                              << QRect(40, 30, 100, 60);
    QTest::newRow("drawn up and left")
        << QVector<Points> { { { 140, 90 }, { 40, 30 } } } << QRect(40, 30, 100, 60);
    QTest::newRow("second crop within the first") << QVector<Points> { { { 40, 30 }, { 140, 90 } },
        { { 10, 10 }, { 50, 40 } } } << QRect(50, 40, 40, 30);
    QTest::newRow("past the picture's edge")
        << QVector<Points> { { { 300, 200 }, { 500, 400 } } } << QRect(300, 200, 100, 100);
}

void tst_ScreensnapEditor::cropGivesTheSelectedPixels()
{
    QFETCH(QVector<Points>, crops);
    QFETCH(QRect, onPicture);

    Snap snap;
    QSignalSpy cropSpy(&snap.editor, &ScreensnapEditor::ScreenCrop);
    const QPoint origin = snap.editor.geometry().topLeft();
    for (const Points& crop : qAsConst(crops))
        Draw(snap.editor, Mode::DRAW_CROP, crop);

    QVERIFY(snap.editor.GetIsScreenCroped());
    QCOMPARE(cropSpy.count(), crops.size());
    QCOMPARE(cropSpy.last().first().toBool(), true);
    QCOMPARE(snap.editor.GetTotalObject(), 0);
    QCOMPARE(snap.editor.geometry(), onPicture.translated(origin));
    QCOMPARE(Saved(snap.editor), snap.picture.copy(onPicture));
}

void tst_ScreensnapEditor::cropKeepsTheDrawingInside()
{
    Snap snap;
    Draw(snap.editor, Mode::DRAW_RECTANGLE, { { 60, 40 }, { 80, 50 } });
    Draw(snap.editor, Mode::DRAW_RECTANGLE, { { 300, 250 }, { 320, 270 } });
    Draw(snap.editor, Mode::DRAW_CROP, { { 40, 30 }, { 140, 90 } });

    QCOMPARE(snap.editor.GetTotalObject(), 1);
    QImage saved = Saved(snap.editor);
    QVERIFY(Is(saved, { 30, 15 }, Qt::red));
    QCOMPARE(saved.pixel(5, 5), snap.picture.pixel(45, 35));

    snap.editor.Undo();
    QCOMPARE(snap.editor.GetTotalObject(), 0);
    QCOMPARE(Saved(snap.editor), snap.picture.copy(40, 30, 100, 60));
}

// A line is known by where it was drawn to, not by the point it started from: an arrow pressed
// outside the crop and released inside stays, one wholly outside goes.
void tst_ScreensnapEditor::cropKeepsALineThatReachesIn()
{
    Snap snap;
    snap.editor.SetLineFlag(3);
    snap.editor.SetCurrentDrawTool(Mode::DRAW_LINE);
    // Painted at the press: the view has asked where the line is before it reaches in.
    Mouse(snap.editor, QEvent::MouseButtonPress, { 10, 10 });
    QTest::qWait(20);
    Mouse(snap.editor, QEvent::MouseMove, { 200, 150 });
    QTest::qWait(20);
    Mouse(snap.editor, QEvent::MouseButtonRelease, { 200, 150 });
    Draw(snap.editor, Mode::DRAW_LINE, { { 10, 280 }, { 60, 290 } });
    Draw(snap.editor, Mode::DRAW_CROP, { { 150, 100 }, { 300, 250 } });
    QCOMPARE(snap.editor.GetTotalObject(), 1);
    QVERIFY(InkNear(Saved(snap.editor), { 45, 45 }, Qt::red));
}

void tst_ScreensnapEditor::savedPictureIsWhatTheViewShows_data()
{
    QTest::addColumn<bool>("translucent");
    QTest::addColumn<bool>("cropped");
    QTest::newRow("opaque") << false << false;
    QTest::newRow("opaque, cropped") << false << true;
    QTest::newRow("translucent at the top") << true << false;
}

// The saved picture is what the view shows, pixel for pixel, with an object of every kind on
// it; only the crop frame, which the view draws along the edges, is left out. The first starts
// from a copy of the picture made ahead while the member drew; the next, asked for at once,
// from one made there and then.
void tst_ScreensnapEditor::savedPictureIsWhatTheViewShows()
{
    QFETCH(bool, translucent);
    QFETCH(bool, cropped);
    QImage picture = Pattern(pictureSize);
    if (translucent) {
        picture = picture.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, (picture.pixel(x, y) & 0xffffff) | 0x64000000);
    }
    ScreensnapEditor editor(nullptr, QPixmap::fromImage(picture));
    editor.show();
    if (cropped)
        Draw(editor, Mode::DRAW_CROP, { { 20, 10 }, { 380, 290 } });
    editor.SetSolid(true);
    Draw(editor, Mode::DRAW_RECTANGLE, { { 30, 30 }, { 90, 70 } }, Qt::red, 3);
    Draw(editor, Mode::DRAW_ELLIPSE, { { 60, 40 }, { 160, 120 } }, QColor(255, 255, 0, 75), 5);
    editor.SetLineFlag(3);
    Draw(editor, Mode::DRAW_LINE, { { 200, 40 }, { 300, 120 } }, blue, 2);
    Draw(editor, Mode::DRAW_PEN, { { 40, 200 }, { 60, 210 }, { 90, 190 } }, Qt::green, 4);
    Draw(editor, Mode::DRAW_BLUR, { { 150, 150 }, { 220, 200 } });
    Draw(editor, Mode::DRAW_CALLOUT, { { 240, 160 }, { 300, 220 } }, Qt::magenta, 2);
    AnswerTextDialog(QStringLiteral("Callout"));
    Draw(editor, Mode::DRAW_TEXT, { { 20, 240 } }, Qt::black);
    AnswerTextDialog(QStringLiteral("Note"));
    QCOMPARE(editor.GetTotalObject(), 8);

    QTest::qWait(300);
    const QImage saved = Saved(editor);
    const QImage next = Saved(editor);
    const QImage shown = editor.grab(QRect(QPoint(0, 0), saved.size()))
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(saved.size(), shown.size());
    const QRect inside = cropped ? saved.rect().adjusted(3, 3, -6, -6) : saved.rect();
    QCOMPARE(saved.copy(inside), shown.copy(inside));
    QCOMPARE(next, saved);
}

namespace {

enum class Change
{
    Nothing,
    Draw,
    Move,
    Resize,
    Undo,
    Delete,
    Text,
    Blur,
    Crop,
    Reset,
    DragUnderWay
};

void Make(ScreensnapEditor& editor, Change change)
{
    switch (change) {
    case Change::Nothing:
        break;
    case Change::Draw:
        Draw(editor, Mode::DRAW_ELLIPSE, { { 150, 60 }, { 260, 140 } }, Qt::green, 4);
        break;
    case Change::Move:
        editor.MoveObject(PTC_MOVE_DOWN, 7);
        break;
    case Change::Resize:
        editor.ResizeObject(PTC_INC_WIDTH, 9);
        break;
    case Change::Undo:
        editor.Undo();
        break;
    case Change::Delete:
        editor.DeleteLastObject();
        break;
    case Change::Text:
        Draw(editor, Mode::DRAW_TEXT, { { 30, 200 } }, Qt::black);
        AnswerTextDialog(QStringLiteral("Later"));
        break;
    case Change::Blur:
        Draw(editor, Mode::DRAW_BLUR, { { 100, 150 }, { 190, 230 } });
        break;
    case Change::Crop:
        Draw(editor, Mode::DRAW_CROP, { { 25, 15 }, { 370, 280 } });
        break;
    case Change::Reset:
        editor.ResetPicture();
        break;
    case Change::DragUnderWay:
        editor.SetCurrentDrawTool(Mode::DRAW_RECTANGLE);
        Mouse(editor, QEvent::MouseButtonPress, { 200, 50 });
        Mouse(editor, QEvent::MouseMove, { 280, 120 });
        break;
    }
}

// The saved picture against what the view shows, but for the edges under the crop frame.
void CompareWithView(ScreensnapEditor& editor, const QImage& saved)
{
    const QImage shown = editor.grab(QRect(QPoint(0, 0), saved.size()))
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(saved.size(), shown.size());
    const QRect inside
        = editor.GetIsScreenCroped() ? saved.rect().adjusted(3, 3, -6, -6) : saved.rect();
    QCOMPARE(saved.copy(inside), shown.copy(inside));
}

} // namespace

void tst_ScreensnapEditor::savedPictureFollowsEveryChange_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Change>("change");
    const QList<QPair<const char*, Change>> changes { { "nothing", Change::Nothing },
        { "a new object", Change::Draw }, { "a move", Change::Move },
        { "a resize", Change::Resize }, { "an undo", Change::Undo },
        { "a delete", Change::Delete }, { "a text", Change::Text }, { "a blur", Change::Blur },
        { "a crop", Change::Crop }, { "a reset", Change::Reset },
        { "a drag under way", Change::DragUnderWay } };
    for (const auto& [name, change] : changes)
        QTest::newRow(name) << pictureSize << change;
    // The test screen is 800x600.
    for (Change change : { Change::Draw, Change::Crop })
        QTest::addRow("larger than the screen, %s",
            std::find_if(changes.begin(), changes.end(), [&](auto c) { return c.second == change; })
                ->first)
            << QSize(1300, 1000) << change;
}

// The next saved picture is made ahead once the drawing rests a tenth of a second, over the one
// made before it when a change outdates it: handed over once it was made ahead again after any
// change, or right after a change, it is what the view shows, pixel for pixel.
void tst_ScreensnapEditor::savedPictureFollowsEveryChange()
{
    QFETCH(QSize, size);
    QFETCH(Change, change);
    ScreensnapEditor editor(nullptr, QPixmap::fromImage(Pattern(size)));
    editor.show();
    Draw(editor, Mode::DRAW_PEN, { { 40, 40 }, { 90, 60 }, { 60, 120 } }, Qt::green, 4);
    Draw(editor, Mode::DRAW_BLUR, { { 180, 30 }, { 240, 90 } });
    Draw(editor, Mode::DRAW_TEXT, { { 250, 250 } }, Qt::black);
    AnswerTextDialog(QStringLiteral("Note"));
    editor.SetLineFlag(3);
    Draw(editor, Mode::DRAW_LINE, { { 300, 40 }, { size.width() - 20, size.height() - 20 } },
        blue, 3);
    Draw(editor, Mode::DRAW_RECTANGLE, { { 60, 150 }, { 220, 210 } }, QColor(255, 0, 0, 90), 5);
    QTest::qWait(150);

    Make(editor, change);
    QTest::qWait(150);
    CompareWithView(editor, Saved(editor));
    Draw(editor, Mode::DRAW_ELLIPSE, { { 20, 20 }, { 70, 50 } }, blue, 2);
    CompareWithView(editor, Saved(editor));
}

void tst_ScreensnapEditor::emptySelectionChangesNothing_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<Points>("path");
    for (int tool : { int(Mode::DRAW_BLUR), int(Mode::DRAW_CROP) }) {
        const char* name = tool == Mode::DRAW_BLUR ? "blur" : "crop";
        QTest::addRow("%s click", name) << tool << Points { { 50, 50 } };
        QTest::addRow("%s without width", name) << tool << Points { { 50, 50 }, { 50, 120 } };
        QTest::addRow("%s without height", name) << tool << Points { { 50, 50 }, { 150, 50 } };
        QTest::addRow("%s beside the picture", name)
            << tool << Points { { -80, -60 }, { -10, -5 } };
    }
}

void tst_ScreensnapEditor::emptySelectionChangesNothing()
{
    QFETCH(int, tool);
    QFETCH(Points, path);

    Snap snap;
    QSignalSpy cropSpy(&snap.editor, &ScreensnapEditor::ScreenCrop);
    Draw(snap.editor, Mode(tool), path);

    QCOMPARE(snap.editor.GetTotalObject(), 0);
    QCOMPARE(cropSpy.count(), 0);
    QVERIFY(!snap.editor.GetIsScreenCroped());
    QCOMPARE(snap.editor.size(), pictureSize);
    QCOMPARE(Saved(snap.editor), snap.picture);
}

void tst_ScreensnapEditor::blurSoftensThePatchOnly_data()
{
    QTest::addColumn<QRect>("crop");
    QTest::addColumn<Points>("path");
    QTest::addColumn<QRect>("patch");
    QTest::newRow("inside the picture")
        << QRect() << Points { { 100, 100 }, { 160, 140 } } << QRect(100, 100, 60, 40);
    QTest::newRow("at the picture's edge")
        << QRect() << Points { { 350, 250 }, { 450, 350 } } << QRect(350, 250, 50, 50);
    QTest::newRow("after a crop") << QRect(40, 30, 200, 160) << Points { { 60, 70 }, { 120, 110 } }
                                  << QRect(60, 70, 60, 40);
}

void tst_ScreensnapEditor::blurSoftensThePatchOnly()
{
    QFETCH(QRect, crop);
    QFETCH(Points, path);
    QFETCH(QRect, patch);

    Snap snap;
    QImage base = snap.picture;
    if (!crop.isNull()) {
        Draw(snap.editor, Mode::DRAW_CROP,
            { crop.topLeft(), crop.topLeft() + QPoint(crop.width(), crop.height()) });
        base = snap.picture.copy(crop);
    }
    Draw(snap.editor, Mode::DRAW_BLUR, path);

    QCOMPARE(snap.editor.GetTotalObject(), 1);
    const QImage saved = Saved(snap.editor);
    QCOMPARE(saved.size(), base.size());
    for (int y = 0; y < saved.height(); ++y) {
        for (int x = 0; x < saved.width(); ++x) {
            const QPoint at(x, y);
            if (!patch.contains(at)) {
                QCOMPARE(saved.pixel(at), base.pixel(at));
            } else if (x == patch.left() || x == patch.right() || y == patch.top()
                || y == patch.bottom()) {
                // No sharp checker-board pixel (blue 0 or 255) shows at the patch's edge.
                QVERIFY(qBlue(saved.pixel(at)) != 0 && qBlue(saved.pixel(at)) != 255);
            }
        }
    }
    QVERIFY(BlueVariance(saved, patch) < BlueVariance(base, patch) / 4);
    // The patch comes from the same spot of the picture (green follows y).
    QVERIFY(qAbs(Mean(saved, patch, Green) - Mean(base, patch, Green)) < 3);
}

void tst_ScreensnapEditor::resetAfterCropStartsOver()
{
    Snap snap;
    const QRect uncropped = snap.editor.geometry();
    Draw(snap.editor, Mode::DRAW_CROP, { { 40, 30 }, { 140, 90 } });
    Draw(snap.editor, Mode::DRAW_RECTANGLE, { { 10, 10 }, { 20, 20 } });
    QSignalSpy cropSpy(&snap.editor, &ScreensnapEditor::ScreenCrop);

    snap.editor.ResetPicture();
    QCOMPARE(cropSpy.count(), 1);
    QCOMPARE(cropSpy.first().first().toBool(), false);
    QVERIFY(!snap.editor.GetIsScreenCroped());
    QCOMPARE(snap.editor.GetTotalObject(), 0);
    QCOMPARE(snap.editor.geometry(), uncropped);
    QCOMPARE(Saved(snap.editor), snap.picture);

    // The first object drawn afterwards is in the saved picture like any other.
    Draw(snap.editor, Mode::DRAW_RECTANGLE, { { 5, 5 }, { 30, 30 } });
    QVERIFY(Is(Saved(snap.editor), { 15, 15 }, Qt::red));
}

void tst_ScreensnapEditor::undoIsLastInFirstOut()
{
    Snap snap;
    const QList<QColor> colors { Qt::red, Qt::green, blue };
    const QList<Mode> tools { Mode::DRAW_RECTANGLE, Mode::DRAW_ELLIPSE, Mode::DRAW_PEN };
    QList<QPoint> centres;
    for (int i = 0; i < 3; ++i) {
        const QPoint corner(20 + 100 * i, 20);
        Draw(snap.editor, tools[i], { corner, corner + QPoint(40, 40) }, colors[i], 9);
        centres << corner + QPoint(20, 20);
    }
    for (int drawn = 3; drawn >= 0; --drawn) {
        QCOMPARE(snap.editor.GetTotalObject(), drawn);
        const QImage saved = Saved(snap.editor);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(Is(saved, centres[i], colors[i]), i < drawn);
        snap.editor.Undo();
    }
    QCOMPARE(snap.editor.GetTotalObject(), 0);
}

void tst_ScreensnapEditor::moveAndResizeTheNewest()
{
    Snap snap;
    Draw(snap.editor, Mode::DRAW_RECTANGLE, { { 20, 20 }, { 40, 40 } });
    Draw(snap.editor, Mode::DRAW_RECTANGLE, { { 120, 80 }, { 100, 60 } }, blue);

    snap.editor.MoveObject(PTC_MOVE_RIGHT, 5);
    snap.editor.ResizeObject(PTC_INC_WIDTH, 5);
    QImage saved = Saved(snap.editor);
    QVERIFY(Is(saved, { 30, 30 }, Qt::red));
    QVERIFY(Is(saved, { 106, 61 }, blue));
    QVERIFY(Is(saved, { 129, 79 }, blue));
    QCOMPARE(saved.pixel(103, 70), snap.picture.pixel(103, 70));
    QCOMPARE(saved.pixel(132, 70), snap.picture.pixel(132, 70));

    // Shrinking past nothing keeps a pixel-high shape that can grow back.
    snap.editor.ResizeObject(PTC_DEC_HEIGHT, 100);
    snap.editor.ResizeObject(PTC_INC_HEIGHT, 10);
    saved = Saved(snap.editor);
    QVERIFY(Is(saved, { 115, 65 }, blue));
    QCOMPARE(saved.pixel(115, 75), snap.picture.pixel(115, 75));
}

void tst_ScreensnapEditor::dragSurvivesCommandsMidway_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<int>("lineFlag");
    QTest::addColumn<QString>("midway");
    QTest::addColumn<int>("objects");
    QTest::addColumn<bool>("cropped");
    QTest::addColumn<bool>("textAsked");

    const int rect = Mode::DRAW_RECTANGLE;
    QTest::newRow("rectangle, crop chosen") << rect << 0 << "tool crop" << 1 << false << false;
    QTest::newRow("crop, pen chosen")
        << int(Mode::DRAW_CROP) << 0 << "tool pen" << 0 << true << false;
    QTest::newRow("blur, text chosen")
        << int(Mode::DRAW_BLUR) << 0 << "tool text" << 1 << false << false;
    QTest::newRow("callout, rectangle chosen")
        << int(Mode::DRAW_CALLOUT) << 0 << "tool rectangle" << 1 << false << true;
    QTest::newRow("arrow line, plain line chosen")
        << int(Mode::DRAW_LINE) << 3 << "plain line" << 1 << false << false;
    QTest::newRow("pen, undo") << int(Mode::DRAW_PEN) << 0 << "undo" << 0 << false << false;
    QTest::newRow("blur, undo") << int(Mode::DRAW_BLUR) << 0 << "undo" << 0 << false << false;
    QTest::newRow("callout, delete")
        << int(Mode::DRAW_CALLOUT) << 0 << "delete" << 0 << false << false;
    QTest::newRow("crop, reset") << int(Mode::DRAW_CROP) << 0 << "reset" << 0 << false << false;
    QTest::newRow("ellipse, reset")
        << int(Mode::DRAW_ELLIPSE) << 0 << "reset" << 0 << false << false;
}

void tst_ScreensnapEditor::dragSurvivesCommandsMidway()
{
    QFETCH(int, tool);
    QFETCH(int, lineFlag);
    QFETCH(QString, midway);
    QFETCH(int, objects);
    QFETCH(bool, cropped);
    QFETCH(bool, textAsked);

    const QMap<QString, std::function<void(ScreensnapEditor&)>> commands {
        { "tool crop",
            [](ScreensnapEditor& e) {
                e.SetCurrentDrawTool(Mode::DRAW_CROP);
            } },
        { "tool pen",
            [](ScreensnapEditor& e) {
                e.SetCurrentDrawTool(Mode::DRAW_PEN);
            } },
        { "tool text",
            [](ScreensnapEditor& e) {
                e.SetCurrentDrawTool(Mode::DRAW_TEXT);
            } },
        { "tool rectangle",
            [](ScreensnapEditor& e) {
                e.SetCurrentDrawTool(Mode::DRAW_RECTANGLE);
            } },
        { "plain line",
            [](ScreensnapEditor& e) {
                e.SetLineFlag(0);
            } },
        { "undo",
            [](ScreensnapEditor& e) {
                e.Undo();
            } },
        { "delete",
            [](ScreensnapEditor& e) {
                e.DeleteLastObject();
            } },
        { "reset",
            [](ScreensnapEditor& e) {
                e.ResetPicture();
            } },
    };

    Snap snap;
    snap.editor.SetCurrentDrawTool(Mode(tool));
    snap.editor.SetLineFlag(lineFlag);
    Mouse(snap.editor, QEvent::MouseButtonPress, { 50, 50 });
    Mouse(snap.editor, QEvent::MouseMove, { 80, 90 });
    commands[midway](snap.editor);
    Mouse(snap.editor, QEvent::MouseMove, { 120, 130 });
    Mouse(snap.editor, QEvent::MouseButtonRelease, { 120, 130 });

    QCOMPARE(snap.editor.GetTotalObject(), objects);
    QCOMPARE(snap.editor.GetIsScreenCroped(), cropped);
    QCOMPARE(ShownTextDialog() != nullptr, textAsked);
    QCOMPARE(Saved(snap.editor).size(), cropped ? QSize(70, 80) : pictureSize);
    if (textAsked)
        ShownTextDialog()->close();
    snap.editor.Undo();
    snap.editor.ResetPicture();
    QCOMPARE(Saved(snap.editor), snap.picture);
}

void tst_ScreensnapEditor::formatDialogIsForgottenWhenClosed()
{
    Snap snap;
    snap.editor.FormatLastObject();
    QPointer<ObjectControl> first = snap.editor.GetObjectControl();
    QVERIFY(first && first->isVisible());

    snap.editor.FormatLastObject();
    QVERIFY(!first);
    QPointer<ObjectControl> second = snap.editor.GetObjectControl();
    QVERIFY(second);
    second->close();
    QTRY_VERIFY(!snap.editor.GetObjectControl());
    // Nothing is left to delete twice.
    snap.editor.FormatLastObject();
}

QTEST_MAIN(tst_ScreensnapEditor)
#include "tst_screensnapeditor.moc"
