#pragma once

#include "RestAPI.h"

#include <QDialog>
#include <QString>
#include <QVariant>

#include <memory>

namespace Ui {
class AuthDialog;
}

// The sign-in dialog. It signs in through a REST client of its own, saves the login name (and,
// when asked, the encrypted password) and hands the member's record on. A failed sign-in says
// why in the dialog and keeps what was typed.
class AuthDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AuthDialog(QWidget* parent = nullptr);
    ~AuthDialog() override;

    // Shows the dialog with the saved login name and password. With `autoLogInAllowed`, the
    // "sign in at launch" preference on and a saved password, it signs in by itself.
    void showAuthDialogWithPrompt(bool autoLogInAllowed);
    // What the dialog says of a failed sign-in, from how it failed: no network, credentials
    // the service refused, a failing server, or one that cannot be reached.
    static QString FailureText(const RestAPI::ApiResult& result);

signals:
    // After a successful sign-in and the saving of the credentials. `info.password` holds the
    // password as typed: the chat server wants it.
    void OnAuthComplete(QString userName, RestAPI::SecurityUserInfo info);
    // A sign-in failed; the dialog already tells the member why.
    void OnAuthFailed(QString userName);

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_btnLogIn_clicked();

private:
    void OnApiDataOk(const RestAPI::ApiResult& result);
    void OnApiDataError(const RestAPI::ApiResult& result);
    void SetBusy(bool busy);
    void ShowStatus(const QString& text);

    std::unique_ptr<Ui::AuthDialog> ui;
    RestAPI api;
    bool autoLogIn = false;
    bool signingIn = false;
    QString pendingLogin;
    QString pendingPassword;
    bool pendingRemember = false;
};
