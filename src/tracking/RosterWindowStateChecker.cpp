#include "RosterWindow.h"

#include "ui_RosterWindow.h"

StateCheck::Context RosterWindow::StateCheckContext()
{
    StateCheck::Context context;
    context.grabRunning = [this] {
        return captureQueue.GrabRunning();
    };
    context.tracking = [this] {
        return tracking.IsTracking();
    };
    context.status = [this] {
        return currentStatus;
    };
    context.changeStatus = [this](RosterManager::STATUS status) {
        ChangeStatus(status);
    };
    context.stopTracking = [this] {
        on_btnTimeControl_released();
    };
    context.teamCount = [this] {
        return ui->cmbCurrentCompany->count();
    };
    context.showCount = [this](const QString& text) {
        ui->statusText->setText(text);
    };
    return context;
}

void RosterWindow::StateChecker()
{
    stateCheck.Tick();
}
