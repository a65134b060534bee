#include "LastSnapshot.h"

#include "FormFit.h"
#include "WindowSystem.h"
#include "ui_LastSnapshot.h"

namespace {

const QString timeFormat = QStringLiteral("hh:mm:ss");

} // namespace

LastSnapshot::LastSnapshot(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::LastSnapshot>())
{
    ui->setupUi(this);
    FormFit::Fit(this);
    WindowSystem::SetWindowTitleDialogStyle(this, false);
}

LastSnapshot::~LastSnapshot() = default;

void LastSnapshot::SetInfo(const QPixmap& picture, const QString& text)
{
    ui->lblDesktopPicture->setPixmap(picture);
    ui->textBrowser->setPlainText(text);
}

QString LastSnapshot::SummaryText(
    const ScreenshotRecord& shot, const QString& company, const QString& user)
{
    QString text = QStringLiteral("Time: ") + shot.time.toString(timeFormat)
        + QStringLiteral("\r\n\r\n\r\n");
    text += QStringLiteral("Company: ") + company + QStringLiteral("\r\n");
    text += QStringLiteral("User: ") + user + QStringLiteral("\r\n");
    text += QStringLiteral("Active window title: ") + shot.activeWindow + QStringLiteral("\r\n");
    text += tr("Totals: %1 kbd event(s), %2 mouse event(s))\r\n\r\n")
                .arg(shot.keyStrokes)
                .arg(shot.mouseClicks);
    for (const EventsStatistic& sample : shot.statistic)
        text += tr("%1 - %2 kbd event(s), %3 mouse event(s)\r\n\r\n")
                    .arg(sample.time.toString(timeFormat))
                    .arg(sample.keyEvents)
                    .arg(sample.mouseEvents);
    return text;
}

void LastSnapshot::on_btnOK_clicked()
{
    close();
}
