#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class UniverseDeviceChecker;
}

// Warns that keyboard and mouse activity cannot be counted on this desktop and says how to make
// it possible. Shown by the state checker, closed by its own button, never destroyed meanwhile.
class UniverseDeviceChecker : public QDialog
{
    Q_OBJECT
public:
    explicit UniverseDeviceChecker(QWidget* parent = nullptr);
    ~UniverseDeviceChecker() override;

private slots:
    void on_btnClose_clicked();

private:
    std::unique_ptr<Ui::UniverseDeviceChecker> ui;
};
