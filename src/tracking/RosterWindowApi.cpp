#include "RosterWindow.h"

#include "ServicePicture.h"
#include "SettingsProvider.h"
#include "UpdateVersion.h"
#include "ui_RosterWindow.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>

namespace {

// Answers that belong to a sign-in: after sign-out they change nothing.
bool IsSessionAnswer(RestAPI::ApiState state)
{
    switch (state) {
    case RestAPI::GetTeamsState:
    case RestAPI::AllTeamsLoaded:
    case RestAPI::AllAvatarsLoaded:
    case RestAPI::AllSnapshotsLoaded:
    case RestAPI::UserAvatarState:
    case RestAPI::AboutState:
    case RestAPI::AllToolsLoaded:
        return true;
    default:
        return false;
    }
}

// Failures that leave a sign-in without its first roster.
bool IsRosterFailure(RestAPI::ApiState state)
{
    return state == RestAPI::GetTeamsState || state == RestAPI::GetUsersState
        || state == RestAPI::NoConnection;
}

} // namespace

void RosterWindow::ApiDataOk(const RestAPI::ApiResult& result)
{
    const RestAPI::ApiState currentState = result.state;
    const QVariant& arg = result.value;
    if (!isSignedIn && IsSessionAnswer(currentState))
        return;
    switch (currentState) {
    case RestAPI::GetTeamsState:
        rosterView->OnTeamsReceived(restApi.GetRosterList());
        break;
    case RestAPI::GetUsersState:
        rosterView->OnTeamMembersReceived(arg.toInt(), restApi.GetRosterList());
        break;
    case RestAPI::AllTeamsLoaded:
        rosterView->OnRosterReceived(restApi.GetRosterList());
        break;
    case RestAPI::AllAvatarsLoaded:
        rosterView->OnAvatarsReceived(restApi.GetRosterList());
        break;
    case RestAPI::ScreensnapUpload:
        OnScreensnapUploaded(arg);
        break;
    case RestAPI::GetUpdate:
        OnUpdateInfoReceived();
        break;
    case RestAPI::UserAvatarState:
        OnUserAvatarReceived(arg.toByteArray());
        break;
    case RestAPI::AllSnapshotsLoaded:
        logManager.AddToLog(LogManager::LOG_TEXT,
            QStringLiteral("Snapshots for users was recieved.Work with roster list"));
        rosterView->CheckForScreensUpdates(restApi.GetRosterList());
        logManager.AddToLog(
            LogManager::LOG_TEXT, QStringLiteral("Snapshots for users was successfully updated"));
        restApi.SetIsNeedScreenshots(false);
        break;
    case RestAPI::AboutState:
        OnAboutReceived();
        break;
    case RestAPI::AllToolsLoaded:
        OnToolsReceived();
        break;
    case RestAPI::WorkState:
        tracking.WorkNoticeAnswered();
        break;
    default:
        break;
    }
}

void RosterWindow::ApiDataError(const RestAPI::ApiResult& result)
{
    const RestAPI::ApiState currentState = result.state;
    const QVariant& arg = result.value;
    switch (currentState) {
    case RestAPI::GetTeamsState:
        rosterView->ShowRosterPage(false);
        break;
    case RestAPI::NoConnection:
        rosterView->ShowRosterPage(false);
        logManager.AddToLog(LogManager::LOG_NETWORK_ERROR);
        // Nothing goes out without the network: no notice will be answered.
        tracking.ForgetWorkNotices();
        // A snap that never left fails as one the service refused.
        if (misc.AwaitsScreensnap(arg))
            OnScreensnapUploadFailed(arg);
        break;
    case RestAPI::WorkState:
        tracking.WorkNoticeAnswered();
        break;
    case RestAPI::ScreensnapUpload:
        OnScreensnapUploadFailed(arg);
        break;
    default:
        break;
    }
    // Without the refresh a sign-in whose first roster failed would never get one.
    if (isSignedIn && rosterView->AwaitsFirstRoster() && IsRosterFailure(currentState)
        && !restTimer.isActive())
        restTimer.start();
    logManager.AddToLog(LogManager::LOG_TEXT,
        QStringLiteral("Api query failed: Api state: ") + QString::number(int(currentState)));
}

