#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class PasswordSet;
}

// Asks twice for the password that protects a screen snap shared by password. It has no close
// button: Cancel is the way out. Every showing starts with empty fields.
class PasswordSet : public QDialog
{
    Q_OBJECT
public:
    explicit PasswordSet(QWidget* parent = nullptr);
    ~PasswordSet() override;

signals:
    // Once per accepted entry, the password as typed.
    void SetPasswordSignal(QString password);

private slots:
    void on_btnOK_clicked();
    void on_btnCancel_clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Refuse(const QString& text);

    std::unique_ptr<Ui::PasswordSet> ui;
};
