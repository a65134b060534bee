#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ExitConfirm;
}

// Asks whether to leave the client. Its Exit button quits by itself and remembers "Do not ask
// me again"; Cancel only closes it. Built once and shown again for every exit.
class ExitConfirm : public QDialog
{
    Q_OBJECT
public:
    explicit ExitConfirm(QWidget* parent = nullptr);
    ~ExitConfirm() override;

    // Centres the caption and the check box on the dialog.
    void SetInterface();
    // The dialog window style, then the layout.
    void SetWindowCaptionStyle();

signals:
    void ExitConfirm_Signal();

private slots:
    void on_btnExit_clicked();
    void on_btnCancel_clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::ExitConfirm> ui;
};
