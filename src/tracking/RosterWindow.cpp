#include "RosterWindow.h"

#include "FirstShow.h"
#include "LogCategories.h"
#include "MacTitleWidget.h"
#include "ServiceConfig.h"
#include "SettingsProvider.h"
#include "ui_RosterWindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

namespace {

const QString apiLogFileName = QStringLiteral("restApiLog.log");
const int buildPauseMs = 1; // after the first window is drawn

// A factor above 0 and up to 1; anything else leaves the intervals as they are.
double TimeScaleFromEnvironment()
{
    const QByteArray text = qgetenv("MOVARELQUINTASH_TIME_SCALE");
    if (text.isEmpty())
        return 1;
    bool ok = false;
    const double factor = text.toDouble(&ok);
    if (ok && factor > 0 && factor <= 1)
        return factor;
    qCWarning(configLog) << "MOVARELQUINTASH_TIME_SCALE must be a number above 0 and up to 1, not"
                         << text;
    return 1;
}

} // namespace

RosterWindow::RosterWindow(QWidget* parent, Building building)
    : QMainWindow(parent, Qt::FramelessWindowHint), misc(this),
      ui(std::make_unique<Ui::RosterWindow>()), restApi(this), infoApi(this), offlineStorage(this),
      rosterManager(this)
{
    restApi.setObjectName(QStringLiteral("restApi"));
    infoApi.setObjectName(QStringLiteral("infoApi"));
    offlineStorage.setObjectName(QStringLiteral("offlineStorage"));
    rosterManager.setObjectName(QStringLiteral("rosterManager"));
    // Both slots build the window first: a sign-in may end before it is built.
    connect(&misc.GetAuthDialog(), &AuthDialog::OnAuthComplete, this, &RosterWindow::OnAuthCompete);
    connect(&misc.GetAuthDialog(), &AuthDialog::OnAuthFailed, this, &RosterWindow::OnAuthFailed);
    if (building == Building::Now) {
        Build();
        return;
    }
    // After the icon, which waits for the same drawing, on a timer rather than a posted event
    // (as a zero timeout would be): the event loop lets timers and input in only once no posted
    // event is left, so the icon and the build would be one long stall.
    AfterFirstWindowDrawn(this,
        [this] { QTimer::singleShot(buildPauseMs, Qt::PreciseTimer, this, &RosterWindow::Build); });
}

void RosterWindow::Build()
{
    if (built)
        return;
    built = true;
    ui->setupUi(this);
    MakeLinksAbsolute();
    SetUpTitleBar();
    windowLayout = std::make_unique<MainWindowLayout>(*this, *ui, *titleWidget, infoApi);
    timeScale = TimeScaleFromEnvironment();
    misc.SetSampleInterval(Scaled(MiscFunctions::sampleIntervalMs));
    windowLayout->SetInterface();

    ConnectTimers();
    ConnectTray();
    // The hub's dialogs other than sign-in are made when first shown; each is wired then.
    misc.PreferencesHolder().Wire([this](Preferences& preferences) {
        connect(&preferences, &Preferences::OnSettingsApply, this, &RosterWindow::InitConfig);
        connect(&preferences, &Preferences::StopStartLoggingRequest, this,
            &RosterWindow::StartOrStopLogging);
        preferences.SetLogManager(&logManager);
    });
    connect(ui->menuSelect_team, &QMenu::triggered, this, &RosterWindow::OnMenuTeamsClick);
    misc.MemoHolder().Wire([this](Memo& memo) {
        connect(&memo, &Memo::MemoIsChanged, this, &RosterWindow::SetMemo);
        connect(&memo, &Memo::MemoIsCanceled, this, &RosterWindow::MemoIsCanceled);
    });
    screenshotPopup.Wire([this](popupWindow& popup) {
        MainWindowLayout::ApplyStyleSheet(&popup);
        connect(&popup, &popupWindow::OnMemoCall, this, &RosterWindow::on_actionMemo_triggered);
        connect(&popup, &popupWindow::OnDiscardButtonClick, this, &RosterWindow::ResetWorkingTime);
    });
    ConnectCapture();
    misc.StopReminderHolder().Wire([this](StopReminder& stopReminder) {
        // Its button says Start: should tracking have begun meanwhile, it must not stop it.
        connect(&stopReminder, &StopReminder::OnStartTrackingTime_Signal, this,
            &RosterWindow::StartTrackingTime);
        connect(&stopReminder, &StopReminder::OnChangeMemo_Signal, this,
            &RosterWindow::on_actionMemo_triggered);
    });
    for (RestAPI* api : { &restApi, &infoApi }) {
        connect(api, &RestAPI::ApiDataOk, this, &RosterWindow::ApiDataOk);
        connect(api, &RestAPI::ApiDataError, this, &RosterWindow::ApiDataError);
    }
    ConnectMisc();
    connect(qApp, &QCoreApplication::aboutToQuit, this, &RosterWindow::OnAboutToQuit);
    ConstructRosterList();
    ConstructInterface();

    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    ApplyLogSettings(settings);
    logManager.StartLog();

    InitConfig();
    // Only the start: applying the preferences leaves the window as the member has it.
    if (settings.startMinimized)
        setWindowState(Qt::WindowMinimized);
    ChangeStatus(RosterManager::STATUS_ONLINE);
    connect(&restApi, &RestAPI::NetworkManagerLogSignal, this, &RosterWindow::ApiLog);
    // Built behind a sign-in dialog already shown: the tray as the dialog left it.
    if (signInAsked && !isSignedIn)
        ShowSignedOutTray();
}

