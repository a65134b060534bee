#include "MiscFunctions.h"

#include "AppInfo.h"
#include "FirstShow.h"
#include "LogCategories.h"
#include "RestAPI.h"
#include "ScreenSnapWidget.h"
#include "SnapFiles.h"

#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QPainter>
#include <QTime>

MiscFunctions::MiscFunctions(QObject* parent)
    : QObject(parent), linkOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    qRegisterMetaType<EVENTS_STATISTIC>("MiscFunctions::EVENTS_STATISTIC");
    qRegisterMetaType<SCREENSHOT>("MiscFunctions::SCREENSHOT");

    // One connection per shortcut for the whole run: binding other keys later never adds one.
    for (int type = 0; type < int(shortcuts.size()); ++type) {
        shortcuts[type].SetName(QString::number(type));
        connect(&shortcuts[type], &MyShortcut::ShortcutActivated, this,
            [this](const QString& name) { emit ShortcutActivated(name.toInt()); });
    }
    sampleTimer.setInterval(sampleIntervalMs);
    connect(&sampleTimer, &QTimer::timeout, this, &MiscFunctions::TakeSample);
    remindDialog.Wire([this](RemindDialog& dialog) {
        connect(&dialog, &RemindDialog::OnChangeMemo_Signal, this, &MiscFunctions::OpenMemoDialog);
    });
}

// A snap window still open goes with the hub: it has no parent to take it.
MiscFunctions::~MiscFunctions()
{
    delete snapWindow;
}

void MiscFunctions::SetUserName(const QString& name)
{
    userName = name;
}

QString MiscFunctions::GetUsername() const
{
    return userName;
}

void MiscFunctions::SetUserCompany(int id, const QString& name)
{
    companyId = id;
    companyName = name;
}

int MiscFunctions::GetUserCompanyID() const
{
    return companyId;
}

QString MiscFunctions::GetUserCompany() const
{
    return companyName;
}

void MiscFunctions::SetMemo(const QString& text)
{
    memo = text;
}

QString MiscFunctions::GetMemo() const
{
    return memo;
}

void MiscFunctions::SetApiHandle(RestAPI* api)
{
    apiHandle = api;
}

void MiscFunctions::SetUserAvatar(const QPixmap& picture)
{
    avatar = picture;
    veiledAvatar = picture;
    if (veiledAvatar.isNull())
        return;
    // A pale veil over the picture's own pixels, so a round avatar stays round.
    QPainter painter(&veiledAvatar);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(veiledAvatar.rect(), QColor(255, 255, 255, 150));
}

QPixmap MiscFunctions::GetUserAvatar(bool unveiled) const
{
    return unveiled ? avatar : veiledAvatar;
}

void MiscFunctions::StartCountEvents()
{
    statistic.clear();
    eventCounter.Reset();
    // The counter sees input to every window, the client's own included, so it is the only
    // source of the counts.
    if (!eventCounter.Install())
        qCDebug(platformLog) << "Keyboard and mouse input cannot be counted on this desktop";
    sampleTimer.start();
}

void MiscFunctions::StopCountEvents()
{
    eventCounter.Remove();
    eventCounter.Reset();
    sampleTimer.stop();
}

bool MiscFunctions::IsCountingEvents() const
{
    return sampleTimer.isActive();
}

void MiscFunctions::SetSampleInterval(int msec)
{
    sampleTimer.setInterval(msec);
}

void MiscFunctions::ResetStatistic()
{
    statistic.clear();
}

void MiscFunctions::ResetAllStatistic()
{
    statistic.clear();
    lastStatistic.clear();
}

QList<MiscFunctions::EVENTS_STATISTIC> MiscFunctions::GetStatistic() const
{
    return lastStatistic;
}

void MiscFunctions::TakeSample()
{
    EVENTS_STATISTIC sample;
    sample.mouseEvents = eventCounter.GetMouseEvents();
    sample.keyEvents = eventCounter.GetKeyEvents();
    sample.time = QTime::currentTime();
    eventCounter.Reset();
    statistic.append(sample);
    lastStatistic = statistic;
}

void MiscFunctions::UploadShot(const SCREENSHOT& shot)
{
    if (!apiHandle) {
        qCDebug(captureLog) << "No REST client to upload the screenshot through";
        return;
    }
    apiHandle->UploadScreenshot(shot);
}

bool MiscFunctions::SetShortcut(SHORTCUT_TYPE type, const QString& keys)
{
    const int index = type;
    if (index < 0 || index >= int(shortcuts.size()))
        return false;
    MyShortcut& shortcut = shortcuts[index];
    // A hotkey the member cleared must stop acting, not keep its old keys.
    if (keys.isEmpty()) {
        shortcut.UnsetShortcut();
        return false;
    }
    shortcut.SetName(QString::number(index));
    return shortcut.SetShortcut(keys);
}

