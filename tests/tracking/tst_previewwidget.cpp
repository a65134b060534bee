#include "PreviewWidget.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

class tst_PreviewWidget : public QObject
{
    Q_OBJECT

private slots:
    void coversTheWholeDesktop();
    void anyClickReportsAndCloses();
    void closeByOwnerIsSilent();
};

void tst_PreviewWidget::coversTheWholeDesktop()
{
    QPixmap picture(40, 30);
    picture.fill(Qt::red);
    PreviewWidget preview(picture);
    preview.setAttribute(Qt::WA_DeleteOnClose, false); // on the stack here
    preview.show();
    QCOMPARE(preview.geometry(), QGuiApplication::primaryScreen()->virtualGeometry());
    QVERIFY(preview.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(preview.windowFlags() & Qt::FramelessWindowHint);

    // The picture is stretched over all of it, under the frame and the captions.
    const QImage shown = preview.grab().toImage();
    QCOMPARE(shown.pixelColor(shown.width() / 4, shown.height() / 4), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(shown.width() * 3 / 4, shown.height() / 4), QColor(Qt::red));

    QPixmap other(4, 4);
    other.fill(Qt::blue);
    preview.SetPixmap(other);
    const QImage replaced = preview.grab().toImage();
    QCOMPARE(replaced.pixelColor(replaced.width() / 4, replaced.height() / 4), QColor(Qt::blue));
}

void tst_PreviewWidget::anyClickReportsAndCloses()
{
    for (Qt::MouseButton button : { Qt::LeftButton, Qt::RightButton, Qt::MiddleButton }) {
        QPixmap picture(8, 8);
        QPointer<PreviewWidget> preview = new PreviewWidget(picture);
        QSignalSpy reported(preview.data(), &PreviewWidget::WidgetClose);
        preview->show();
        QTest::mouseClick(preview, button, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(reported.count(), 1);
        QVERIFY(!preview->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(preview.isNull());
    }
}

void tst_PreviewWidget::closeByOwnerIsSilent()
{
    QPixmap picture(8, 8);
    QPointer<PreviewWidget> preview = new PreviewWidget(picture);
    QSignalSpy reported(preview.data(), &PreviewWidget::WidgetClose);
    preview->show();
    QVERIFY(preview->close());
    QCOMPARE(reported.count(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(preview.isNull());
}

QTEST_MAIN(tst_PreviewWidget)
#include "tst_previewwidget.moc"
