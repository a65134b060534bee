#pragma once

#include "ListWidgetManager.h"

#include <QObject>
#include <QRect>
#include <QSize>

#include <array>

namespace Ui {
class RosterWindow;
}
class MacTitleWidget;
class QEvent;
class QLabel;
class QMainWindow;
class QMenu;
class QPaintEvent;
class QPushButton;
class QWidget;
class RestAPI;

// The geometry rules of the main form, on rectangles alone: a test needs no window for them.
namespace MainWindowGeometry {

// The widgets of the form that the panels' rule places, each in its parent's coordinates.
struct Panels
{
    QRect leftPanel, services, logo;
    QRect userPanel, line, timeButton, timeState, company;
    std::array<QRect, 3> userLines; // the member's name, status and last work
    QRect showArea, bottom, statusText, noTeams;
};

// Where the panels go for a central area of `area` (the window less the title and menu bars),
// from where the form has them now.
Panels PlacePanels(QSize area, const Panels& panels);

// The width of the central area at which the panels' rule leaves the member's name line
// `nameWidth` beside the time button.
int WidthForName(const Panels& panels, int nameWidth);

} // namespace MainWindowGeometry

// The main window's geometry and look, over its form and the title bar it is given: the panels
// placed by hand for the window's size, the form fitted to the desktop's font with room for the
// title and menu bars, the style sheet and the roster's row styles, the about page drawn, and
// the form's own menus and search box. The window stays the event filter of the form's widgets
// and hands their events to Filter().
class MainWindowLayout : public QObject
{
    Q_OBJECT
public:
    // `about` is asked for the about page's title.
    MainWindowLayout(
        QMainWindow& window, Ui::RosterWindow& form, MacTitleWidget& title, const RestAPI& about);

    // The client's style sheet, the main window's and the popup's.
    static void ApplyStyleSheet(QWidget* widget);

    // Once, at construction: the member's status menu, the window's edges, the look of a window
    // nobody is signed in to, and the window watching the widgets Filter() acts for.
    void Construct();
    // Sign-in completion shows and enables most of it again.
    void ShowSignedOutLook();
    // At construction and on every show: the member's lines, the status text and the links.
    void SetInterface();
    // Once, when the window is first shown or its roster first drawn: the look, then the form
    // fitted to the font and the room for the title and menu bars.
    void PrepareLook();
    // The look again from the preferences, once it has been made.
    void ReapplyLook();
    // The window is never so narrow that the member's name is cut beside the time button.
    void KeepRoomForName();
    // The geometry rules of a resize, for the central area's present size.
    void LayOutPanels();
    // The window's share of an event of a widget it watches; true when it is taken.
    bool Filter(QObject* watched, QEvent* event);
    // `menu` beside `button`, from the button's place in the window.
    void ShowMenuBeside(const QPushButton* button, QMenu* menu);
    // The member's status menu at `pos` of the status label.
    void ShowUserStatusMenu(const QPoint& pos);

signals:
    // The roster's row styles, read from the preferences: the rows are drawn again with them.
    void RowStylesChanged(const ListWidgetManager::ListWidgetGroup_Style& group,
        const ListWidgetManager::ListWidgetItem_Style& item);
    // Return in the search box, with its text.
    void SearchAsked(const QString& text);

private:
    void ApplyLook();
    void FitToFont();
    void MakeRoomForTitleAndMenuBar();
    QList<QLabel*> Links() const;
    void FitLinksToTheirText();
    MainWindowGeometry::Panels CurrentPanels() const;
    void PaintAboutPage(QPaintEvent* event, QWidget* widget);

    QMainWindow& window;
    Ui::RosterWindow& ui;
    MacTitleWidget& titleWidget;
    // The team rows' style, which the about page's header band takes.
    ListWidgetManager::ListWidgetGroup_Style rowGroupStyle;
    const RestAPI& about;
    QMenu* userStatusMenu = nullptr; // a child of the window
    int formMinimumWidth = 0; // the form's, fitted to the font
    bool lookPrepared = false; // PrepareLook ran
};
