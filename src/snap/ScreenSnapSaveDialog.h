#pragma once

#include "PasswordSet.h"
#include "ScreenSnapHost.h"

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QString>

#include <future>
#include <memory>

class QRadioButton;

namespace Ui {
class ScreenSnapSaveDialog;
}

// Where a finished screen snap goes: uploaded with a title, a description and a permission,
// saved to the desktop or to a file the member picks, copied to the clipboard, drawn on again or
// discarded. Each showing ends in exactly one of ScreenIsReady then ScreenSaved (upload),
// ScreenSaved, ScreenDrawRequest or ScreenDiscarded; copying, the password and the preferences
// leave it open. The preferences and the notices are the host's (the main window's). A picture that
// cannot be written stays here with a warning. Its thumbnail is the picture scaled to the size it
// is shown at, on a thread of its own; until it comes the box is empty.
class ScreenSnapSaveDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ScreenSnapSaveDialog(
        QPixmap picture, ScreenSnapHost host = {}, QWidget* parent = nullptr);
    ~ScreenSnapSaveDialog() override;

    void SetUserName(const QString& name);
    // The team the snap was taken for; without one (an empty name) the Team permission is not
    // offered, since the service would get no team to share it with, and no permission is
    // chosen before the member chooses one.
    void SetUserCompany(const QString& company);

signals:
    void ScreenDrawRequest();
    void ScreenSaved();
    void ScreenDiscarded();
    // The upload request: permission 0 public, 1 team, 2 password; the password only with 2.
    void ScreenIsReady(
        QString title, QString desc, int permission, QString password, QByteArray rawPicture);

public slots:
    void on_btnUpload_clicked();
    void on_radioPublic_clicked();
    void on_radioTeam_clicked();
    void on_radioPassword_clicked();
    void on_btnSetPassword_clicked();
    void on_btnPreferences_clicked();
    void on_btnSaveToDesktop_clicked();
    void on_btnCopyToClipboard_clicked();
    void on_btnSave_clicked();
    void on_btnDraw_clicked();
    void on_btnDiscard_clicked();
    void OnSetPassword(const QString& password);
    // Escape closes the dialog as its close button does.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Permission() while no permission is checked.
    static constexpr int noPermission = -1;

    QByteArray EncodedPicture() const;
    // Writes the picture; a failure is shown and the dialog stays.
    bool SavePicture(const QString& path);
    void SaveElsewhere(const QString& path);
    // The title and the date of showing, as the picture's file is named.
    QString SuggestedFileName() const;
    void Warn(const QString& text);
    void ShowNotice(const QString& text) const;
    // Ends this showing with one of the signals above.
    void Finish(void (ScreenSnapSaveDialog::*signal)());
    int Permission() const;
    void CheckPermission(QRadioButton* chosen);
    void MakeThumbnail();
    void ShowThumbnail(const QImage& thumbnail);

    QPixmap picture;
    QString userName;
    QString userCompany;
    ScreenSnapHost host;
    PasswordSet passwordDialog;
    std::unique_ptr<Ui::ScreenSnapSaveDialog> ui;
    bool finished = false;
    // The thumbnail's making, waited for when the dialog goes (it long ended by then).
    std::future<void> thumbnailMaker;
};
