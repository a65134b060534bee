#include "RosterWindow.h"

#include "ui_RosterWindow.h"

#include <QTextDocument>

namespace {

// A tool tip is taken as markup whenever it looks like some, and a picture it names would be
// read from any file: such a text (a member's name) is escaped, on one line, so it shows as
// written. Any other text stays as it is.
QString ToolTipAsWritten(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped()
        + QStringLiteral("</p>");
}

} // namespace

void RosterWindow::ChangeStatus(RosterManager::STATUS status)
{
    currentStatus = status;
    restApi.SetUserChatStatus(status);
    TrayIcon& tray = misc.GetTrayIcon();
    tray.ChangeUserStatus(status, rosterView->ItemStyle());

    ui->lblUserStatus->setStyleSheet(ListWidgetManager::GetStyleForStatus(status));
    ui->picUserAvatar->repaint();
    ui->actionAvailable->setChecked(false);
    ui->actionBusy->setChecked(false);

    QString word;
    switch (status) {
    case RosterManager::STATUS_ONLINE_WORKING:
        ui->lblUserStatus->setText(tr("ONLINE"));
        ui->actionAvailable->setChecked(true);
        word = tr("Working");
        break;
    case RosterManager::STATUS_DND_WORKING:
        ui->lblUserStatus->setText(tr("DO NOT DISTURB"));
        ui->actionBusy->setChecked(true);
        word = tr("Do not disturb");
        break;
    case RosterManager::STATUS_IDLE_WORKING:
        ui->lblUserStatus->setText(tr("ONLINE - IDLE"));
        ui->actionAvailable->setChecked(true);
        word = tr("Idle");
        break;
    case RosterManager::STATUS_ONLINE:
        ui->lblUserStatus->setText(tr("ONLINE"));
        ui->actionAvailable->setChecked(true);
        word = tr("Online");
        break;
    case RosterManager::STATUS_IDLE:
        ui->lblUserStatus->setText(QStringLiteral("ONLINE - IDLE"));
        word = tr("Idle");
        break;
    case RosterManager::STATUS_DND:
    case RosterManager::STATUS_OFFLINE:
        ui->lblUserStatus->setText(tr("DO NOT DISTURB"));
        ui->actionBusy->setChecked(true);
        word = tr("Do not distrub");
        break;
    case RosterManager::STATUS_ONLINE_CACHED:
        ui->lblUserStatus->setText(tr("ONLINE - CACHED"));
        word = cacheStatusText;
        break;
    default:
        break;
    }

    // Status 0 and unknown values leave the label as it was and the tooltip empty.
    const bool known = status >= RosterManager::STATUS_ONLINE_WORKING
        && status <= RosterManager::STATUS_ONLINE_CACHED;
    const QString toolTip = known ? QStringLiteral("Tessivanor Team Room - ") + word
            + QLatin1Char('(') + misc.GetUsername() + QLatin1Char(')')
                                  : QString();
    logManager.AddToLog(LogManager::LOG_USER_STATUS_CHANGED, toolTip);
    tray.setToolTip(ToolTipAsWritten(toolTip));
    if (!tray.isVisible())
        tray.show();
}

void RosterWindow::on_actionAvailable_triggered()
{
    ChangeStatus(StatusRestore::Available(tracking.IsTracking()));
}

void RosterWindow::on_actionBusy_triggered()
{
    ChangeStatus(StatusRestore::Busy(tracking.IsTracking()));
}
