#include "ScreenSnapSaveDialog.h"

#include "DialogPlacement.h"
#include "FormFit.h"
#include "LogCategories.h"
#include "RestAPI.h"
#include "SnapFiles.h"
#include "WindowSystem.h"
#include "ui_ScreenSnapSaveDialog.h"

#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QStandardPaths>

namespace {

// Where "Save..." last wrote a picture, for the snaps after it.
QString lastSaveFolder;

// The folder "Save..." opens in: the last one used while it still exists, else the member's
// pictures folder, else the home folder.
QString SaveFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    for (const QString& folder : { lastSaveFolder, pictures }) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    }
    return QDir::homePath();
}

// Qt's own save dialog, which gives a name without an extension the ".png" the picture is
// written as, before it asks whether to replace a file of that name. Its default suffix does so
// for a name typed alone; a typed path with a dot in a folder's name is given it here.
class PngFileDialog : public QFileDialog
{
public:
    PngFileDialog(QWidget* parent, const QString& caption, const QString& folder)
        : QFileDialog(parent, caption, folder, ScreenSnapSaveDialog::tr("Png images(*.png)"))
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(QFileDialog::AcceptSave);
        setDefaultSuffix(QStringLiteral("png"));
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        const QFileInfo chosen(files.value(0));
        if (files.size() == 1 && !chosen.isDir() && chosen.suffix().isEmpty()) {
            // The name field keeps what is typed into it while it has the keyboard.
            QWidget* typing = focusWidget();
            if (typing)
                typing->clearFocus();
            selectFile(chosen.filePath() + QStringLiteral(".png"));
            if (typing)
                typing->setFocus();
        }
        QFileDialog::accept();
    }
};

} // namespace

ScreenSnapSaveDialog::ScreenSnapSaveDialog(QPixmap snap, ScreenSnapHost snapHost, QWidget* parent)
    : QDialog(parent), picture(std::move(snap)), host(std::move(snapHost)), passwordDialog(this),
      ui(std::make_unique<Ui::ScreenSnapSaveDialog>())
{
    ui->setupUi(this);
    WindowSystem::SetWindowTitleDialogStyle(this, false);
    FormFit::Fit(this);
    MakeThumbnail();
    connect(&passwordDialog, &PasswordSet::SetPasswordSignal, this,
        &ScreenSnapSaveDialog::OnSetPassword);
}

ScreenSnapSaveDialog::~ScreenSnapSaveDialog() = default;

// The thumbnail box scales what it holds to its size as it paints; a whole desktop scaled there
// kept the dialog from showing, so it gets the picture already scaled as it would scale it. That
// is made from the picture's pixels, which nothing writes to, on a thread of its own, which
// shares the scaling out to Qt's worker threads as the box's painting did, so it is mostly there
// for the dialog's first paint.
void ScreenSnapSaveDialog::MakeThumbnail()
{
    const QSize size = ui->lblPicture->contentsRect().size() * ui->lblPicture->devicePixelRatioF();
    if (picture.isNull() || size.isEmpty())
        return;
    thumbnailMaker = std::async(std::launch::async,
        [dialog = QPointer<ScreenSnapSaveDialog>(this), shown = picture.toImage(), size] {
            const QImage thumbnail
                = shown.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            // The dialog is looked at on its own thread only, where it may have gone meanwhile.
            QMetaObject::invokeMethod(
                qApp,
                [dialog, thumbnail] {
                    if (dialog)
                        dialog->ShowThumbnail(thumbnail);
                },
                Qt::QueuedConnection);
        });
}

void ScreenSnapSaveDialog::ShowThumbnail(const QImage& thumbnail)
{
    if (!picture.isNull())
        ui->lblPicture->setPixmap(QPixmap::fromImage(thumbnail));
}

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

