#include "UniverseDeviceChecker.h"

#include "FormFit.h"
#include "WindowSystem.h"
#include "ui_UniverseDeviceChecker.h"

UniverseDeviceChecker::UniverseDeviceChecker(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::UniverseDeviceChecker>())
{
    ui->setupUi(this);
    WindowSystem::SetWindowTitleDialogStyle(this, true);
    FormFit::Fit(this);
}

UniverseDeviceChecker::~UniverseDeviceChecker() = default;

void UniverseDeviceChecker::on_btnClose_clicked()
{
    close();
}