void MiscFunctions::SetLinkOpener(std::function<bool(const QUrl&)> opener)
{
    linkOpener = std::move(opener);
}

void MiscFunctions::OpenMemoDialog()
{
    Memo& dialog = memoDialog.Get();
    dialog.SetCurrentUserAndCompany(userName, companyName);
    dialog.setModal(true);
    dialog.show();
    dialog.activateWindow();
}

void MiscFunctions::ShowPreferences()
{
    // Its show event reloads it from the store; an open dialog keeps what the member edits.
    Preferences& dialog = preferences.Get();
    dialog.setWindowState((dialog.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    dialog.raise();
    dialog.setModal(true);
    dialog.showNormal();
    dialog.activateWindow();
}

void MiscFunctions::openLink(const QString& link)
{
    // Links come from answers of the service and from what the member typed: only web pages
    // go to the browser, never files or other programs' schemes.
    const QUrl url(link.trimmed());
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qCDebug(linksLog) << "Not a web address, not opened:" << url.toDisplayString();
        return;
    }
    if (!linkOpener(url))
        qCDebug(linksLog) << "The browser did not open" << url.toDisplayString();
}

void MiscFunctions::StartScreensnapEditor(
    int companyId, const QString& company, const QPixmap& picture, SCREENSNAP_PICTURE_MODE mode)
{
    Q_UNUSED(mode) // the caller grabbed the display; the window starts at the origin anyway
    if (snapWindow)
        return;
    snapCompanyId = companyId;
    ScreenSnapHost host;
    host.showPreferences = [this] {
        ShowPreferences();
    };
    host.showNotice
        = [this](const QString& caption1, const QString& caption2, const QString& text) {
              snapNotices.Show(caption1, caption2, text);
          };
    snapWindow
        = new ScreenSnapWidget(nullptr, picture, userName, company, companyId, std::move(host));
    connect(snapWindow, &ScreenSnapWidget::screenIsReady, this, &MiscFunctions::OnScreenIsReady);
    snapWindow->move(0, 0);
    // A whole desktop's window: shown without one long stall of its first paint.
    ShowInSlices(snapWindow);
}

ScreenSnapWidget* MiscFunctions::GetScreensnapEditor() const
{
    return snapWindow;
}

void MiscFunctions::OnScreenIsReady(const QString& title, const QString& description,
    int permission, const QString& password, const QByteArray& picture)
{
    int keyStrokes = 0;
    int mouseClicks = 0;
    for (const EVENTS_STATISTIC& sample : qAsConst(lastStatistic)) {
        keyStrokes += sample.keyEvents;
        mouseClicks += sample.mouseEvents;
    }
    if (!apiHandle) {
        qCDebug(snapLog) << "No REST client to upload the screen snap through; kept in"
                         << KeepSnap({ 0, title, picture });
        return;
    }
    const quint64 upload = apiHandle->UploadScreensnap(title, description, QStringLiteral(" "),
        keyStrokes, mouseClicks, snapCompanyId, RestAPI::ScreensnapPermission(permission), password,
        picture);
    // Every answer, even one decided at once, comes from the event loop, after this.
    pendingSnaps.append({ upload, title, picture });
}

int MiscFunctions::PendingSnapIndex(const QVariant& answer) const
{
    if (answer.userType() != qMetaTypeId<RestAPI::UploadAnswer>())
        return -1;
    const quint64 upload = answer.value<RestAPI::UploadAnswer>().upload;
    for (int index = 0; index < pendingSnaps.size(); ++index)
        if (pendingSnaps.at(index).upload == upload)
            return index;
    return -1;
}

bool MiscFunctions::AwaitsScreensnap(const QVariant& answer) const
{
    return PendingSnapIndex(answer) >= 0;
}

void MiscFunctions::ForgetUploadedScreensnap(const QVariant& answer)
{
    const int index = PendingSnapIndex(answer);
    if (index >= 0)
        pendingSnaps.removeAt(index);
}

QString MiscFunctions::KeepFailedScreensnap(const QVariant& answer)
{
    const int index = PendingSnapIndex(answer);
    return index < 0 ? QString() : KeepSnap(pendingSnaps.takeAt(index));
}

QString MiscFunctions::KeepSnap(const PendingSnap& snap)
{
    const QString date
        = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy - hh:mm:ss"));
    const QString path
        = SnapFiles::UniquePath(AppInfo::dataFolder() + QStringLiteral("/screensnaps"),
            SnapFiles::FileName(snap.title, date));
    const QString error = SnapFiles::Write(path, snap.png);
    if (!error.isEmpty()) {
        qCDebug(snapLog) << "The screen snap that failed to upload cannot be kept either:" << error;
        return QString();
    }
    return path;
}
