#include "../DesignFont.h"
#include "ObjectControl.h"
#include "SnapFixture.h"
#include "textTool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

using SnapFixture::Part;

using Command = ObjectControl::OBJECT_CONTROL_COMMAND;

} // namespace

class tst_SnapDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formsKeepTheirShape();
    void textToolInitKeepsBoxesAndFontTogether();
    void textToolSizeIsBounded_data();
    void textToolSizeIsBounded();
    void textToolResult_data();
    void textToolResult();
    void objectControlStartsWithColourAndWidthOnly();
    void objectControlSendsItsCommands_data();
    void objectControlSendsItsCommands();
    void objectControlColour_data();
    void objectControlColour();
};

void tst_SnapDialogs::initTestCase()
{
    UseDesignFont();
    qRegisterMetaType<textTool::TEXT_PROPERTY>();
    qRegisterMetaType<ObjectControl::OBJECT_CONTROL_COMMAND>();
}

void tst_SnapDialogs::formsKeepTheirShape()
{
    textTool text;
    QCOMPARE(text.size(), QSize(505, 232));
    QCOMPARE(text.minimumSize(), text.maximumSize());
    QVERIFY(text.isModal());
    QCOMPARE(text.windowTitle(), QStringLiteral("Text - Zembo Clone Screensnap"));
    QCOMPARE(Part<QPushButton>(text, "btnOK")->geometry(), QRect(330, 200, 81, 23));
    QCOMPARE(Part<QLabel>(text, "lblTestText")->parentWidget()->objectName(),
        QStringLiteral("groupBox"));

    ObjectControl format;
    QCOMPARE(format.size(), QSize(698, 366));
    QCOMPARE(format.windowTitle(), QStringLiteral("Last object format"));
    QCOMPARE(format.windowModality(), Qt::WindowModal);
    QVERIFY(format.testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(Part<QPushButton>(format, "btnIncH5px")->text(), QStringLiteral("Inc H (1 px)"));
    QCOMPARE(Part<QPushButton>(format, "btnClose")->geometry(), QRect(590, 340, 101, 23));
    // The width field takes two digits at most.
    QLineEdit* width = Part<QLineEdit>(format, "txtPenWidth");
    width->clear();
    QTest::keyClicks(width, QStringLiteral("123"));
    QCOMPARE(width->text(), QStringLiteral("12"));
}

void tst_SnapDialogs::textToolInitKeepsBoxesAndFontTogether()
{
    textTool dialog;
    Part<QCheckBox>(dialog, "chkBold")->click();
    Part<QCheckBox>(dialog, "chkStrike")->click();
    Part<QPlainTextEdit>(dialog, "txtUserText")->setPlainText(QStringLiteral("old"));
    Part<QComboBox>(dialog, "cmbFontSize")->setEditText(QStringLiteral("24"));

    dialog.Init();
    QSignalSpy done(&dialog, &textTool::TextEditCompleted);
    Part<QPushButton>(dialog, "btnOK")->click();
    const auto result = done.first().first().value<textTool::TEXT_PROPERTY>();
    QVERIFY(Part<QCheckBox>(dialog, "chkBold")->isChecked());
    QCOMPARE(result.font.bold(), true);
    QCOMPARE(result.font.strikeOut(), true);
    QCOMPARE(result.font.italic(), false);
    QCOMPARE(result.font.underline(), false);
    QCOMPARE(result.font.pointSize(), 6);
    QCOMPARE(Part<QComboBox>(dialog, "cmbFontSize")->currentText(), QStringLiteral("6"));
    QCOMPARE(result.text, QString());
    QCOMPARE(Part<QLabel>(dialog, "lblTestText")->font().toString(), result.font.toString());
}

void tst_SnapDialogs::textToolSizeIsBounded_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("points");
    QTest::newRow("number") << "14" << 14;
    QTest::newRow("not a number") << "abc" << QFont().pointSize();
    QTest::newRow("zero") << "0" << QFont().pointSize();
    QTest::newRow("negative") << "-5" << int(textTool::minFontSize);
    QTest::newRow("huge") << "100000" << int(textTool::maxFontSize);
}

