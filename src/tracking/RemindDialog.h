#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class RemindDialog;
}

// The memo reminder: shows the current memo and offers to change it.
class RemindDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RemindDialog(QWidget* parent = nullptr);
    ~RemindDialog() override;

    void SetCurrentMemoText(const QString& memo);

signals:
    // The member wants to change the memo; the memo dialog's owner opens it.
    void OnChangeMemo_Signal();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_btnChangeMemo_clicked();
    void on_btnOK_clicked();

private:
    std::unique_ptr<Ui::RemindDialog> ui;
};
