#include "../DesignFont.h"
#include "NoticePopup.h"
#include "PaintTools.h"
#include "PasswordSet.h"
#include "ScreenSnapSaveDialog.h"
#include "ScreenSnapWidget.h"
#include "SettingsProvider.h"
#include "SnapFixture.h"
#include "popupWindow.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyle>
#include <QTextEdit>
#include <QWindow>
#include <QtTest>

namespace {

const QSize pictureSize(320, 240);
// The rectangle every test draws, in the picture's coordinates.
const QRect drawn(40, 30, 100, 60);

using SnapFixture::Part;

QAction* MenuEntry(PaintTools& tools, const char* key)
{
    const QList<QAction*> actions = tools.GetContextMenu().actions();
    for (QAction* action : actions)
        if (action->property("toolName").toString() == QLatin1String(key))
            return action;
    return nullptr;
}

void KeyRelease(ScreensnapEditor* editor, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QKeyEvent event(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(editor, &event);
}

// A key pressed and released on the picture.
void Type(ScreensnapEditor* editor, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(editor, &press);
    KeyRelease(editor, key);
}

QImage Decoded(const QByteArray& png)
{
    return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
}

// What the program writes to the terminal while it is set, instead of writing it.
QStringList printed;
void KeepPrinted(QtMsgType, const QMessageLogContext&, const QString& message)
{
    // The offscreen platform of the tests says what it cannot do (raise a window, say); a
    // member's desktop does not print that.
    if (!message.startsWith(QLatin1String("This plugin does not support")))
        printed << message;
}

// The messages a dialog shows without blocking; each is closed once read.
QStringList TakeMessages(QWidget* parent)
{
    QStringList texts;
    const QList<QMessageBox*> boxes = parent->findChildren<QMessageBox*>();
    for (QMessageBox* box : boxes) {
        if (!box->isVisible())
            continue;
        texts << box->text();
        box->close();
    }
    return texts;
}

// A snap window on the test picture with a red rectangle drawn, as the member leaves it. Its
// host shows the notices as the main window's hub does, and counts the preferences asked for.
struct DrawnSnap
{
    explicit DrawnSnap(const QString& company = "Atlas")
        : window(new ScreenSnapWidget(nullptr,
            QPixmap::fromImage(SnapFixture::Pattern(pictureSize)), "demo", company, 11, Host()))
    {
        window->show();
        editor = window->GetEditor();
        Type(editor, Qt::Key_R);
        SnapFixture::Drag(*editor, { drawn.topLeft(), drawn.center(), drawn.bottomRight() });
        drawnPicture = SnapFixture::Saved(*editor);
    }
    ~DrawnSnap() { delete window; }

    ScreenSnapHost Host()
    {
        ScreenSnapHost host;
        host.showPreferences = [this] {
            ++preferencesAsked;
        };
        host.showNotice
            = [this](const QString& caption1, const QString& caption2, const QString& text) {
                  notices.Show(caption1, caption2, text);
              };
        return host;
    }

    // Escape: the picture goes to a new save dialog.
    ScreenSnapSaveDialog* Finish()
    {
        Type(editor, Qt::Key_Escape);
        return window->GetSaveDialog();
    }

    NoticePopup notices;
    int preferencesAsked = 0;
    QPointer<ScreenSnapWidget> window;
    ScreensnapEditor* editor = nullptr;
    QImage drawnPicture;
};

} // namespace

class tst_SnapWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void captionsFitTheirWidgets();
    void keysActOnRelease_data();
    void keysActOnRelease();
    void undoEntriesFollowTheObjects();
    void uploadSendsTheDrawnPicture_data();
    void uploadSendsTheDrawnPicture();
    void savesToTheDesktopWithoutReplacing();
    void saveElsewhereAndClipboard();
    void escapeDiscardAndDrawAgain_data();
    void escapeDiscardAndDrawAgain();
    void passwordDialogAsksTwice_data();
    void passwordDialogAsksTwice();
};

