#include "NoticePopup.h"

#include "SettingsProvider.h"
#include "popupWindow.h"

namespace {

const int stepMs = 15;
// A notice's rise, its lifetime counted in whole seconds, and its fall take at most this long
// beyond the lifetime.
const int slidesMs = 2500;

} // namespace

NoticePopup::NoticePopup(QObject* parent) : QObject(parent)
{
    popup.Wire([](popupWindow& made) {
        SettingsProvider::SetStyleToWidget(&made, QStringLiteral(":/design/mac.qss"));
    });
    putAway.setSingleShot(true);
    // A window manager may keep the popup from sliding off the screen.
    connect(&putAway, &QTimer::timeout, this, [this] {
        if (popupWindow* shown = popup.IfMade())
            shown->hide();
    });
}

NoticePopup::~NoticePopup() = default;

void NoticePopup::Show(const QString& caption1, const QString& caption2, const QString& text)
{
    const int lifeTimeMs = SettingsProvider::instance()->GetCurrentSettings().popupTimeout * 1000;
    popupWindow& shown = popup.Get();
    if (shown.ShowPopup(caption1, caption2, text, lifeTimeMs, stepMs, false)) {
        shown.hide();
        shown.ShowPopup(caption1, caption2, text, lifeTimeMs, stepMs, false);
    }
    putAway.start(lifeTimeMs + slidesMs);
}
