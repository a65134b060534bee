#include "textTool.h"

#include "FormFit.h"
#include "ui_textTool.h"

namespace {

const int fontSizes[] = { 6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 72 };

QColor InvertedColor(const QColor& color)
{
    return QColor(255 - color.red(), 255 - color.green(), 255 - color.blue());
}

} // namespace

textTool::textTool(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::textTool>())
{
    ui->setupUi(this);
    FormFit::Fit(this);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    Init();
}

textTool::~textTool() = default;

void textTool::Init()
{
    ui->txtUserText->clear();
    current = TEXT_PROPERTY();
    ui->cmbFontName->setCurrentFont(current.font);
    // The box signals only a change of family; the family it shows is the one to use.
    current.font.setFamily(ui->cmbFontName->currentFont().family());
    ui->cmbFontSize->clear();
    for (int size : fontSizes)
        ui->cmbFontSize->addItem(QString::number(size));
    ApplyStyleBoxes();
    isCalloutMode = false;
    // The dialog gives the keyboard back to the widget that had it last, the OK button after a
    // click on it: each use starts with the text to type.
    ui->txtUserText->setFocus(Qt::OtherFocusReason);
}

void textTool::SetTextColor(const QColor& color)
{
    current.textColor = color;
    SetColorToLabel(ui->lblTestText, ui->chkContrast->isChecked(), color);
}

void textTool::SetIsCalloutMode()
{
    isCalloutMode = true;
}

void textTool::SetColorToLabel(QLabel* label, bool contrast, const QColor& color)
{
    if (contrast) {
        const QColor back = InvertedColor(color);
        label->setStyleSheet(QStringLiteral("background-color: rgb(%1, %2, %3);\r\n"
                                            "border-color: rgb(%4, %5, %6);")
                                 .arg(back.red())
                                 .arg(back.green())
                                 .arg(back.blue())
                                 .arg(color.red())
                                 .arg(color.green())
                                 .arg(color.blue()));
    } else {
        label->setStyleSheet(QStringLiteral("border-color: rgb(%1, %2, %3);")
                                 .arg(color.red())
                                 .arg(color.green())
                                 .arg(color.blue()));
    }
}

void textTool::on_chkContrast_clicked()
{
    SetColorToLabel(ui->lblTestText, ui->chkContrast->isChecked(), current.textColor);
}

void textTool::on_btnOK_clicked()
{
    current.text = ui->txtUserText->toPlainText();
    current.isContrast = ui->chkContrast->isChecked();
    current.backColor = current.isContrast ? InvertedColor(current.textColor) : QColor();
    emit TextEditCompleted(current, isCalloutMode);
    close();
}

void textTool::on_btnCancel_clicked()
{
    close();
}

void textTool::on_cmbFontName_currentIndexChanged(const QString& family)
{
    current.font.setFamily(family);
    ShowSample();
}

void textTool::on_cmbFontSize_currentIndexChanged(const QString& text)
{
    const int points = text.toInt();
    if (points != 0)
        SetFontSize(points);
}

void textTool::on_cmbFontSize_editTextChanged(const QString& text)
{
    const int points = text.toInt();
    SetFontSize(points != 0 ? points : QFont().pointSize());
}

void textTool::on_chkStrike_clicked()
{
    ApplyStyleBoxes();
}

void textTool::on_chkUnderLine_clicked()
{
    ApplyStyleBoxes();
}

void textTool::on_chkItalic_clicked()
{
    ApplyStyleBoxes();
}

void textTool::on_chkBold_clicked()
{
    ApplyStyleBoxes();
}

void textTool::SetFontSize(int points)
{
    current.font.setPointSize(qBound(minFontSize, points, maxFontSize));
    ShowSample();
}

void textTool::ApplyStyleBoxes()
{
    current.font.setWeight(ui->chkBold->isChecked() ? QFont::Bold : QFont::Normal);
    current.font.setStyle(ui->chkItalic->isChecked() ? QFont::StyleItalic : QFont::StyleNormal);
    current.font.setUnderline(ui->chkUnderLine->isChecked());
    current.font.setStrikeOut(ui->chkStrike->isChecked());
    ShowSample();
}

void textTool::ShowSample()
{
    ui->lblTestText->setFont(current.font);
}
