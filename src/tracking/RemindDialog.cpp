#include "RemindDialog.h"

#include "DialogPlacement.h"
#include "FormFit.h"
#include "ui_RemindDialog.h"

RemindDialog::RemindDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::RemindDialog>())
{
    ui->setupUi(this);
    DialogPlacement::StyleDialog(this);
    FormFit::Fit(this);
}

RemindDialog::~RemindDialog() = default;

void RemindDialog::SetCurrentMemoText(const QString& memo)
{
    ui->lblMemo->setText(tr("Memo: ") + memo);
}

void RemindDialog::showEvent(QShowEvent* event)
{
    DialogPlacement::CenterOnDesktop(this);
    QDialog::showEvent(event);
}

void RemindDialog::on_btnChangeMemo_clicked()
{
    hide();
    emit OnChangeMemo_Signal();
}

void RemindDialog::on_btnOK_clicked()
{
    accept();
}