void tst_SnapWindow::initTestCase()
{
    Q_INIT_RESOURCE(Res);
    UseDesignFont();
    SettingsProvider::SETTINGS settings;
    settings.soundMode = 0;
    SettingsProvider::instance()->SetCurrentSettings(settings);
}

// The forms keep their absolute geometry: every caption must still be whole in its widget, in
// the desktop's usual 9-point face (the test platform's own default is larger).
void tst_SnapWindow::captionsFitTheirWidgets()
{
    const QFont before = QApplication::font();
    UseDesignFont();
    PaintTools tools;
    PasswordSet password;
    ScreenSnapSaveDialog save(QPixmap(10, 10));
    const QList<QWidget*> dialogs { &tools, &password, &save };
    const QList<QSize> sizes { { 301, 71 }, { 325, 108 }, { 381, 440 } };
    for (QWidget* dialog : dialogs) {
        QCOMPARE(dialog->size(), sizes.at(dialogs.indexOf(dialog)));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        const QList<QWidget*> widgets = dialog->findChildren<QWidget*>();
        for (QWidget* widget : widgets) {
            int needed = 0;
            if (auto* label = qobject_cast<QLabel*>(widget))
                needed = label->fontMetrics().horizontalAdvance(label->text());
            else if (auto* radio = qobject_cast<QRadioButton*>(widget))
                needed = radio->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth)
                    + radio->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing)
                    + radio->fontMetrics().horizontalAdvance(radio->text());
            else if (auto* button = qobject_cast<QPushButton*>(widget))
                needed = button->fontMetrics().horizontalAdvance(button->text()) + 12;
            QVERIFY2(needed <= widget->width(),
                qPrintable(widget->objectName() + QString(" needs %1").arg(needed)));
        }
    }
    QApplication::setFont(before);
}

void tst_SnapWindow::keysActOnRelease_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("tool");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("objects"); // left of the one drawn

    const int ctrl = Qt::ControlModifier;
    const int shift = Qt::ShiftModifier;
    QTest::newRow("E") << int(Qt::Key_E) << 0 << 3 << "Tool: ellipse" << 1;
    QTest::newRow("C") << int(Qt::Key_C) << 0 << 5 << "Tool: callout" << 1;
    QTest::newRow("T") << int(Qt::Key_T) << 0 << 4 << "Tool: text" << 1;
    QTest::newRow("L") << int(Qt::Key_L) << 0 << 1 << "Tool: line" << 1;
    QTest::newRow("P") << int(Qt::Key_P) << 0 << 0 << "Tool: pen" << 1;
    QTest::newRow("Shift+R") << int(Qt::Key_R) << shift << 2 << "Tool: rectangle" << 1;
    QTest::newRow("Ctrl+R resets") << int(Qt::Key_R) << ctrl << 2 << "Tool: rectangle" << 0;
    QTest::newRow("Ctrl+Z undoes") << int(Qt::Key_Z) << ctrl << 2 << "Tool: rectangle" << 0;
    QTest::newRow("Z alone") << int(Qt::Key_Z) << 0 << 2 << "Tool: rectangle" << 1;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << 2 << "Tool: rectangle" << 0;
}

void tst_SnapWindow::keysActOnRelease()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    DrawnSnap snap;
    PaintTools& tools = snap.window->GetToolBox();
    MenuEntry(tools, "deleteLastObject")->setEnabled(true);
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    QApplication::sendEvent(snap.editor, &press);
    QCOMPARE(snap.editor->GetCurrentDrawTool(), ScreensnapEditor::DRAW_RECTANGLE);
    KeyRelease(snap.editor, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTEST(int(snap.editor->GetCurrentDrawTool()), "tool");
    QTEST(Part<QLabel>(&tools, "lblCurrentTool")->text(), "label");
    QTEST(snap.editor->GetTotalObject(), "objects");
    QVERIFY(snap.window->isVisible());
}

