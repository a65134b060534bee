#include "AuthDialog.h"

#include "DialogPlacement.h"
#include "FormFit.h"
#include "SettingsProvider.h"
#include "ui_AuthDialog.h"

#include <QPushButton>

namespace {

// The service said no to the credentials: in its own error element, or with the statuses of a
// refused authentication.
bool IsRefusal(const RestAPI::ApiResult& result)
{
    return result.outcome == Api::Outcome::Refused
        || (result.outcome == Api::Outcome::HttpStatus
            && (result.httpStatus == 401 || result.httpStatus == 403));
}

} // namespace

AuthDialog::AuthDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::AuthDialog>())
{
    ui->setupUi(this);
    DialogPlacement::StyleDialog(this);
    FormFit::Fit(this);
    connect(&api, &RestAPI::ApiDataOk, this, &AuthDialog::OnApiDataOk);
    connect(&api, &RestAPI::ApiDataError, this, &AuthDialog::OnApiDataError);
}

AuthDialog::~AuthDialog() = default;

void AuthDialog::showAuthDialogWithPrompt(bool autoLogInAllowed)
{
    autoLogIn = autoLogInAllowed;
    SettingsProvider* settings = SettingsProvider::instance();
    const QString savedPassword = settings->GetPassword();
    ui->txtLoginName->setText(settings->GetLoginName());
    ui->txtPassword->setText(savedPassword);
    ui->chkRememberPassword->setChecked(!savedPassword.isEmpty());
    ShowStatus(QString());
    show();
    raise();
    activateWindow();
    if (autoLogIn && !signingIn && !savedPassword.isEmpty()
        && !ui->txtLoginName->text().trimmed().isEmpty()
        && settings->GetCurrentSettings().signInAtRun)
        on_btnLogIn_clicked();
}

void AuthDialog::showEvent(QShowEvent* event)
{
    DialogPlacement::CenterOnDesktop(this);
    if (ui->txtLoginName->text().isEmpty())
        ui->txtLoginName->setFocus();
    else
        ui->txtPassword->setFocus();
    QDialog::showEvent(event);
}

void AuthDialog::on_btnLogIn_clicked()
{
    if (signingIn)
        return;
    const QString login = ui->txtLoginName->text().trimmed();
    const QString password = ui->txtPassword->text();
    if (login.isEmpty() || password.isEmpty()) {
        ShowStatus(tr("Enter your login name and password."));
        return;
    }
    pendingLogin = login;
    pendingPassword = password;
    pendingRemember = ui->chkRememberPassword->isChecked();
    SetBusy(true);
    ShowStatus(tr("Signing in..."));
    api.Login(login, password);
}

void AuthDialog::OnApiDataOk(const RestAPI::ApiResult& result)
{
    if (!signingIn || result.state != RestAPI::LoginState)
        return;
    RestAPI::SecurityUserInfo info = result.value.value<RestAPI::SecurityUserInfo>();
    info.password = pendingPassword;

    SettingsProvider* settings = SettingsProvider::instance();
    settings->SaveLoginName(pendingLogin);
    if (pendingRemember)
        settings->SavePassword(pendingPassword);
    else
        settings->ForgetPassword();

    const QString userName = pendingLogin;
    pendingPassword.clear();
    SetBusy(false);
    ShowStatus(QString());
    if (!pendingRemember)
        ui->txtPassword->clear();
    hide();
    emit OnAuthComplete(userName, info);
}

void AuthDialog::OnApiDataError(const RestAPI::ApiResult& result)
{
    if (!signingIn
        || (result.state != RestAPI::LoginState && result.state != RestAPI::NoConnection))
        return;
    pendingPassword.clear();
    SetBusy(false);
    ShowStatus(FailureText(result));
    emit OnAuthFailed(pendingLogin);
}

QString AuthDialog::FailureText(const RestAPI::ApiResult& result)
{
    if (result.outcome == Api::Outcome::NoNetwork)
        return tr("There is no network connection. Connect and try again.");
    if (IsRefusal(result))
        return tr("Wrong login name or password.");
    if (result.outcome == Api::Outcome::HttpStatus)
        return tr("The server could not sign you in. Try again later.");
    return tr("The server cannot be reached. Check your connection and try again.");
}

void AuthDialog::SetBusy(bool busy)
{
    signingIn = busy;
    ui->btnLogIn->setEnabled(!busy);
    ui->txtLoginName->setReadOnly(busy);
    ui->txtPassword->setReadOnly(busy);
}

void AuthDialog::ShowStatus(const QString& text)
{
    ui->lblStatus->setText(text);
}
