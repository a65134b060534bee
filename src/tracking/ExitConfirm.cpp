#include "ExitConfirm.h"

#include "FormFit.h"
#include "SettingsKeys.h"
#include "SettingsProvider.h"
#include "WindowSystem.h"
#include "ui_ExitConfirm.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

ExitConfirm::ExitConfirm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::ExitConfirm>())
{
    ui->setupUi(this);
    FormFit::Fit(this);
    SetWindowCaptionStyle();
}

ExitConfirm::~ExitConfirm() = default;

void ExitConfirm::SetWindowCaptionStyle()
{
    WindowSystem::SetWindowTitleDialogStyle(this, false);
    SetInterface();
}

void ExitConfirm::SetInterface()
{
    const int middle = (width() - 1) / 2;
    const QList<QWidget*> centred { ui->label, ui->chkUseConfirm };
    for (QWidget* widget : centred) {
        widget->resize(widget->sizeHint());
        widget->move(middle - widget->width() / 2, widget->y());
    }
}

void ExitConfirm::on_btnExit_clicked()
{
    SettingsProvider::instance()->SetKeyByName(
        SettingsKeys::confirmAtExit, !ui->chkUseConfirm->isChecked());
    close();
    QCoreApplication::quit();
}

void ExitConfirm::on_btnCancel_clicked()
{
    close();
}

void ExitConfirm::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
