#pragma once

#include "RestAPI.h"

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace Ui {
class updateDialog;
}

// Offers a newer version: Update downloads the installer into the data folder with a progress
// bar and hands over to it; Cancel, or closing the window, keeps today as the last update
// check and drops a download under way.
class updateDialog : public QDialog
{
    Q_OBJECT
public:
    explicit updateDialog(QWidget* parent = nullptr);
    ~updateDialog() override;

    void showUpdate(RestAPI::SecurityUserInfo info, RestAPI::UpdateInfo update,
        const QString& current, const QString& available);

    // The installer's file name: the address's last path segment, reduced to characters that
    // are safe in a file name, never hidden, never a path.
    static QString InstallerFileName(const QUrl& url);

    // Replaces the hand-over to the installer (by default: open it with xdg-open, detached,
    // and end the client). Returns whether the installer could be opened.
    void SetInstallerLauncher(std::function<bool(const QString& path)> launcher);

signals:
    void DownloadUpdate();
    void DownloadUpdateError();
    void DownloadCanceled();

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_btnUpdate_clicked();
    void on_btnCancel_clicked();

private:
    void OnDownloaded(const RestAPI::ApiResult& result);
    void OnDownloadFailed(const QString& why);
    void OnProgress(qint64 received, qint64 total);
    void ShowIdle();

    std::unique_ptr<Ui::updateDialog> ui;
    RestAPI api;
    RestAPI::UpdateInfo updateInfo;
    std::function<bool(const QString&)> installerLauncher;
};