void tst_SnapWindow::undoEntriesFollowTheObjects()
{
    DrawnSnap snap;
    PaintTools& tools = snap.window->GetToolBox();
    QTRY_VERIFY(MenuEntry(tools, "deleteLastObject")->isEnabled());
    QVERIFY(MenuEntry(tools, "undoTool")->isEnabled());
    MenuEntry(tools, "undoTool")->trigger();
    QCOMPARE(snap.editor->GetTotalObject(), 0);
    QTRY_VERIFY(!MenuEntry(tools, "undoTool")->isEnabled());
    QVERIFY(!MenuEntry(tools, "deleteLastObject")->isEnabled());

    // A crop disables "Crop" and brings the pen back.
    MenuEntry(tools, "crop")->trigger();
    SnapFixture::Drag(*snap.editor, { QPoint(10, 10), QPoint(110, 90) });
    QVERIFY(snap.editor->GetIsScreenCroped());
    QVERIFY(!MenuEntry(tools, "crop")->isEnabled());
    QVERIFY(MenuEntry(tools, "pen")->isChecked());
    QCOMPARE(snap.editor->GetCurrentDrawTool(), ScreensnapEditor::DRAW_PEN);
    QCOMPARE(snap.window->size(), QSize(100, 80));
    // Window managers keep the tool box above the window, full screen or not.
    QCOMPARE(tools.windowHandle()->transientParent(), snap.window->windowHandle());
}

void tst_SnapWindow::uploadSendsTheDrawnPicture_data()
{
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("choice"); // the permission clicked, empty for the default
    QTest::addColumn<QString>("password"); // set through "Set..." before the upload
    QTest::addColumn<bool>("uploaded");
    QTest::addColumn<int>("permission");
    QTest::addColumn<QString>("sentPassword");

    QTest::newRow("team by default") << "Atlas"
                                     << ""
                                     << "" << true << 1 << "";
    QTest::newRow("public") << "Atlas"
                            << "radioPublic"
                            << "" << true << 0 << "";
    QTest::newRow("password") << "Atlas"
                              << "radioPassword"
                              << "s3cret" << true << 2 << "s3cret";
    QTest::newRow("team keeps the password home") << "Atlas"
                                                  << "radioTeam"
                                                  << "s3cret" << true << 1 << "";
    QTest::newRow("password not set asks for it") << "Atlas"
                                                  << "radioPassword"
                                                  << "" << false << 0 << "";
    QTest::newRow("no team: the member chooses") << ""
                                                 << ""
                                                 << "" << false << 0 << "";
    QTest::newRow("no team: public chosen") << ""
                                            << "radioPublic"
                                            << "" << true << 0 << "";
}

