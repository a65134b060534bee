#include "ScreenSnapSaveDialog.h"

#include "FormFit.h"
#include "RestAPI.h"
#include "SettingsProvider.h"
#include "SnapFiles.h"
#include "WindowSystem.h"
#include "tracking/DialogPlacement.h"
#include "ui_ScreenSnapSaveDialog.h"

#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

const int clipboardPopupStepMs = 15;

QString AskFileName(QWidget* parent)
{
    return QFileDialog::getSaveFileName(parent, ScreenSnapSaveDialog::tr("Save screensnap to..."),
        QString(), ScreenSnapSaveDialog::tr("Png images(*.png)"));
}

} // namespace

ScreenSnapSaveDialog::ScreenSnapSaveDialog(QPixmap snap, QWidget* parent)
    : QDialog(parent), picture(std::move(snap)), passwordDialog(this),
      ui(std::make_unique<Ui::ScreenSnapSaveDialog>()), fileChooser(&AskFileName)
{
    ui->setupUi(this);
    ui->lblPicture->setPixmap(picture);
    WindowSystem::SetWindowTitleDialogStyle(this, false);
    FormFit::Fit(this);
    connect(&passwordDialog, &PasswordSet::SetPasswordSignal, this,
        &ScreenSnapSaveDialog::OnSetPassword);
    SettingsProvider::SetStyleToWidget(&popup, QStringLiteral(":/design/mac.qss"));
    connect(
        &preferences, &Preferences::OnSettingsApply, this, &ScreenSnapSaveDialog::SettingsApplied);
}

ScreenSnapSaveDialog::~ScreenSnapSaveDialog() = default;

void ScreenSnapSaveDialog::SetUserName(const QString& name)
{
    userName = name;
    ui->txtUserName->setText(name);
}

void ScreenSnapSaveDialog::SetUserCompany(const QString& company)
{
    userCompany = company;
    ui->txtTeamName->setText(company);
}

void ScreenSnapSaveDialog::SetFileChooser(FileChooser chooser)
{
    fileChooser = std::move(chooser);
}

int ScreenSnapSaveDialog::Permission() const
{
    if (ui->radioPassword->isChecked())
        return RestAPI::PasswordPermission;
    if (ui->radioTeam->isChecked())
        return RestAPI::TeamPermission;
    return RestAPI::PublicPermission;
}

QByteArray ScreenSnapSaveDialog::EncodedPicture() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG"))
        return QByteArray();
    return bytes;
}

void ScreenSnapSaveDialog::Finish(void (ScreenSnapSaveDialog::*signal)())
{
    finished = true;
    emit(this->*signal)();
    hide();
}

void ScreenSnapSaveDialog::on_btnUpload_clicked()
{
    const int permission = Permission();
    const QString password = ui->txtPassword->text();
    // Shared by password means a password: ask for it rather than upload without one.
    if (permission == RestAPI::PasswordPermission && password.isEmpty()) {
        on_btnSetPassword_clicked();
        return;
    }
    emit ScreenIsReady(ui->txtTitle->text(), ui->txtDescription->toPlainText(), permission,
        permission == RestAPI::PasswordPermission ? password : QString(), EncodedPicture());
    Finish(&ScreenSnapSaveDialog::ScreenSaved);
}

void ScreenSnapSaveDialog::on_radioPublic_clicked()
{
    ui->txtPassword->setEnabled(false);
}

void ScreenSnapSaveDialog::on_radioTeam_clicked()
{
    ui->txtPassword->setEnabled(false);
}

void ScreenSnapSaveDialog::on_radioPassword_clicked()
{
    ui->txtPassword->setEnabled(true);
}

void ScreenSnapSaveDialog::on_btnSetPassword_clicked()
{
    passwordDialog.show();
}

// The dialog's own preferences; its show event reads them from the store.
void ScreenSnapSaveDialog::on_btnPreferences_clicked()
{
    preferences.setModal(true);
    preferences.showNormal();
}

void ScreenSnapSaveDialog::OnSetPassword(const QString& password)
{
    ui->txtPassword->setText(password);
}

bool ScreenSnapSaveDialog::SavePicture(const QString& path)
{
    qDebug() << "Current fileName :" << path;
    const QByteArray png = EncodedPicture();
    const QString error
        = png.isEmpty() ? tr("The picture cannot be encoded as PNG.") : SnapFiles::Write(path, png);
    if (error.isEmpty())
        return true;
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Screen Snap"),
        tr("The screensnap could not be saved to %1: %2")
            .arg(QDir::toNativeSeparators(path), error),
        QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

void ScreenSnapSaveDialog::on_btnSaveToDesktop_clicked()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString path = SnapFiles::UniquePath(
        desktop, SnapFiles::FileName(ui->txtTitle->text(), ui->txtCurrentDate->text()));
    if (SavePicture(path))
        Finish(&ScreenSnapSaveDialog::ScreenSaved);
}

void ScreenSnapSaveDialog::on_btnSave_clicked()
{
    const QString path = fileChooser(this);
    if (path.isEmpty())
        return;
    if (SavePicture(path))
        Finish(&ScreenSnapSaveDialog::ScreenSaved);
}

void ScreenSnapSaveDialog::on_btnCopyToClipboard_clicked()
{
    QGuiApplication::clipboard()->setImage(picture.toImage());
    const int lifeTime = SettingsProvider::instance()->GetCurrentSettings().popupTimeout * 1000;
    popup.ShowPopup(userName, userCompany, tr("Image has been copied to clipboard"), lifeTime,
        clipboardPopupStepMs, false);
}

void ScreenSnapSaveDialog::on_btnDraw_clicked()
{
    picture = QPixmap();
    Finish(&ScreenSnapSaveDialog::ScreenDrawRequest);
}

void ScreenSnapSaveDialog::on_btnDiscard_clicked()
{
    picture = QPixmap();
    Finish(&ScreenSnapSaveDialog::ScreenDiscarded);
}

void ScreenSnapSaveDialog::reject()
{
    close();
}

void ScreenSnapSaveDialog::closeEvent(QCloseEvent* event)
{
    if (!finished)
        Finish(&ScreenSnapSaveDialog::ScreenDiscarded);
    event->accept();
}

void ScreenSnapSaveDialog::showEvent(QShowEvent* event)
{
    finished = false;
    const QDateTime now = QDateTime::currentDateTime();
    ui->txtCurrentDate->setText(now.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" - ")
        + now.toString(QStringLiteral("hh:mm")));
    // Without a team the snap is shared publicly or by password.
    const bool teamOffered = !userCompany.isEmpty();
    ui->radioTeam->setEnabled(teamOffered);
    ui->radioPublic->setChecked(!teamOffered);
    ui->radioTeam->setChecked(teamOffered);
    ui->radioPassword->setChecked(false);
    ui->txtPassword->setEnabled(false);
    ui->txtDescription->clear();
    ui->txtTitle->setFocus(Qt::OtherFocusReason);
    DialogPlacement::CenterOnDesktop(this);
    activateWindow();
    raise();
    event->accept();
}
