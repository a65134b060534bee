#include "PasswordSet.h"

#include "DialogPlacement.h"
#include "FormFit.h"
#include "ui_PasswordSet.h"

#include <QMessageBox>
#include <QShowEvent>

PasswordSet::PasswordSet(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::PasswordSet>())
{
    ui->setupUi(this);
    FormFit::Fit(this);
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint) & ~Qt::WindowCloseButtonHint);
}

PasswordSet::~PasswordSet() = default;

void PasswordSet::on_btnOK_clicked()
{
    const QString password = ui->txtPassword->text();
    const QString confirmation = ui->txtPassword2->text();
    if (password.isEmpty() || confirmation.isEmpty()) {
        Refuse(tr("Password can not be empty!"));
        return;
    }
    if (password != confirmation) {
        Refuse(tr("Passwords are different!"));
        return;
    }
    emit SetPasswordSignal(password);
    close();
}

void PasswordSet::on_btnCancel_clicked()
{
    close();
}

// The warning does not block: the member answers it and types both fields again.
void PasswordSet::Refuse(const QString& text)
{
    ui->txtPassword->clear();
    ui->txtPassword2->clear();
    ui->txtPassword->setFocus(Qt::OtherFocusReason);
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Password"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void PasswordSet::showEvent(QShowEvent* event)
{
    ui->txtPassword->clear();
    ui->txtPassword2->clear();
    ui->txtPassword->setFocus(Qt::OtherFocusReason);
    DialogPlacement::CenterOnDesktop(this);
    event->accept();
}