void tst_SnapDialogs::textToolSizeIsBounded()
{
    QFETCH(QString, typed);
    QFETCH(int, points);
    textTool dialog;
    QSignalSpy done(&dialog, &textTool::TextEditCompleted);
    Part<QComboBox>(dialog, "cmbFontSize")->setEditText(typed);
    Part<QPushButton>(dialog, "btnOK")->click();
    QCOMPARE(done.first().first().value<textTool::TEXT_PROPERTY>().font.pointSize(), points);
}

void tst_SnapDialogs::textToolResult_data()
{
    QTest::addColumn<bool>("contrast");
    QTest::addColumn<bool>("callout");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("sampleStyle");
    QTest::addColumn<QColor>("backColor");
    const QString contrastStyle
        = QStringLiteral("background-color: rgb(0, 255, 255);\r\nborder-color: rgb(255, 0, 0);");
    const QString plainStyle = QStringLiteral("border-color: rgb(255, 0, 0);");
    QTest::newRow("contrast") << true << false << true << contrastStyle << QColor(0, 255, 255);
    QTest::newRow("no contrast, callout") << false << true << true << plainStyle << QColor();
    QTest::newRow("cancel") << true << true << false << contrastStyle << QColor();
}

void tst_SnapDialogs::textToolResult()
{
    QFETCH(bool, contrast);
    QFETCH(bool, callout);
    QFETCH(bool, ok);
    QFETCH(QString, sampleStyle);
    QFETCH(QColor, backColor);

    textTool dialog;
    QSignalSpy done(&dialog, &textTool::TextEditCompleted);
    dialog.Init();
    if (Part<QCheckBox>(dialog, "chkContrast")->isChecked() != contrast)
        Part<QCheckBox>(dialog, "chkContrast")->click();
    dialog.SetTextColor(Qt::red);
    if (callout)
        dialog.SetIsCalloutMode();
    dialog.show();
    QCOMPARE(Part<QLabel>(dialog, "lblTestText")->styleSheet(), sampleStyle);
    Part<QPlainTextEdit>(dialog, "txtUserText")->setPlainText(QStringLiteral("two\nlines"));
    Part<QPushButton>(dialog, ok ? "btnOK" : "btnCancel")->click();

    QVERIFY(!dialog.isVisible());
    QCOMPARE(done.count(), ok ? 1 : 0);
    if (!ok)
        return;
    const auto result = done.first().first().value<textTool::TEXT_PROPERTY>();
    QCOMPARE(done.first().last().toBool(), callout);
    QCOMPARE(result.text, QStringLiteral("two\nlines"));
    QCOMPARE(result.textColor, QColor(Qt::red));
    QCOMPARE(result.isContrast, contrast);
    QCOMPARE(result.backColor, backColor);
}

void tst_SnapDialogs::objectControlStartsWithColourAndWidthOnly()
{
    ObjectControl dialog;
    dialog.Init(QPen(QColor(10, 20, 30), 4));
    QCOMPARE(Part<QLabel>(dialog, "lblColor_2")->styleSheet(),
        QStringLiteral("background-color: rgb(10, 20, 30)"));
    QCOMPARE(Part<QLineEdit>(dialog, "txtPenWidth")->text(), QStringLiteral("4"));

    const QStringList usable { "btnSelectColor", "txtPenWidth", "chkSolid", "chkHighLight",
        "btnClose" };
    const QStringList locked { "movingGroupBox", "ResizeGroupBox", "FontGroupBox", "chkStartArrow",
        "chkEndArrow" };
    for (const QString& name : usable)
        QVERIFY2(Part<QWidget>(dialog, qPrintable(name))->isEnabled(), qPrintable(name));
    for (const QString& name : locked)
        QVERIFY2(!Part<QWidget>(dialog, qPrintable(name))->isEnabled(), qPrintable(name));

    dialog.SetMovingEnabled(true);
    dialog.SetResizeEnabled(true);
    dialog.SetFontPropertyEnabled(true);
    dialog.SetArrowChangeModeEnabled(true);
    for (const QString& name : locked)
        QVERIFY2(Part<QWidget>(dialog, qPrintable(name))->isEnabled(), qPrintable(name));
    dialog.SetColorAndWidthPropertyEnabled(false);
    QVERIFY(!Part<QWidget>(dialog, "btnSelectColor")->isEnabled());
    QVERIFY(!Part<QWidget>(dialog, "txtPenWidth")->isEnabled());
}