void tst_SnapWindow::uploadSendsTheDrawnPicture()
{
    QFETCH(QString, company);
    QFETCH(QString, choice);
    QFETCH(QString, password);
    QFETCH(bool, uploaded);
    DrawnSnap snap(company);
    QSignalSpy requests(snap.window.data(), &ScreenSnapWidget::screenIsReady);
    ScreenSnapSaveDialog* dialog = snap.Finish();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(!snap.window->GetToolBox().isVisible());
    // The window goes once the dialog is up over it.
    QTRY_VERIFY(!snap.window->isVisible());
    QCOMPARE(Part<QLineEdit>(dialog, "txtUserName")->text(), QString("demo"));
    QCOMPARE(Part<QLineEdit>(dialog, "txtTeamName")->text(), company);
    QCOMPARE(Part<QRadioButton>(dialog, "radioTeam")->isEnabled(), !company.isEmpty());
    QCOMPARE(Part<QRadioButton>(dialog, "radioTeam")->isChecked(), !company.isEmpty());
    QVERIFY(!Part<QRadioButton>(dialog, "radioPublic")->isChecked());
    QVERIFY(!Part<QLineEdit>(dialog, "txtPassword")->isEnabled());

    Part<QLineEdit>(dialog, "txtTitle")->setText("Checkout bug");
    Part<QTextEdit>(dialog, "txtDescription")->setPlainText("The total is wrong");
    if (!password.isEmpty()) {
        QTest::mouseClick(Part<QPushButton>(dialog, "btnSetPassword"), Qt::LeftButton);
        auto* ask = dialog->findChild<PasswordSet*>();
        QVERIFY(ask->isVisible());
        QTest::keyClicks(Part<QLineEdit>(ask, "txtPassword"), password);
        QTest::keyClicks(Part<QLineEdit>(ask, "txtPassword2"), password);
        QTest::mouseClick(Part<QPushButton>(ask, "btnOK"), Qt::LeftButton);
        QVERIFY(!ask->isVisible());
    }
    if (!choice.isEmpty())
        QTest::mouseClick(Part<QRadioButton>(dialog, qPrintable(choice)), Qt::LeftButton);
    QTest::mouseClick(Part<QPushButton>(dialog, "btnUpload"), Qt::LeftButton);

    if (!uploaded) {
        QCOMPARE(requests.count(), 0);
        QVERIFY(dialog->isVisible());
        if (company.isEmpty())
            QCOMPARE(TakeMessages(dialog),
                QStringList { "Choose who may see this screensnap: Public or Password." });
        else
            QVERIFY(dialog->findChild<PasswordSet*>()->isVisible());
        return;
    }
    QCOMPARE(requests.count(), 1);
    const QList<QVariant> request = requests.takeFirst();
    QCOMPARE(request.at(0).toString(), QString("Checkout bug"));
    QCOMPARE(request.at(1).toString(), QString("The total is wrong"));
    QTEST(request.at(2).toInt(), "permission");
    QTEST(request.at(3).toString(), "sentPassword");
    const QImage sent = Decoded(request.at(4).toByteArray());
    QCOMPARE(sent, snap.drawnPicture);
    QCOMPARE(sent.pixel(drawn.center()), qRgb(255, 0, 0));
    QVERIFY(!dialog->isVisible());
    QTRY_VERIFY(snap.window.isNull());
}

void tst_SnapWindow::savesToTheDesktopWithoutReplacing()
{
    // First the desktop folder cannot be made (a file stands in its place): a warning, and the
    // dialog keeps the picture for the next try.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QDir(desktop).removeRecursively();
    QFile blocker(desktop);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QStringList stems;
    for (int round = 0; round < 2; ++round) {
        DrawnSnap snap;
        ScreenSnapSaveDialog* dialog = snap.Finish();
        QSignalSpy saved(dialog, &ScreenSnapSaveDialog::ScreenSaved);
        Part<QLineEdit>(dialog, "txtTitle")->setText(QString::fromUtf8("Ωμέγα: a/b\\c"));
        auto* save = Part<QPushButton>(dialog, "btnSaveToDesktop");
        const QString date = Part<QLineEdit>(dialog, "txtCurrentDate")->text();
        if (round == 0) {
            QTest::mouseClick(save, Qt::LeftButton);
            const QStringList messages = TakeMessages(dialog);
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().startsWith("The screensnap could not be saved to "),
                qPrintable(messages.first()));
            QVERIFY(dialog->isVisible() && !snap.window.isNull());
            QCOMPARE(saved.count(), 0);
            QVERIFY(QFile::remove(desktop));
        }
        // A picture saved as asked leaves nothing on the terminal.
        printed.clear();
        const QtMessageHandler before = qInstallMessageHandler(KeepPrinted);
        QTest::mouseClick(save, Qt::LeftButton);
        qInstallMessageHandler(before);
        QCOMPARE(printed, QStringList());
        QCOMPARE(saved.count(), 1);
        QTRY_VERIFY(snap.window.isNull());
        stems << QString::fromUtf8("Ωμέγα abc(") + QString(date).replace(':', '.') + ")";
    }
    // Both pictures are kept, the second under a name of its own (the rounds may straddle a
    // minute, then their dates tell them apart).
    const QStringList files = QDir(desktop).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 2);
    QVERIFY(files.contains(stems.at(0) + ".png"));
    QVERIFY(files.contains(stems.at(1) + ".png") || files.contains(stems.at(1) + " (2).png"));
    for (const QString& file : files)
        QCOMPARE(QImage(QDir(desktop).filePath(file)).pixel(drawn.center()), qRgb(255, 0, 0));
}

