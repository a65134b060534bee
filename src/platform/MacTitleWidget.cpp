#include "MacTitleWidget.h"

#include "WindowEdges.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWindow>

namespace {
const int buttonSpacing = 2;
const char* const pictures[3][2] = {
    { ":/title/close.png", ":/title/close_hover.png" },
    { ":/title/minimize.png", ":/title/minimize_hover.png" },
    { ":/title/maximize.png", ":/title/maximize_hover.png" },
};
const char* const inactivePicture = ":/title/inactive.png";
} // namespace

MacTitleWidget::MacTitleWidget(QWidget* parent)
    : QWidget(parent), m_close(this), m_minimize(this), m_maximize(this), m_title(this)
{
    setAttribute(Qt::WA_StyledBackground);
    m_close.setObjectName(QStringLiteral("btnClose"));
    m_minimize.setObjectName(QStringLiteral("btnMinimize"));
    m_maximize.setObjectName(QStringLiteral("btnMaximize"));
    m_title.setObjectName(QStringLiteral("lblTitle"));
    m_title.setAlignment(Qt::AlignCenter);
    // The title is part of the bar's drag area.
    m_title.setAttribute(Qt::WA_TransparentForMouseEvents);
    m_title.lower();
    for (TITLE_BUTTON button : { CLOSE_BUTTON, MINIMIZE_BUTTON, MAXIMIZE_BUTTON }) {
        QPushButton* b = Button(button);
        b->setFlat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->installEventFilter(this);
        ShowPicture(button, false);
    }
    connect(&m_close, &QPushButton::clicked, this, &MacTitleWidget::CloseClicked);
    connect(&m_minimize, &QPushButton::clicked, this, &MacTitleWidget::MinimizeClicked);
    connect(&m_maximize, &QPushButton::clicked, this, &MacTitleWidget::MaximizeClicked);
    SetButtonSize(m_buttonSize);
}

void MacTitleWidget::SetButtonSize(const QSize& size)
{
    m_buttonSize = size;
    for (TITLE_BUTTON button : { CLOSE_BUTTON, MINIMIZE_BUTTON, MAXIMIZE_BUTTON }) {
        Button(button)->setFixedSize(size);
        Button(button)->setIconSize(size);
    }
    resize(width(), qMax(size.height(), m_title.sizeHint().height()));
    PlaceChildren();
}

void MacTitleWidget::SetButtonActive(TITLE_BUTTON button, bool active)
{
    Button(button)->setEnabled(active);
    ShowPicture(button, false);
}

bool MacTitleWidget::IsButtonActive(TITLE_BUTTON button) const
{
    return Button(button)->isEnabled();
}

void MacTitleWidget::SetTitle(const QString& title)
{
    m_title.setText(title);
    resize(width(), qMax(m_buttonSize.height(), m_title.sizeHint().height()));
    PlaceChildren();
}

void MacTitleWidget::setBackColor(const QColor&)
{
    const QString style = QStringLiteral("background-color: rgb(50,50,50)");
    setStyleSheet(style);
    m_close.setStyleSheet(style);
    m_minimize.setStyleSheet(style);
    m_maximize.setStyleSheet(style);
}

bool MacTitleWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
        for (TITLE_BUTTON button : { CLOSE_BUTTON, MINIMIZE_BUTTON, MAXIMIZE_BUTTON }) {
            if (watched == Button(button))
                ShowPicture(button, event->type() == QEvent::Enter);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MacTitleWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    // The window manager moves the window as it moves framed ones (snapping, screen edges).
    QWindow* handle = window()->windowHandle();
    if (handle && handle->startSystemMove()) {
        EndPressHandedOver(this, event->globalPos());
        return;
    }
    m_dragging = true;
    m_dragOffset = event->globalPos() - window()->frameGeometry().topLeft();
}

void MacTitleWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    window()->move(event->globalPos() - m_dragOffset);
    event->accept();
}

void MacTitleWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void MacTitleWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceChildren();
}

QPushButton* MacTitleWidget::Button(TITLE_BUTTON button)
{
    return const_cast<QPushButton*>(static_cast<const MacTitleWidget*>(this)->Button(button));
}

const QPushButton* MacTitleWidget::Button(TITLE_BUTTON button) const
{
    switch (button) {
    case CLOSE_BUTTON:
        return &m_close;
    case MINIMIZE_BUTTON:
        return &m_minimize;
    case MAXIMIZE_BUTTON:
        break;
    }
    return &m_maximize;
}

void MacTitleWidget::ShowPicture(TITLE_BUTTON button, bool hovered)
{
    QPushButton* b = Button(button);
    // A missing picture leaves an empty button that still works.
    const QPixmap picture(
        QLatin1String(b->isEnabled() ? pictures[button][hovered ? 1 : 0] : inactivePicture));
    QIcon icon;
    icon.addPixmap(picture, QIcon::Normal);
    icon.addPixmap(picture, QIcon::Disabled);
    b->setIcon(icon);
}

void MacTitleWidget::PlaceChildren()
{
    int x = 0;
    for (TITLE_BUTTON button : { CLOSE_BUTTON, MINIMIZE_BUTTON, MAXIMIZE_BUTTON }) {
        Button(button)->move(x, (height() - m_buttonSize.height()) / 2);
        x += m_buttonSize.width() + buttonSpacing;
    }
    m_title.setGeometry(0, 0, width(), height());
}