int ScreenSnapSaveDialog::Permission() const
{
    if (ui->radioPassword->isChecked())
        return RestAPI::PasswordPermission;
    if (ui->radioTeam->isChecked())
        return RestAPI::TeamPermission;
    if (ui->radioPublic->isChecked())
        return RestAPI::PublicPermission;
    return noPermission;
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
    if (permission == noPermission) {
        Warn(tr("Choose who may see this screensnap: Public or Password."));
        return;
    }
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

// The main window's preferences, applied as the main window applies them.
void ScreenSnapSaveDialog::on_btnPreferences_clicked()
{
    if (host.showPreferences)
        host.showPreferences();
}

void ScreenSnapSaveDialog::OnSetPassword(const QString& password)
{
    ui->txtPassword->setText(password);
}

bool ScreenSnapSaveDialog::SavePicture(const QString& path)
{
    qCDebug(snapLog) << "Saving the screen snap to" << path;
    const QByteArray png = EncodedPicture();
    const QString error
        = png.isEmpty() ? tr("The picture cannot be encoded as PNG.") : SnapFiles::Write(path, png);
    if (error.isEmpty())
        return true;
    Warn(tr("The screensnap could not be saved to %1: %2")
             .arg(QDir::toNativeSeparators(path), error));
    return false;
}

// The message does not block: the dialog and the picture wait for the member's next step.
void ScreenSnapSaveDialog::Warn(const QString& text)
{
    auto* box = new QMessageBox(
        QMessageBox::Warning, tr("Movarelquintash ScreenSnap"), text, QMessageBox::Ok, this);
    // A path holds the title as typed: shown as written, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ScreenSnapSaveDialog::on_btnSaveToDesktop_clicked()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString path = SnapFiles::UniquePath(desktop, SuggestedFileName());
    if (!SavePicture(path))
        return;
    ShowNotice(tr("Image has been saved to the desktop as %1").arg(QFileInfo(path).fileName()));
    Finish(&ScreenSnapSaveDialog::ScreenSaved);
}

// The notice is the host's: the snap window and its dialogs go once the picture is saved, and the
// notice lives on and goes by itself.
void ScreenSnapSaveDialog::ShowNotice(const QString& text) const
{
    if (host.showNotice)
        host.showNotice(userName, userCompany, text);
}

QString ScreenSnapSaveDialog::SuggestedFileName() const
{
    return SnapFiles::FileName(ui->txtTitle->text(), ui->txtCurrentDate->text());
}

// Opened without blocking, in the folder last used, with the name a desktop copy would get.
void ScreenSnapSaveDialog::on_btnSave_clicked()
{
    auto* chooser = new PngFileDialog(this, tr("Save screensnap to..."), SaveFolder());
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->selectFile(SuggestedFileName());
    connect(chooser, &QFileDialog::fileSelected, this, &ScreenSnapSaveDialog::SaveElsewhere);
    chooser->open();
}

void ScreenSnapSaveDialog::SaveElsewhere(const QString& path)
{
    if (!SavePicture(path))
        return;
    lastSaveFolder = QFileInfo(path).absolutePath();
    Finish(&ScreenSnapSaveDialog::ScreenSaved);
}

void ScreenSnapSaveDialog::on_btnCopyToClipboard_clicked()
{
    QGuiApplication::clipboard()->setImage(picture.toImage());
    ShowNotice(tr("Image has been copied to clipboard"));
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

// Checks the one button given, or none: buttons of a group left exclusive cannot all be off.
void ScreenSnapSaveDialog::CheckPermission(QRadioButton* chosen)
{
    for (QRadioButton* button : { ui->radioPublic, ui->radioTeam, ui->radioPassword }) {
        button->setAutoExclusive(false);
        button->setChecked(button == chosen);
        button->setAutoExclusive(true);
    }
}

void ScreenSnapSaveDialog::showEvent(QShowEvent* event)
{
    finished = false;
    const QDateTime now = QDateTime::currentDateTime();
    ui->txtCurrentDate->setText(now.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" - ")
        + now.toString(QStringLiteral("hh:mm")));
    // Without a team the snap is shared publicly or by password, as the member chooses: nothing
    // is chosen for them.
    const bool teamOffered = !userCompany.isEmpty();
    ui->radioTeam->setEnabled(teamOffered);
    CheckPermission(teamOffered ? ui->radioTeam : nullptr);
    ui->txtPassword->setEnabled(false);
    ui->txtDescription->clear();
    ui->txtTitle->setFocus(Qt::OtherFocusReason);
    DialogPlacement::CenterOnDesktop(this);
    activateWindow();
    raise();
    event->accept();
}
