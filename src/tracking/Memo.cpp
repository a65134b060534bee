#include "Memo.h"

#include "DialogPlacement.h"
#include "FormFit.h"
#include "ReminderSchedule.h"
#include "SettingsProvider.h"
#include "ui_Memo.h"

#include <QKeyEvent>
#include <QPushButton>

Memo::Memo(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Memo>())
{
    ui->setupUi(this);
    DialogPlacement::StyleDialog(this);
    FormFit::Fit(this);
    ui->txtMemo->installEventFilter(this);
    connect(ui->txtMemo, &QPlainTextEdit::textChanged, this, &Memo::UpdateOkButton);
    UpdateOkButton();
}

Memo::~Memo() = default;

void Memo::SetCurrentUserAndCompany(const QString& user, const QString& company)
{
    userName = user;
    companyName = company;

    const QList<SettingsProvider::MEMO_ITEM> memos
        = SettingsProvider::instance()->GetMemos(company);
    ui->cmbPrevMemo->clear();
    for (const SettingsProvider::MEMO_ITEM& item : memos)
        ui->cmbPrevMemo->addItem(item.memo);
    ui->txtMemo->setPlainText(memos.isEmpty() ? QString() : memos.first().memo);
    ui->txtMemo->selectAll();

    // The stored index may come from an older list or a preferences dialog with no entry
    // chosen (-1): the nearest entry is taken.
    const int index = SettingsProvider::instance()->GetCurrentSettings().remindModeIndex;
    ui->cmbRemindTimeout->setCurrentIndex(qBound(0, index, ui->cmbRemindTimeout->count() - 1));
}

int Memo::RemindInterval(int index)
{
    return ReminderSchedule::MemoInterval(index);
}

void Memo::accept()
{
    // A capture without a memo is never uploaded, so there is no empty memo to confirm.
    const QString text = MemoText();
    if (text.isEmpty())
        return;
    SettingsProvider::instance()->AddMemo({ text, companyName });
    QDialog::accept();
    emit MemoIsChanged(text, RemindInterval(ui->cmbRemindTimeout->currentIndex()));
}

void Memo::reject()
{
    QDialog::reject();
    emit MemoIsCanceled();
}

bool Memo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->txtMemo && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool isReturn = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (isReturn && key->modifiers() == Qt::NoModifier
            && SettingsProvider::instance()->GetCurrentSettings().memoEnterAction) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Memo::showEvent(QShowEvent* event)
{
    DialogPlacement::CenterOnDesktop(this);
    ui->txtMemo->setFocus();
    QDialog::showEvent(event);
}

void Memo::on_btnOK_clicked()
{
    accept();
}

void Memo::on_btnCancel_clicked()
{
    reject();
}

void Memo::on_cmbPrevMemo_activated(int index)
{
    ui->txtMemo->setPlainText(ui->cmbPrevMemo->itemText(index));
}

QString Memo::MemoText() const
{
    return ui->txtMemo->toPlainText().trimmed();
}

void Memo::UpdateOkButton()
{
    ui->btnOK->setEnabled(!MemoText().isEmpty());
}
