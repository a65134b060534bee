#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class Memo;
}

// The memo dialog: what the member works on, picked from the team's earlier memos or typed
// anew, and when to be reminded of it. Built once and shown again for every memo.
class Memo : public QDialog
{
    Q_OBJECT
public:
    explicit Memo(QWidget* parent = nullptr);
    ~Memo() override;

    // Prepares the dialog for the member and team room: the team's earlier memos, the newest
    // one as the text, and the reminder interval from the preferences.
    void SetCurrentUserAndCompany(const QString& user, const QString& company);

    // The reminder interval of a list position in milliseconds; 0 = no reminder.
    static int RemindInterval(int index);

    void accept() override;
    void reject() override;

signals:
    void MemoIsChanged(QString memoText, int timeOut);
    void MemoIsCanceled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void on_btnOK_clicked();
    void on_btnCancel_clicked();
    void on_cmbPrevMemo_activated(int index);

private:
    QString MemoText() const;
    void UpdateOkButton();

    std::unique_ptr<Ui::Memo> ui;
    QString userName;
    QString companyName;
};
