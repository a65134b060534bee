#pragma once

#include "ScreenshotRecord.h"

#include <QDialog>
#include <QPixmap>
#include <QString>

#include <memory>

namespace Ui {
class LastSnapshot;
}

// The last work-diary capture with a summary of its activity counts.
class LastSnapshot : public QDialog
{
    Q_OBJECT
public:
    explicit LastSnapshot(QWidget* parent = nullptr);
    ~LastSnapshot() override;

    // The picture scaled into its box, the text as it is.
    void SetInfo(const QPixmap& picture, const QString& text);

    // Time, team, member, active window, the totals and one line per minute's sample, oldest
    // first; every line ends in CR LF.
    static QString SummaryText(
        const ScreenshotRecord& shot, const QString& company, const QString& user);

private slots:
    void on_btnOK_clicked();

private:
    std::unique_ptr<Ui::LastSnapshot> ui;
};
