#include "ObjectControl.h"

#include "FormFit.h"
#include "ui_ObjectControl.h"

#include <QCloseEvent>

ObjectControl::ObjectControl(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ObjectControl>())
{
    ui->setupUi(this);
    FormFit::Fit(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    connect(
        ui->txtPenWidth, &QLineEdit::returnPressed, this, &ObjectControl::OnTextEditReturnPressed);
}

ObjectControl::~ObjectControl() = default;

void ObjectControl::Init(const QPen& pen)
{
    movingEnabled = resizeEnabled = fontEnabled = false;
    colorAndWidthEnabled = arrowChangeModeEnabled = false;
    ui->movingGroupBox->setEnabled(movingEnabled);
    ui->ResizeGroupBox->setEnabled(resizeEnabled);
    ui->FontGroupBox->setEnabled(fontEnabled);
    ui->chkStartArrow->setEnabled(arrowChangeModeEnabled);
    ui->chkEndArrow->setEnabled(arrowChangeModeEnabled);
    ShowColor(pen.color());
    ui->txtPenWidth->setText(QString::number(pen.width()));
}

void ObjectControl::SetMovingEnabled(bool enabled)
{
    movingEnabled = enabled;
    ui->movingGroupBox->setEnabled(enabled);
}

void ObjectControl::SetResizeEnabled(bool enabled)
{
    resizeEnabled = enabled;
    ui->ResizeGroupBox->setEnabled(enabled);
}

void ObjectControl::SetFontPropertyEnabled(bool enabled)
{
    fontEnabled = enabled;
    ui->FontGroupBox->setEnabled(enabled);
}

// Init leaves the colour and width controls usable whatever this switch says; it only takes
// effect when set.
void ObjectControl::SetColorAndWidthPropertyEnabled(bool enabled)
{
    colorAndWidthEnabled = enabled;
    ui->btnSelectColor->setEnabled(enabled);
    ui->txtPenWidth->setEnabled(enabled);
}

void ObjectControl::SetArrowChangeModeEnabled(bool enabled)
{
    arrowChangeModeEnabled = enabled;
    ui->chkStartArrow->setEnabled(enabled);
    ui->chkEndArrow->setEnabled(enabled);
}

void ObjectControl::SetColorChooser(ColorChooser chooser)
{
    chooseColor = std::move(chooser);
}

void ObjectControl::closeEvent(QCloseEvent* event)
{
    event->accept();
}

void ObjectControl::ShowColor(const QColor& color)
{
    ui->lblColor_2->setStyleSheet(QStringLiteral("background-color: rgb(%1, %2, %3)")
                                      .arg(color.red())
                                      .arg(color.green())
                                      .arg(color.blue()));
}

void ObjectControl::on_btnUp5px_clicked()
{
    emit ObjectControlCommand(OC_MOVE_UP, 5);
}

void ObjectControl::on_btnUp1px_clicked()
{
    emit ObjectControlCommand(OC_MOVE_UP, 1);
}

void ObjectControl::on_btnDown1px_clicked()
{
    emit ObjectControlCommand(OC_MOVE_DOWN, 1);
}

void ObjectControl::on_btnDown5px_clicked()
{
    emit ObjectControlCommand(OC_MOVE_DOWN, 5);
}

void ObjectControl::on_btnRight1px_clicked()
{
    emit ObjectControlCommand(OC_MOVE_RIGHT, 1);
}

void ObjectControl::on_btnRight5px_clicked()
{
    emit ObjectControlCommand(OC_MOVE_RIGHT, 5);
}

void ObjectControl::on_btnLeftpx_clicked()
{
    emit ObjectControlCommand(OC_MOVE_LEFT, 1);
}

void ObjectControl::on_btnLeft5px_clicked()
{
    emit ObjectControlCommand(OC_MOVE_LEFT, 5);
}

void ObjectControl::on_btnDecH5px_clicked()
{
    emit ObjectControlCommand(OC_DEC_HEIGHT, 5);
}

void ObjectControl::on_btnDecH1px_clicked()
{
    emit ObjectControlCommand(OC_DEC_HEIGHT, 1);
}

void ObjectControl::on_btnIncH5px_clicked()
{
    emit ObjectControlCommand(OC_INC_HEIGHT, 1);
}

void ObjectControl::on_btnIncH5px_2_clicked()
{
    emit ObjectControlCommand(OC_INC_HEIGHT, 5);
}

void ObjectControl::on_btnIncW1px_clicked()
{
    emit ObjectControlCommand(OC_INC_WIDTH, 1);
}

void ObjectControl::on_btnIncW5px_clicked()
{
    emit ObjectControlCommand(OC_INC_WIDTH, 5);
}

void ObjectControl::on_btnDecW1px_clicked()
{
    emit ObjectControlCommand(OC_DEC_WIDTH, 1);
}

void ObjectControl::on_btnDecW5px_clicked()
{
    emit ObjectControlCommand(OC_DEC_WIDTH, 5);
}

void ObjectControl::on_chkSolid_clicked()
{
    emit ObjectControlCommand(OC_SOLID, ui->chkSolid->isChecked());
}

void ObjectControl::on_chkHighLight_clicked()
{
    emit ObjectControlCommand(OC_HIGHLIGHT, ui->chkHighLight->isChecked());
}

void ObjectControl::on_chkStartArrow_clicked()
{
    emit ObjectControlCommand(OC_START_ARROW, ui->chkStartArrow->isChecked());
}

void ObjectControl::on_chkEndArrow_clicked()
{
    emit ObjectControlCommand(OC_END_ARROW, ui->chkEndArrow->isChecked());
}

// A cancelled dialog gives an invalid colour, which would paint as black: it changes nothing.
void ObjectControl::on_btnSelectColor_clicked()
{
    const QColor color = chooseColor(Qt::white, nullptr);
    if (!color.isValid())
        return;
    ShowColor(color);
    emit ObjectControlCommand(OC_COLOR, color);
}

void ObjectControl::on_btnClose_clicked()
{
    close();
}

void ObjectControl::OnTextEditReturnPressed()
{
    emit ObjectControlCommand(OC_PEN_WIDTH, ui->txtPenWidth->text().toInt());
}