void RosterWindow::OnScreensnapUploaded(const QVariant& answer)
{
    misc.ForgetUploadedScreensnap(answer);
    const QString shortUrl = answer.toString();
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Screensnap was successfully uploaded"));
    // The address is the service's text: shown as text, never as markup.
    const QString link = QStringLiteral("<a href=\"%1\">%1</a>").arg(shortUrl.toHtmlEscaped());
    QGuiApplication::clipboard()->setText(shortUrl, QClipboard::Clipboard);
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Try to show popup with screenshot short url"));
    ShowSnapPopup(
        tr("Short URL:\n") + link + QStringLiteral("<br>") + tr("has been placed in clipboard"),
        true);
}

// A popup still on screen gives way to this notice.
void RosterWindow::ShowSnapPopup(const QString& text, bool richText)
{
    const QString caption1 = tr("Movarelquintash Team Room");
    const QString caption2 = tr("Screensnap");
    int lifeTime = SettingsProvider::instance()->GetCurrentSettings().popupTimeout * 1000;
    popupWindow& popup = ScreenshotPopup();
    if (!popup.ShowPopup(caption1, caption2, text, lifeTime, 10, richText))
        return;
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Close current popup"));
    popup.hide();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show new popup"));
    lifeTime = SettingsProvider::instance()->GetCurrentSettings().popupTimeout * 1000;
    popup.ShowPopup(caption1, caption2, text, lifeTime, 10, richText);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Popup was showed"));
}

void RosterWindow::OnUpdateInfoReceived()
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Update info was recieved"));
    const RestAPI::UpdateInfo update = infoApi.GetCurrentUpdateInfo();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Start checking application version"));
    if (!isNeedUpdate(update.version))
        return;
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show update dialog"));
    // The offer may wait: shown modal it would shut out the memo dialog that tracking opens, and
    // without a memo no capture is uploaded.
    updateDialog& window = UpdateWindow();
    window.setWindowModality(Qt::NonModal);
    window.showUpdate(restApi.GetCurrentUserInfo(), update, QCoreApplication::applicationVersion(),
        update.version);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show update dialog - success"));
}

bool RosterWindow::isNeedUpdate(const QString& version)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Check updates"));
    switch (UpdateVersion::Compare(version, QCoreApplication::applicationVersion())) {
    case UpdateVersion::Verdict::NotAVersion:
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Is need update  - false"));
        return false;
    case UpdateVersion::Verdict::Newer:
        logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Is need update"));
        return true;
    case UpdateVersion::Verdict::NotNewer:
        break;
    }
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Is need update - false"));
    return false;
}

void RosterWindow::OnUserAvatarReceived(const QByteArray& bytes)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("User's avatar was recieved"));
    misc.SetUserAvatar(
        QPixmap::fromImage(ServicePicture::Decode(bytes, ServicePicture::Kind::Avatar)));
    ui->picUserAvatar->setPixmap(misc.GetUserAvatar(tracking.IsTracking()));
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Set user avatar to GUI"));
}

void RosterWindow::OnAboutReceived()
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("About text was recieved"));
    ui->btnAboutMQT->setEnabled(true);
    ui->lblTessivanorAboutText->setText(
        ServicePicture::TextWithoutPictures(infoApi.GetAboutInfoResult().description));
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("About text was recieved - success"));
}

void RosterWindow::OnToolsReceived()
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Team work tools was recieved"));
    const QList<RestAPI::TeamWorkTool> tools = infoApi.GetTeamWorkTools_Result();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Read team work tools"));
    QListWidget* list = ui->lstTeamWorkTools;
    list->clear();
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Add tools to GUI"));
    for (const RestAPI::TeamWorkTool& tool : tools) {
        auto* item = new QListWidgetItem(QIcon(tool.image), tool.title, list);
        item->setData(ROLE_TOOL_URL, tool.url);
    }
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Add tools to GUI - success"));
}

void RosterWindow::StartDownloadUpdate()
{
    updateDownloading = true;
    windowHiddenForUpdate = isVisible();
    hide();
    misc.GetTrayIcon().hide();
}

// Brings back what the download hid. An offer refused without a download hid nothing: a window
// the member closed, or that nobody is signed in to, stays away.
void RosterWindow::StopDownloadUpdate()
{
    if (!updateDownloading)
        return;
    updateDownloading = false;
    if (windowHiddenForUpdate)
        show();
    misc.GetTrayIcon().show();
}