RosterWindow::~RosterWindow()
{
    // The popup is the last member to go: its hiding then must not save into the others.
    if (popupWindow* popup = screenshotPopup.IfMade())
        popup->disconnect(this);
}

void RosterWindow::SetUpTitleBar()
{
    titleWidget = new MacTitleWidget(this);
    titleWidget->SetButtonSize(QSize(23, 17));
    titleWidget->SetButtonActive(MacTitleWidget::CLOSE_BUTTON, true);
    titleWidget->SetButtonActive(MacTitleWidget::MINIMIZE_BUTTON, true);
    titleWidget->SetButtonActive(MacTitleWidget::MAXIMIZE_BUTTON, false);
    titleWidget->setObjectName(QStringLiteral("rosterTitleWidget"));
    titleWidget->move(11, 6);
    titleWidget->resize(width(), titleWidget->height());
    connect(titleWidget, &MacTitleWidget::CloseClicked, this, &QWidget::close);
    connect(titleWidget, &MacTitleWidget::MinimizeClicked, this, &QWidget::showMinimized);
}

QUrl RosterWindow::WebPage(const QString& path, const QString& query)
{
    QUrl page = ServiceConfig::webBaseUrl();
    QString basePath = page.path();
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    page.setPath(basePath + path);
    if (!query.isEmpty())
        page.setQuery(query, QUrl::StrictMode);
    return page;
}

// The form's links name pages of the service by path; the service's web host comes from the
// configuration.
void RosterWindow::MakeLinksAbsolute()
{
    static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    for (QLabel* label :
        { ui->lblLinkMyMail, ui->lblLinkFindTessivanors, ui->lbLinkPostJob, ui->lblLinkAcademy }) {
        QString text = label->text();
        const QRegularExpressionMatch match = href.match(text);
        if (!match.hasMatch())
            continue;
        text.replace(match.capturedStart(1), match.capturedLength(1),
            WebPage(match.captured(1)).toString(QUrl::FullyEncoded).toHtmlEscaped());
        label->setText(text);
    }
}

