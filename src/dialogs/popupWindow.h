#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class popupWindow;
}
class PreviewWidget;

// The small frameless notice that slides up at the bottom right of the primary screen,
// stays for its lifetime and slides away. Three kinds: a screenshot (thumbnail, countdown,
// discard, full-size preview), a text and a memo reminder.
class popupWindow : public QWidget
{
    Q_OBJECT

public:
    enum POPUP_MODE
    {
        POPUP_MODE_SCREENSHOT = 0,
        POPUP_MODE_TEXT = 1,
        POPUP_MODE_COMPACT = 2, // screenshot kind while its preview is open
    };

    explicit popupWindow(QWidget* parent = nullptr);
    ~popupWindow() override;

    // Each kind returns true, and changes nothing, while the popup is still on screen;
    // false when it was shown.
    bool ShowPopup(const QString& caption1, const QString& caption2, const QString& activeWindow,
        const QPixmap& shot, int lifeTimeMs, int intervalMs);
    bool ShowPopup(const QString& caption1, const QString& caption2, const QString& text,
        int lifeTimeMs, int intervalMs, bool richText);
    bool ShowPopup(const QString& caption1, const QString& caption2, const QString& memo,
        const QString& buttonText, int lifeTimeMs, int n);
    // The size the screenshot kind shows its shot at; a shot scaled to it costs nothing more.
    QSize ShotSize() const;
    // Where the preview of the screenshot on show takes its full-size picture from, when the
    // shot given is only a thumbnail. Forgotten when the popup hides.
    void SetPreviewPicture(const std::function<QImage()>& source);

signals:
    void OnDiscardButtonClick();
    // The screenshot popup went away without a discard: the owner saves the shot.
    // Emitted at most once per ShowPopup.
    void OnPopupWindowClose();
    void OnMemoCall();

public slots:
    void on_lblPopupText_linkActivated(const QString& link);
    void on_btnDiscard_clicked();
    void on_btnMemo_clicked();
    // One step of the slide; the animation timer's slot.
    void AnimationEvent();
    // One second of the lifetime; the lifetime timer's slot.
    void PopupTimeLive();
    void OnPreviewWindowClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;

    // Plays the sound once without waiting for it.
    virtual void PlaySoundSource(const QUrl& source);

private:
    void ToNormalView();
    void ChangeWindowMode();
    void StartShowing();
    void StartFalling();
    void OpenPreview();
    void ClosePreview();
    void PlaySound();
    void PaintCountdown();
    QRect BallRect() const;
    QRect SecondsRect(const QString& seconds) const;
    QRect CountdownRect() const;
    QRect ScreenArea() const;
    void UpdateTargetRect();

    QString soundPath;
    std::unique_ptr<Ui::popupWindow> ui;
    QSize normalSize;
    QPoint closePlace;
    QPoint discardPlace;
    double density = 1;
    int animationInterval = 100;
    int lifeTime = 4000;
    QPixmap shotPixmap;
    std::function<QImage()> previewPicture;
    QPixmap ballPixmap;
    // The countdown's font and its measures, made once: each tick measures the seconds twice
    // and paints them, and a font looked up afresh each time cost most of the tick.
    QFont countdownFont;
    QFontMetrics countdownMetrics;
    // The size of each count shown, measured once: measuring lays the text out and shapes it
    // afresh, three times a tick.
    mutable QHash<QString, QSize> countdownSizes;
    QRect targetRect;
    // Where the slide has the popup's top edge. A window manager may keep the window on the
    // screen whatever is asked, so the slide counts its own steps rather than reading y().
    int slideY = 0;
    bool isRising = true;
    int liveTime = 0;
    bool isClosing = false;
    int popupMode = POPUP_MODE_SCREENSHOT;
    QPointer<PreviewWidget> preview;
    QTimer animationTimer { this };
    QTimer liveTimer { this };
    bool isDiscarded = false;
    bool closeReported = false;
};
