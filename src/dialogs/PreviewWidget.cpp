#include "PreviewWidget.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

PreviewWidget::PreviewWidget(const QPixmap& picture, QWidget* parent)
    : QWidget(parent), picture(picture)
{
    Init();
}

void PreviewWidget::SetPixmap(const QPixmap& newPicture)
{
    picture = newPicture;
    update();
}

void PreviewWidget::Init()
{
    const Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    // Setting the flags re-creates the window; only do it when they differ.
    if ((windowFlags() & flags) != flags)
        setWindowFlags(flags);
    setAttribute(Qt::WA_DeleteOnClose);
    // The whole virtual desktop: on two screens the picture spans both.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->virtualGeometry());
    setFocusPolicy(Qt::StrongFocus);
    update();
}

void PreviewWidget::mouseReleaseEvent(QMouseEvent*)
{
    emit WidgetClose();
    close();
}

void PreviewWidget::paintEvent(QPaintEvent* event)
{
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.drawPixmap(QRect(0, 0, w, h), picture);

    painter.setPen(QPen(Qt::green, 6, Qt::DashLine));
    painter.drawLine(0, 0, w, 0);
    painter.drawLine(0, 0, 0, h);
    painter.drawLine(w, 0, w, h);
    painter.drawLine(0, h, w, h);

    const QString title = tr("Preview");
    const QFont titleFont(QStringLiteral("Tahoma"), 80);
    const QSize titleSize = QFontMetrics(titleFont).size(0, title);
    painter.setFont(titleFont);
    painter.setPen(QColor(125, 125, 125, 200));
    painter.drawText(
        (w - 1) / 2 - titleSize.width() / 2, (h - 1) / 2 - titleSize.height() / 2, title);

    const QString hint = tr("Mouse left button click - exit");
    const QFont hintFont(QStringLiteral("Tahoma"), 14);
    const QSize hintSize = QFontMetrics(hintFont).size(0, hint);
    painter.setFont(hintFont);
    painter.setPen(Qt::white);
    painter.setBrush(Qt::white);
    // In the widget's own coordinates, so the hint stays visible on a desktop whose
    // left edge is not at 0.
    painter.drawRoundedRect(
        QRect(10, h - hintSize.height() - 20, hintSize.width() + 10, hintSize.height() + 10), 5, 5);
    painter.setPen(Qt::black);
    painter.drawText(QRect(QPoint(12, h - hintSize.height() - 18), hintSize), 0, hint);
    painter.end();

    QWidget::paintEvent(event);
}

void PreviewWidget::closeEvent(QCloseEvent* event)
{
    event->accept();
}

void PreviewWidget::showEvent(QShowEvent* event)
{
    Init();
    QWidget::showEvent(event);
}
