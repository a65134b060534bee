#include "popupWindow.h"

#include "FormFit.h"
#include "LogCategories.h"
#include "MoveNotice.h"
#include "NoticeSound.h"
#include "PreviewWidget.h"
#include "RegularFile.h"
#include "SettingsProvider.h"
#include "ui_popupWindow.h"

#include <QBitmap>
#include <QDebug>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHideEvent>
#include <QPainter>
#include <QScreen>

namespace {

// The form's places at 96 dpi; the popup grows with the density like its form.
const int compactWidth = 80;
const QPoint ballPlace(44, 50);
const int compactLifeTime = 12000;
const int riseStep = 5;
const int fallStep = 10;
const int secondMs = 1000;
QString elidedToLabel(const QLabel* label, const QString& text)
{
    return label->fontMetrics().elidedText(text, Qt::ElideRight, label->width());
}

// Names, memos and window titles come from the service and from other programs: shown as
// written, never as markup, whose pictures the label would read from any file.
void setPlainText(QLabel* label, const QString& text)
{
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

} // namespace

// A tool window shown without activation: sliding in must not take the keyboard away from
// whatever the member is typing into.
popupWindow::popupWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::popupWindow>()), ballPixmap(QStringLiteral(":/design/popupBall.png")),
      countdownFont(QStringLiteral("Lucida Grande"), 13, QFont::Bold),
      countdownMetrics(countdownFont)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    ui->setupUi(this);
    FormFit::Fit(this);
    // The normal view comes back to the fitted form's places each time.
    normalSize = size();
    closePlace = ui->lblClose->pos();
    discardPlace = ui->btnDiscard->pos();
    density = FormFit::Density(logicalDpiY());
    ui->lblDiscard_2->hide();
    const QList<QWidget*> watched = { ui->lblClose, ui->lblDiscard_2, ui->lblLastScreenshot,
        ui->lblClose_2, ui->stackedWidget };
    for (QWidget* w : watched)
        w->installEventFilter(this);

    const QPixmap back(QStringLiteral(":/design/popupBack.png"));
    if (!back.isNull())
        setMask(back.scaled(normalSize).mask());

    animationTimer.setObjectName(QStringLiteral("animationTimer"));
    liveTimer.setObjectName(QStringLiteral("liveTimer"));
    liveTimer.setInterval(secondMs);
    connect(&animationTimer, &QTimer::timeout, this, &popupWindow::AnimationEvent);
    connect(&liveTimer, &QTimer::timeout, this, &popupWindow::PopupTimeLive);
}

popupWindow::~popupWindow()
{
    delete preview.data();
}

bool popupWindow::ShowPopup(const QString& caption1, const QString& caption2,
    const QString& activeWindow, const QPixmap& shot, int lifeTimeMs, int intervalMs)
{
    if (isVisible())
        return true;
    popupMode = POPUP_MODE_SCREENSHOT;
    isDiscarded = false;
    setPlainText(ui->lblCaption, elidedToLabel(ui->lblCaption, caption1 + " - " + caption2));
    ui->lblCaption->show();
    setPlainText(ui->lblActiveWindowName, elidedToLabel(ui->lblActiveWindowName, activeWindow));
    ui->lblActiveWindowName->show();
    shotPixmap = shot;
    ui->lblLastScreenshot->setPixmap(shotPixmap);
    ui->lblLastScreenshot->show();
    ui->btnDiscard->show();
    ui->lblDiscard_2->hide();
    ui->lblPopupText->hide();
    animationInterval = intervalMs;
    lifeTime = lifeTimeMs;
    ui->stackedWidget->setCurrentIndex(0);
    ToNormalView();
    StartShowing();
    return false;
}

