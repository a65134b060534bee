#include "updateDialog.h"

#include "AppInfo.h"
#include "FormFit.h"
#include "SettingsKeys.h"
#include "SettingsProvider.h"
#include "WindowSystem.h"
#include "ui_updateDialog.h"

#include <QCoreApplication>
#include <QDate>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>

namespace {

// The installer takes over from here: the running client steps aside for it.
bool OpenInstaller(const QString& path)
{
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), { path }))
        return false;
    QCoreApplication::quit();
    return true;
}

} // namespace

updateDialog::updateDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::updateDialog>()), installerLauncher(OpenInstaller)
{
    ui->setupUi(this);
    // Flags before the style sheet: changing them afterwards would restyle every control again.
    WindowSystem::SetWindowTitleDialogStyle(this, true);
    SettingsProvider::SetStyleToWidget(this, QStringLiteral(":/design/mac.qss"));
    FormFit::Fit(this);
    ShowIdle();
    connect(&api, &RestAPI::ApiDataOk, this, &updateDialog::OnDownloaded);
    connect(&api, &RestAPI::ApiDataError, this,
        [this](const RestAPI::ApiResult& result) { OnDownloadFailed(result.text); });
    connect(&api, &RestAPI::DownloadProgress, this, &updateDialog::OnProgress);
}

updateDialog::~updateDialog() = default;

void updateDialog::showUpdate(RestAPI::SecurityUserInfo info, RestAPI::UpdateInfo update,
    const QString& current, const QString& available)
{
    if (!api.IsDownloadingUpdate()) {
        api.SetApiSecurityInfo(info);
        updateInfo = update;
        ui->lblCurrentVersion->setText(current);
        ui->lblAvailableVersion->setText(available);
        ShowIdle();
    }
    show();
    raise();
    activateWindow();
}

QString updateDialog::InstallerFileName(const QUrl& url)
{
    QString name = url.fileName(QUrl::FullyDecoded);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._+-]")), QStringLiteral("_"));
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name.truncate(128);
    return name.isEmpty() ? QStringLiteral("update") : name;
}

void updateDialog::SetInstallerLauncher(std::function<bool(const QString&)> launcher)
{
    installerLauncher = std::move(launcher);
}

void updateDialog::reject()
{
    api.CancelUpdateDownload();
    ShowIdle();
    SettingsProvider::instance()->SetKeyByName(SettingsKeys::updateDate, QDate::currentDate());
    QDialog::reject();
    emit DownloadCanceled();
}

void updateDialog::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void updateDialog::on_btnUpdate_clicked()
{
    const QUrl url(updateInfo.downloadUrl, QUrl::StrictMode);
    ui->btnUpdate->setEnabled(false);
    ui->lblStatus->setText(tr("Downloading..."));
    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    emit DownloadUpdate();
    api.DownloadUpdateFile(url, AppInfo::dataFolder() + QLatin1Char('/') + InstallerFileName(url));
}

void updateDialog::on_btnCancel_clicked()
{
    reject();
}

void updateDialog::OnDownloaded(const RestAPI::ApiResult& result)
{
    if (result.state != RestAPI::UpdateFileRecieved)
        return;
    const QVariant& path = result.value;
    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(100);
    // Downloaded is as good as checked: the member is not asked again for a while.
    SettingsProvider::instance()->SetKeyByName(SettingsKeys::updateDate, QDate::currentDate());
    if (!installerLauncher(path.toString())) {
        OnDownloadFailed(tr("the installer %1 could not be opened").arg(path.toString()));
        return;
    }
    ShowIdle();
    accept();
}

void updateDialog::OnDownloadFailed(const QString& why)
{
    ShowIdle();
    ui->lblStatus->setText(tr("Update failed: %1").arg(why));
    emit DownloadUpdateError();
}

void updateDialog::OnProgress(qint64 received, qint64 total)
{
    if (total <= 0) {
        ui->progressBar->setRange(0, 0);
        return;
    }
    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(int(received * 100 / total));
}

void updateDialog::ShowIdle()
{
    ui->progressBar->hide();
    ui->lblStatus->clear();
    ui->btnUpdate->setEnabled(true);
}
