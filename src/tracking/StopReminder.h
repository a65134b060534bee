#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

#include <memory>

namespace Ui {
class StopReminder;
}

// Tells the member that time tracking is stopped and offers to start it, to change the memo or
// to be reminded again later. Built once and shown again for every reminder.
class StopReminder : public QDialog
{
    Q_OBJECT
public:
    explicit StopReminder(QWidget* parent = nullptr);
    ~StopReminder() override;

    // The reminder interval of a position of the interval list (2, 5, 10, 15 or 30 minutes) in
    // milliseconds; any other position means 15 minutes.
    static int RemindInterval(int index);

    // Shows "Memo: " and the memo, cut to the label's width.
    void SetCurrentMemo(const QString& memo);
    // Places the interval list right of its caption.
    void SetInterface();

signals:
    void OnStartTrackingTime_Signal();
    void OnChangeMemo_Signal();

public slots:
    // The snooze is over: the dialog comes back.
    void OnRemindTimer();

private slots:
    void on_btnStartTrackingTime_clicked();
    void on_btnChangeMemo_clicked();
    void on_btnSnooze_clicked();

protected:
    // Closing ends the snooze; a closed reminder comes back only with the next reminder.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::StopReminder> ui;
    QString currentMemo;
    QTimer remindTimer { this };
};