bool popupWindow::ShowPopup(const QString& caption1, const QString& caption2, const QString& text,
    int lifeTimeMs, int intervalMs, bool richText)
{
    if (isVisible())
        return true;
    ui->lblCaption->hide();
    popupMode = POPUP_MODE_TEXT;
    setPlainText(ui->lblActiveWindowName,
        elidedToLabel(ui->lblActiveWindowName, caption1 + " - " + caption2));
    ui->lblActiveWindowName->show();
    ui->lblLastScreenshot->hide();
    ui->btnDiscard->hide();
    ui->lblDiscard_2->hide();
    ui->lblPopupText->setTextFormat(richText ? Qt::RichText : Qt::PlainText);
    ui->lblPopupText->setText(text);
    ui->lblPopupText->show();
    animationInterval = intervalMs;
    lifeTime = lifeTimeMs;
    ToNormalView();
    ui->stackedWidget->setCurrentIndex(0);
    StartShowing();
    return false;
}

bool popupWindow::ShowPopup(const QString& caption1, const QString& caption2, const QString& memo,
    const QString& buttonText, int lifeTimeMs, int n)
{
    if (isVisible())
        return true;
    popupMode = POPUP_MODE_TEXT;
    ui->stackedWidget->setCurrentIndex(1);
    animationInterval = n * 3;
    lifeTime = lifeTimeMs;
    ToNormalView();
    setPlainText(ui->lblCaption_2, caption1 + " - " + caption2);
    setPlainText(ui->lblMemo, elidedToLabel(ui->lblMemo, memo));
    ui->btnMemo->setText(buttonText);
    StartShowing();
    return false;
}

// The common end of every ShowPopup: start rising.
void popupWindow::StartShowing()
{
    closeReported = false;
    liveTime = 0;
    isRising = true;
    animationTimer.blockSignals(false);
    liveTimer.blockSignals(false);
    animationTimer.start(animationInterval);
}

void popupWindow::StartFalling()
{
    isRising = false;
    animationTimer.start(animationInterval);
}

QRect popupWindow::ScreenArea() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// For the current size: the rise stops at the bottom right corner of the screen area, one
// pixel in, and the fall ends once the popup is below the area's bottom edge.
void popupWindow::UpdateTargetRect()
{
    const QRect area = ScreenArea();
    const QPoint target(
        area.x() + area.width() - width() - 1, area.y() + area.height() - height() - 1);
    targetRect = QRect(target, area.bottomRight());
}

void popupWindow::ToNormalView()
{
    ui->lblClose->move(closePlace);
    ui->btnDiscard->move(discardPlace);
    resize(normalSize);

    UpdateTargetRect();
    // Start just below the screen area and rise from there.
    slideY = targetRect.bottom() + 1 + 10;
    move(targetRect.x(), slideY);
    showNormal();

    isRising = true;
    liveTime = 0;
    isClosing = false;

    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    switch (SettingsProvider::SoundMode(settings.soundMode)) {
    case SettingsProvider::SoundMode::BuiltIn:
        soundPath = QStringLiteral(":/data/sound.wav");
        PlaySound();
        break;
    case SettingsProvider::SoundMode::OwnFile:
        soundPath = settings.ownSoundPath;
        PlaySound();
        break;
    default:
        break;
    }
}

void popupWindow::ChangeWindowMode()
{
    liveTime = 0;
    lifeTime = compactLifeTime;
    popupMode = POPUP_MODE_COMPACT;
    ui->lblCaption->hide();
    ui->lblActiveWindowName->hide();
    ui->lblLastScreenshot->hide();
    ui->lblDiscard_2->hide();
    ui->lblPopupText->hide();
    ui->btnDiscard->show();
    resize(qRound(compactWidth * density), height());
    show();

    UpdateTargetRect();
    slideY = targetRect.y();
    move(targetRect.topLeft());
    ui->lblClose->move(width() - ui->lblClose->width() - 4, ui->lblClose->y());
    ui->btnDiscard->move(6, ui->btnDiscard->y());
}

void popupWindow::PlaySound()
{
    if (soundPath.isEmpty())
        return;
    // Resources play straight from the resource: nothing is written to disk.
    if (soundPath.startsWith(QLatin1Char(':'))) {
        PlaySoundSource(QUrl(QStringLiteral("qrc") + soundPath));
        return;
    }
    if (!RegularFile::IsPlayableSound(soundPath)) {
        qCWarning(soundLog) << "The notice sound" << soundPath << "is not a readable sound file";
        return;
    }
    PlaySoundSource(QUrl::fromLocalFile(soundPath));
}

