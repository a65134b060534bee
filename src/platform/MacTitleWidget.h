#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

// The title bar of a frameless window: close, minimise and maximise buttons at the left, the
// title in the middle. Dragging the bar moves the window it heads: the window manager moves it
// where there is one, else the window follows the pointer. An inactive button shows the
// inactive picture and does nothing.
class MacTitleWidget : public QWidget
{
    Q_OBJECT
public:
    enum TITLE_BUTTON
    {
        CLOSE_BUTTON,
        MINIMIZE_BUTTON,
        MAXIMIZE_BUTTON
    };

    explicit MacTitleWidget(QWidget* parent = nullptr);

    void SetButtonSize(const QSize& size);
    QSize GetButtonSize() const { return m_buttonSize; }
    void SetButtonActive(TITLE_BUTTON button, bool active);
    bool IsButtonActive(TITLE_BUTTON button) const;
    void SetTitle(const QString& title);
    QString GetTitle() const { return m_title.text(); }
    // The bar keeps its fixed dark grey whatever colour is passed.
    void setBackColor(const QColor& color);

signals:
    void CloseClicked();
    void MinimizeClicked();
    void MaximizeClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPushButton* Button(TITLE_BUTTON button);
    const QPushButton* Button(TITLE_BUTTON button) const;
    void ShowPicture(TITLE_BUTTON button, bool hovered);
    void PlaceChildren();

    QPushButton m_close;
    QPushButton m_minimize;
    QPushButton m_maximize;
    QLabel m_title;
    QSize m_buttonSize { 23, 17 };
    bool m_dragging = false;
    QPoint m_dragOffset;
};