void tst_SnapDialogs::objectControlSendsItsCommands_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("command");
    QTest::addColumn<QVariant>("arg");
    const struct
    {
        const char* name;
        Command command;
        QVariant arg;
    } rows[] = {
        { "btnUp5px", ObjectControl::OC_MOVE_UP, 5 },
        { "btnLeft5px", ObjectControl::OC_MOVE_LEFT, 5 },
        { "btnIncH5px", ObjectControl::OC_INC_HEIGHT, 1 },
        { "btnDecW1px", ObjectControl::OC_DEC_WIDTH, 1 },
        { "chkSolid", ObjectControl::OC_SOLID, true },
        { "chkEndArrow", ObjectControl::OC_END_ARROW, true },
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << row.name << int(row.command) << row.arg;
}

void tst_SnapDialogs::objectControlSendsItsCommands()
{
    QFETCH(QString, control);
    QFETCH(int, command);
    QFETCH(QVariant, arg);
    ObjectControl dialog;
    dialog.SetMovingEnabled(true);
    dialog.SetResizeEnabled(true);
    dialog.SetArrowChangeModeEnabled(true);
    QSignalSpy sent(&dialog, &ObjectControl::ObjectControlCommand);
    Part<QAbstractButton>(dialog, qPrintable(control))->click();
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.first().first().value<Command>(), Command(command));
    QCOMPARE(sent.first().last(), arg);
}

void tst_SnapDialogs::objectControlColour_data()
{
    QTest::addColumn<QColor>("answer");
    QTest::addColumn<QString>("swatch");
    QTest::newRow("chosen") << QColor(1, 2, 3) << "background-color: rgb(1, 2, 3)";
    QTest::newRow("cancelled") << QColor() << "background-color: rgb(10, 20, 30)";
}

void tst_SnapDialogs::objectControlColour()
{
    QFETCH(QColor, answer);
    QFETCH(QString, swatch);
    ObjectControl dialog;
    dialog.Init(QPen(QColor(10, 20, 30), 4));
    QColor offered;
    dialog.SetColorChooser([&](const QColor& initial, QWidget*) {
        offered = initial;
        return answer;
    });
    QSignalSpy sent(&dialog, &ObjectControl::ObjectControlCommand);
    Part<QPushButton>(dialog, "btnSelectColor")->click();
    QCOMPARE(offered, QColor(Qt::white));
    QCOMPARE(Part<QLabel>(dialog, "lblColor_2")->styleSheet(), swatch);
    QCOMPARE(sent.count(), answer.isValid() ? 1 : 0);
    if (answer.isValid())
        QCOMPARE(sent.first().last().value<QColor>(), answer);

    // Return in the width field sends the width.
    sent.clear();
    QTest::keyClick(Part<QLineEdit>(dialog, "txtPenWidth"), Qt::Key_Return);
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.first().first().value<Command>(), ObjectControl::OC_PEN_WIDTH);
    QCOMPARE(sent.first().last().toInt(), 4);
}

QTEST_MAIN(tst_SnapDialogs)
#include "tst_snapdialogs.moc"