void popupWindow::PlaySoundSource(const QUrl& source)
{
    NoticeSound::Play(source);
}

void popupWindow::AnimationEvent()
{
    if (!isVisible())
        return;
    if (isRising) {
        if (slideY <= targetRect.y()) {
            liveTime = 0;
            animationTimer.stop();
            liveTimer.start(secondMs);
        } else {
            slideY -= riseStep;
            move(x(), slideY);
        }
        return;
    }
    if (slideY > targetRect.bottom() + 1) {
        animationTimer.stop();
        hide();
    } else {
        slideY += fallStep;
        move(x(), slideY);
    }
}

void popupWindow::PopupTimeLive()
{
    if (!isVisible())
        return;
    if (liveTime < lifeTime) {
        // Only the seconds change, where the old ones were and where the new ones go:
        // repainting the whole popup (its pictures, its texts shaped afresh) each second kept
        // the window from its events for a frame and more.
        const QRect before = CountdownRect();
        liveTime += secondMs;
        ui->stackedWidget->update(before.united(CountdownRect()));
        return;
    }
    liveTime = 0;
    isRising = false;
    if (!isClosing)
        animationTimer.start(animationInterval);
}

QRect popupWindow::BallRect() const
{
    // The ball grows with the density, as the seconds in it do.
    const QSize ball = ballPixmap.size() * density;
    const int left = popupMode == POPUP_MODE_COMPACT ? width() / 2 - ball.width() / 2
                                                     : qRound(ballPlace.x() * density);
    return QRect(QPoint(left, qRound(ballPlace.y() * density)), ball);
}

// Where the seconds are drawn, centred on the ball.
QRect popupWindow::SecondsRect(const QString& seconds) const
{
    const QRect ball = BallRect();
    auto known = countdownSizes.constFind(seconds);
    if (known == countdownSizes.constEnd())
        known = countdownSizes.insert(seconds, countdownMetrics.size(0, seconds));
    const QSize textSize = known.value();
    return QRect(ball.left() + ball.width() / 2 - textSize.width() / 2,
        ball.top() + (ball.height() - 1) / 2 - textSize.height() / 2, textSize.width(),
        textSize.height());
}

// What a tick of the countdown changes: the ball and the seconds on it, with room for the
// glyphs' overhang.
QRect popupWindow::CountdownRect() const
{
    const QRect seconds = SecondsRect(QString::number((lifeTime - liveTime) / secondMs));
    const int overhang = countdownMetrics.height() / 4;
    return BallRect().united(seconds.adjusted(-overhang, -overhang, overhang, overhang));
}

void popupWindow::PaintCountdown()
{
    QPainter painter(ui->stackedWidget);
    const QRect ball = BallRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(ball, ballPixmap);

    const QString seconds = QString::number((lifeTime - liveTime) / secondMs);
    const QRect text = SecondsRect(seconds);
    painter.setFont(countdownFont);
    painter.setPen(Qt::black);
    painter.drawText(QRect(text.topLeft(), ball.size()), 0, seconds);
}

bool popupWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->stackedWidget && event->type() == QEvent::Paint) {
        // The page paints itself first; the countdown ball goes on top.
        static_cast<QObject*>(ui->stackedWidget)->event(event);
        if (popupMode != POPUP_MODE_TEXT)
            PaintCountdown();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == ui->lblClose) {
            isClosing = true;
            ClosePreview();
            StartFalling();
        } else if (watched == ui->lblClose_2) {
            isClosing = true;
            StartFalling();
        } else if (watched == ui->lblLastScreenshot) {
            OpenPreview();
        }
    }
    return QWidget::eventFilter(watched, event);
}

QSize popupWindow::ShotSize() const
{
    return ui->lblLastScreenshot->size() * devicePixelRatioF();
}