void RosterWindow::ConnectTray()
{
    TrayIcon& tray = misc.GetTrayIcon();
    connect(&tray, &TrayIcon::OpenTeamRoom_Signal, this, &RosterWindow::OpenTeamRoom);
    connect(&tray, &TrayIcon::ChatStatusChange_Signal, this, &RosterWindow::ChangeStatus);
    connect(&tray, &TrayIcon::OpenMemo_Signal, this, &RosterWindow::on_actionMemo_triggered);
    connect(&tray, &TrayIcon::SelectTeam_Signal, this, &RosterWindow::ChangeTeam);
    connect(&tray, &TrayIcon::TrackingTime_Signal, this, &RosterWindow::on_btnTimeControl_released);
    connect(&tray, &TrayIcon::LastSnapshot_Signal, this,
        &RosterWindow::on_actionLast_snapshot_triggered);
    connect(&tray, &TrayIcon::SingOut_Signal, this, &RosterWindow::SignOut);
    connect(&tray, &TrayIcon::ExitApp_Singal, this, &RosterWindow::ExitApp);
    connect(&tray, &TrayIcon::ShowOfflineUsers_Signal, this,
        &RosterWindow::on_actionShow_offline_users_triggered);
    connect(&tray, &TrayIcon::ShowGroups_Signal, this,
        &RosterWindow::on_actionGroup_users_by_team_triggered);
    connect(&tray, &TrayIcon::ExpandAll_Signal, this, &RosterWindow::on_actionExpand_all_triggered);
    connect(
        &tray, &TrayIcon::CollapseAll_Signal, this, &RosterWindow::on_actionCollapse_all_triggered);
    connect(&tray, &TrayIcon::Screensnap_Signal, this, &RosterWindow::TakeScreensnap);
}

void RosterWindow::ConnectMisc()
{
    misc.ExitConfirmHolder().Wire([this](ExitConfirm& confirm) {
        connect(&confirm, &ExitConfirm::ExitConfirm_Signal, this, &RosterWindow::ExitApp);
        // Cancel (or closing the question) takes the answer back: the next exit asks again.
        connect(&confirm, &QDialog::rejected, this, [this] { exitConfirmPending = false; });
    });
    for (QLabel* label :
        { ui->lblLinkMyMail, ui->lblLinkFindTessivanors, ui->lbLinkPostJob, ui->lblLinkAcademy })
        connect(label, &QLabel::linkActivated, &misc, &MiscFunctions::openLink);
    updateWindow.Wire([this](updateDialog& update) {
        connect(&update, &updateDialog::DownloadUpdate, this, &RosterWindow::StartDownloadUpdate);
        connect(
            &update, &updateDialog::DownloadUpdateError, this, &RosterWindow::StopDownloadUpdate);
        connect(&update, &updateDialog::DownloadCanceled, this, &RosterWindow::StopDownloadUpdate);
    });
}

void RosterWindow::showLoginDialog()
{
    isSignedIn = false;
    signInAsked = true;
    ShowSignedOutTray();
    misc.GetAuthDialog().showAuthDialogWithPrompt(true);
    hide();
}

void RosterWindow::ShowSignedOutTray()
{
    // An icon not made yet comes with the window's build, which shows it signed out then.
    TrayIcon* tray = misc.TrayIconHolder().IfMade();
    if (!tray)
        return;
    tray->setToolTip(QString());
    tray->ChangeSign(false);
}

void RosterWindow::ResetWorkingTime()
{
    tracking.ResetWorkingTime();
}

QString RosterWindow::ApiLogPath() const
{
    // Asked for every line of the trace, thousands a refresh: made again when the log moves.
    const QString logPath = logManager.GetLogPath();
    if (logPath != apiLogPathOf) {
        apiLogPathOf = logPath;
        apiLogPath = QFileInfo(logPath).absolutePath() + QLatin1Char('/') + apiLogFileName;
    }
    return apiLogPath;
}

void RosterWindow::ApiLog(const QString& text)
{
    // Thousands of lines come with every roster refresh: they are made and written on the log
    // thread.
    LogManager::AppendLater(ApiLogPath(), [text, when = QDateTime::currentMSecsSinceEpoch()] {
        return (QDateTime::fromMSecsSinceEpoch(when).time().toString(QStringLiteral("hh:mm:ss.zzz"))
            + QStringLiteral(" ") + LogManager::Redact(text) + QStringLiteral("\r\n"))
            .toUtf8();
    });
}

void RosterWindow::OnChatConnectionStateChange(bool connected)
{
    conversations.OnConnectionStateChange(connected);
}

void RosterWindow::OnAuthFailed(const QString& userName)
{
    Build();
    logManager.AddToLog(LogManager::LOG_SIGN_IN_ERROR, userName);
}
