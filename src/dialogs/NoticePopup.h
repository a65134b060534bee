#pragma once

#include "MadeOnFirstUse.h"

#include <QObject>
#include <QString>
#include <QTimer>

class popupWindow;

// Text notices for windows that tell the member something and may go before it is read (the
// screen snap's save dialog): one popup, made when first wanted and kept for the next notice,
// to which a notice still on screen gives way. It stays for the lifetime the preferences set.
class NoticePopup : public QObject
{
    Q_OBJECT
public:
    explicit NoticePopup(QObject* parent = nullptr);
    ~NoticePopup() override;

    void Show(const QString& caption1, const QString& caption2, const QString& text);
    // The popup once made, else null.
    popupWindow* IfMade() const { return popup.IfMade(); }

private:
    MadeOnFirstUse<popupWindow> popup;
    // Puts the popup away when its time is up, wherever its slide got it.
    QTimer putAway;
};
