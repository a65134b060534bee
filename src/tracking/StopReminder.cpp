#include "StopReminder.h"

#include "FormFit.h"
#include "ReminderSchedule.h"
#include "WindowSystem.h"
#include "ui_StopReminder.h"

#include <QCloseEvent>

StopReminder::StopReminder(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::StopReminder>())
{
    ui->setupUi(this);
    FormFit::Fit(this);
    WindowSystem::SetWindowTitleDialogStyle(this, false);
    SetInterface();
    remindTimer.setObjectName(QStringLiteral("remindTimer"));
    connect(&remindTimer, &QTimer::timeout, this, &StopReminder::OnRemindTimer);
}

StopReminder::~StopReminder() = default;

int StopReminder::RemindInterval(int index)
{
    return ReminderSchedule::StopInterval(index);
}

void StopReminder::SetCurrentMemo(const QString& memo)
{
    currentMemo = memo;
    ui->lblMemo->setTextFormat(Qt::PlainText); // shown as typed, never as markup
    ui->lblMemo->setText(ui->lblMemo->fontMetrics().elidedText(
        QStringLiteral("Memo: ") + memo, Qt::ElideRight, ui->lblMemo->width()));
}

void StopReminder::SetInterface()
{
    ui->label_3->resize(ui->label_3->sizeHint());
    ui->cmbTimeout->move(ui->label_3->x() + ui->label_3->width(), ui->cmbTimeout->y());
}

void StopReminder::OnRemindTimer()
{
    show();
}

void StopReminder::on_btnStartTrackingTime_clicked()
{
    emit OnStartTrackingTime_Signal();
    close();
}

void StopReminder::on_btnChangeMemo_clicked()
{
    emit OnChangeMemo_Signal();
    close();
}

void StopReminder::on_btnSnooze_clicked()
{
    if (remindTimer.isActive())
        remindTimer.stop();
    remindTimer.setInterval(RemindInterval(ui->cmbTimeout->currentIndex()));
    remindTimer.start();
    hide();
}

void StopReminder::closeEvent(QCloseEvent* event)
{
    if (remindTimer.isActive())
        remindTimer.stop();
    event->accept();
}