void popupWindow::SetPreviewPicture(const std::function<QImage()>& source)
{
    previewPicture = source;
}

void popupWindow::OpenPreview()
{
    ClosePreview();
    // Owns itself: it deletes itself when closed, and the guarded pointer follows.
    preview = new PreviewWidget(previewPicture ? QPixmap::fromImage(previewPicture()) : shotPixmap);
    connect(preview, &PreviewWidget::WidgetClose, this, &popupWindow::OnPreviewWindowClose);
    preview->show();
    ChangeWindowMode();
    // Compact mode is the one place the popup takes focus: the member just clicked it.
    showNormal();
    activateWindow();
    setWindowState(windowState() | Qt::WindowActive);
    raise();
}

void popupWindow::ClosePreview()
{
    if (preview && preview->isVisible())
        preview->close();
}

void popupWindow::on_btnDiscard_clicked()
{
    switch (popupMode) {
    case POPUP_MODE_COMPACT:
        if (isDiscarded)
            return;
        ClosePreview();
        isClosing = true;
        StartFalling();
        isDiscarded = true;
        emit OnDiscardButtonClick();
        break;
    case POPUP_MODE_SCREENSHOT:
        if (isDiscarded)
            return;
        ui->lblLastScreenshot->hide();
        ui->btnDiscard->hide();
        ui->lblDiscard_2->show();
        isDiscarded = true;
        emit OnDiscardButtonClick();
        break;
    default:
        emit OnDiscardButtonClick();
        break;
    }
}

void popupWindow::on_btnMemo_clicked()
{
    emit OnMemoCall();
    isClosing = true;
    StartFalling();
}

void popupWindow::OnPreviewWindowClose()
{
    isClosing = false;
    isDiscarded = false;
    StartFalling();
}

void popupWindow::on_lblPopupText_linkActivated(const QString& link)
{
    // Popup texts may carry addresses from the server: only web pages are opened.
    const QUrl url(link, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty())
        QDesktopServices::openUrl(url);
}

void popupWindow::resizeEvent(QResizeEvent* event)
{
    ui->stackedWidget->resize(size());
    QWidget::resizeEvent(event);
}

void popupWindow::closeEvent(QCloseEvent* event)
{
    animationTimer.stop();
    liveTimer.stop();
    QWidget::closeEvent(event);
}

void popupWindow::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        animationTimer.blockSignals(false);
        liveTimer.blockSignals(false);
        liveTime = 0;
    }
    QWidget::showEvent(event);
}

// The slide moves the popup 5 or 10 pixels every few milliseconds and counts its own steps; of
// the server's notices of those steps only the one of the rise's last step is handed on, so Qt
// knows where the popup stays. The others each cost the GUI thread four waits for the server.
bool popupWindow::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    if (animationTimer.isActive()) {
        const std::optional<QPoint> movedTo
            = MoveNotice::MovedTo(eventType, message, internalWinId(), size());
        const bool lastRiseStep = isRising && movedTo && movedTo->y() <= targetRect.y();
        if (movedTo && !lastRiseStep)
            return true;
    }
    return QWidget::nativeEvent(eventType, message, result);
}

void popupWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // The window manager took the window away for a while (desktop switch, minimising):
    // that is no close, and the slide and the countdown go on.
    if (event->spontaneous())
        return;

    animationTimer.stop();
    liveTimer.stop();
    animationTimer.blockSignals(true);
    liveTimer.blockSignals(true);
    shotPixmap = QPixmap();
    previewPicture = nullptr;
    ui->lblLastScreenshot->clear();
    ui->lblPopupText->setTextFormat(Qt::PlainText);
    isRising = true;
    liveTime = 0;
    targetRect = QRect();
    animationInterval = 0;
    lifeTime = 0;

    if (popupMode != POPUP_MODE_TEXT && !isDiscarded && !closeReported) {
        // Set first: the owner's save runs inside the emission and may hide us again.
        closeReported = true;
        emit OnPopupWindowClose();
    }
    ClosePreview();
}
