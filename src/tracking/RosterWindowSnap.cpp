#include "RosterWindow.h"

#include "LogCategories.h"

#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace {

// The whole of one display, by its own geometry.
QPixmap GrabScreen(QScreen* screen)
{
    return screen->grabWindow(0);
}

} // namespace

void RosterWindow::TakeScreensnap(int mode)
{
    switch (mode) {
    case MiscFunctions::SNAP_MODE_ALL_DESKTOP:
        on_actionSnap_the_whole_desktop_triggered();
        break;
    case MiscFunctions::SNAP_MODE_DISPLAY_1:
    case MiscFunctions::SNAP_MODE_DISPLAY_2:
    case MiscFunctions::SNAP_MODE_DISPLAY_3:
        SnapDisplay(mode);
        break;
    default:
        break;
    }
}

void RosterWindow::on_actionSnap_the_whole_desktop_triggered()
{
    if (!isSignedIn)
        return;
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Launch screen snap editor"));
    // An editor open or on its way stays the only one: no grab for nothing.
    if (misc.GetScreensnapEditor() || snapGrab.IsRunning())
        return;
    // The snap belongs to the team of this moment, whatever the member picks while it is grabbed.
    const int companyId = misc.GetUserCompanyID();
    const QString company = misc.GetUserCompany();
    snapGrab.Start(environment.grabDesktop, [this, companyId, company](QImage grabbed) {
        if (!isSignedIn)
            return;
        // Handed over without a copy: the grab is the editor's own.
        const QPixmap picture = QPixmap::fromImage(std::move(grabbed));
        if (picture.isNull()) {
            qCDebug(snapLog) << "The desktop could not be grabbed for a screen snap";
            return;
        }
        misc.StartScreensnapEditor(
            companyId, company, picture, MiscFunctions::SNAP_MODE_ALL_DESKTOP);
    });
}

void RosterWindow::on_actionSnap_1_display_triggered()
{
    SnapDisplay(MiscFunctions::SNAP_MODE_DISPLAY_1);
}

void RosterWindow::on_actionSnap_2_display_triggered()
{
    SnapDisplay(MiscFunctions::SNAP_MODE_DISPLAY_2);
}

void RosterWindow::on_actionSnap_3_display_triggered()
{
    SnapDisplay(MiscFunctions::SNAP_MODE_DISPLAY_3);
}

// Display n is the n-th screen of the desktop, the primary one first.
void RosterWindow::SnapDisplay(int display)
{
    if (!isSignedIn)
        return;
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < display) {
        if (display > 1) {
            auto* box = new QMessageBox(QMessageBox::Critical, tr("Screen Snap"),
                tr("Can not capture %1 display!").arg(display), QMessageBox::Ok);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        return;
    }
    const QPixmap picture = GrabScreen(screens.at(display - 1));
    if (picture.isNull()) {
        qCDebug(snapLog) << "Display" << display << "could not be grabbed for a screen snap";
        return;
    }
    misc.StartScreensnapEditor(misc.GetUserCompanyID(), misc.GetUserCompany(), picture,
        MiscFunctions::SCREENSNAP_PICTURE_MODE(display));
}

void RosterWindow::on_actionLast_snapshot_triggered()
{
    const MiscFunctions::SCREENSHOT& shot = misc.currentShot;
    if (!isSignedIn || !shot.time.isValid())
        return;
    LastSnapshot& dialog = misc.GetLastSnapshot();
    dialog.setModal(true);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Get last snapshot info"));
    dialog.SetInfo(
        shot.picture, LastSnapshot::SummaryText(shot, misc.GetUserCompany(), misc.GetUsername()));
    dialog.setWindowState(Qt::WindowActive);
    dialog.showNormal();
}

// The picture is not lost with the upload: the one the answer is for waits in the data folder.
void RosterWindow::OnScreensnapUploadFailed(const QVariant& answer)
{
    QString text = tr("The screensnap could not be uploaded. Please try again later.");
    const QString kept = misc.KeepFailedScreensnap(answer);
    if (!kept.isEmpty())
        text += QLatin1Char(' ') + tr("It was kept in %1").arg(QDir::toNativeSeparators(kept));
    ShowSnapPopup(text, false);
}
