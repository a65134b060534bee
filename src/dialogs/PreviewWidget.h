#pragma once

#include <QPixmap>
#include <QWidget>

// A work-diary screenshot at full size over the whole desktop, so the member can check
// what is about to be uploaded. One click anywhere closes it. It deletes itself on close.
class PreviewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewWidget(const QPixmap& picture, QWidget* parent = nullptr);

    void SetPixmap(const QPixmap& picture);

signals:
    // Only a click by the member: a close by the owner stays silent.
    void WidgetClose();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Init();

    QPixmap picture;
};