void tst_SnapWindow::saveElsewhereAndClipboard()
{
    DrawnSnap snap;
    ScreenSnapSaveDialog* dialog = snap.Finish();
    QSignalSpy saved(dialog, &ScreenSnapSaveDialog::ScreenSaved);

    // The thumbnail looks as the box holding the whole picture and scaling it looks.
    auto* thumbnail = Part<QLabel>(dialog, "lblPicture");
    QTRY_VERIFY(thumbnail->pixmap() && !thumbnail->pixmap()->isNull());
    QLabel whole;
    whole.setFrameShape(thumbnail->frameShape());
    whole.setScaledContents(true);
    whole.setPixmap(QPixmap::fromImage(snap.drawnPicture));
    whole.resize(thumbnail->size());
    const auto shown = [](QLabel& box) {
        return box.grab(box.contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
    };
    QCOMPARE(shown(*thumbnail), shown(whole));

    // Copying leaves the dialog open, with a notice.
    QTest::mouseClick(Part<QPushButton>(dialog, "btnCopyToClipboard"), Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
        snap.drawnPicture);
    QStringList notices;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* popup = qobject_cast<popupWindow*>(window); popup && popup->isVisible())
            notices << Part<QLabel>(popup, "lblPopupText")->text();
    QVERIFY2(notices.contains("Image has been copied to clipboard"), qPrintable(notices.join('|')));
    QVERIFY(dialog->isVisible());

    // The preferences are the host's (the main window's, tst_snapactions): asked for, they
    // leave the dialog open.
    QTest::mouseClick(Part<QPushButton>(dialog, "btnPreferences"), Qt::LeftButton);
    QCOMPARE(snap.preferencesAsked, 1);
    QVERIFY(dialog->isVisible());

    // "Save..." cancelled leaves it open; a name saves there, whatever its extension.
    QTest::mouseClick(Part<QPushButton>(dialog, "btnSave"), Qt::LeftButton);
    QPointer<QFileDialog> chooser = dialog->findChild<QFileDialog*>();
    QVERIFY(chooser && chooser->isVisible());
    chooser->reject();
    QTRY_VERIFY(chooser.isNull());
    QVERIFY(dialog->isVisible());
    QCOMPARE(saved.count(), 0);
    const QString answer = QDir::home().filePath("snaps/elsewhere.img");
    QTest::mouseClick(Part<QPushButton>(dialog, "btnSave"), Qt::LeftButton);
    chooser = dialog->findChild<QFileDialog*>();
    chooser->selectFile(answer);
    static_cast<QDialog*>(chooser.data())->accept(); // public in QDialog
    QCOMPARE(saved.count(), 1);
    QCOMPARE(Decoded([&] {
        QFile file(answer);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }()),
        snap.drawnPicture);
    QTRY_VERIFY(snap.window.isNull());
}

void tst_SnapWindow::escapeDiscardAndDrawAgain_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("close button") << "close";
    QTest::newRow("Discard") << "btnDiscard";
}

void tst_SnapWindow::escapeDiscardAndDrawAgain()
{
    QFETCH(QString, how);
    DrawnSnap snap;
    // Three rounds of drawing more, each ending in a new save dialog with the whole drawing.
    for (int round = 1; round <= 3; ++round) {
        ScreenSnapSaveDialog* dialog = snap.Finish();
        QVERIFY(dialog->isVisible());
        QCOMPARE(Part<QTextEdit>(dialog, "txtDescription")->toPlainText(), QString());
        QCOMPARE(Part<QLineEdit>(dialog, "txtTitle")->text(), QString("Whole desktop"));
        QTest::mouseClick(Part<QPushButton>(dialog, "btnDraw"), Qt::LeftButton);
        QVERIFY(snap.window->isVisible());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(snap.editor->GetTotalObject(), round);
        SnapFixture::Drag(*snap.editor, { QPoint(5, 5 + round * 10), QPoint(50, 50) });
    }
    // The frame's blinking and the undo entries' check, each once; drawn on before it went, the
    // window is not put away any more.
    int running = 0;
    const QList<QTimer*> timers
        = snap.window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    for (const QTimer* timer : timers)
        running += timer->isActive();
    QCOMPARE(running, 2);

    ScreenSnapSaveDialog* dialog = snap.Finish();
    QCOMPARE(snap.editor->GetTotalObject(), 4);
    QSignalSpy discarded(dialog, &ScreenSnapSaveDialog::ScreenDiscarded);
    if (how == "Escape")
        QTest::keyClick(dialog, Qt::Key_Escape);
    else if (how == "close")
        dialog->close();
    else
        QTest::mouseClick(Part<QPushButton>(dialog, qPrintable(how)), Qt::LeftButton);
    QCOMPARE(discarded.count(), 1);
    QVERIFY(!dialog->isVisible());
    QTRY_VERIFY(snap.window.isNull());
}

void tst_SnapWindow::passwordDialogAsksTwice_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("warning"); // empty: accepted

    QTest::newRow("same") << "Tr0ub4dor"
                          << "Tr0ub4dor"
                          << "";
    QTest::newRow("a single space") << " "
                                    << " "
                                    << "";
    QTest::newRow("different case") << "Secret"
                                    << "secret"
                                    << "Passwords are different!";
    QTest::newRow("empty confirmation") << "Secret"
                                        << ""
                                        << "Password can not be empty!";
    QTest::newRow("both empty") << ""
                                << ""
                                << "Password can not be empty!";
}

void tst_SnapWindow::passwordDialogAsksTwice()
{
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(QString, warning);
    PasswordSet dialog;
    QCOMPARE(dialog.size(), QSize(325, 108));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QSignalSpy accepted(&dialog, &PasswordSet::SetPasswordSignal);
    for (int showing = 0; showing < 2; ++showing) {
        dialog.show();
        // Every showing starts empty.
        QCOMPARE(Part<QLineEdit>(&dialog, "txtPassword")->text(), QString());
        QCOMPARE(Part<QLineEdit>(&dialog, "txtPassword2")->text(), QString());
        QTest::keyClicks(Part<QLineEdit>(&dialog, "txtPassword"), password);
        QTest::keyClicks(Part<QLineEdit>(&dialog, "txtPassword2"), confirmation);
        QTest::mouseClick(Part<QPushButton>(&dialog, "btnOK"), Qt::LeftButton);
        if (warning.isEmpty()) {
            QCOMPARE(accepted.count(), showing + 1);
            QCOMPARE(accepted.last().at(0).toString(), password);
            QVERIFY(!dialog.isVisible());
            continue;
        }
        QCOMPARE(TakeMessages(&dialog), QStringList { warning });
        QVERIFY(dialog.isVisible());
        QCOMPARE(Part<QLineEdit>(&dialog, "txtPassword")->text(), QString());
        QCOMPARE(Part<QLineEdit>(&dialog, "txtPassword2")->text(), QString());
        QCOMPARE(accepted.count(), 0);
        QTest::mouseClick(Part<QPushButton>(&dialog, "btnCancel"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }
}

QTEST_MAIN(tst_SnapWindow)
#include "tst_snapwindow.moc"
