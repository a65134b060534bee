#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QtTest>

#include "ui_AuthDialog.h"
#include "ui_ExitConfirm.h"
#include "ui_LastSnapshot.h"
#include "ui_Memo.h"
#include "ui_RemindDialog.h"
#include "ui_RosterWindow.h"
#include "ui_StopReminder.h"
#include "ui_popupWindow.h"

// The forms place everything by absolute geometry: the windows move their widgets by
// hand, and a layout manager would fight them.
static void verifyNoLayouts(QWidget* root)
{
    QVERIFY(root->layout() == nullptr);
    const auto widgets = root->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        // Qt's own inner widgets (scroll bar containers, page stacks) keep their layouts.
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))
            || qobject_cast<QStackedWidget*>(w))
            continue;
        QVERIFY2(w->layout() == nullptr, qPrintable(w->objectName()));
    }
}

static void verifyFixedSize(QWidget* w, QSize size)
{
    QCOMPARE(w->size(), size);
    QCOMPARE(w->minimumSize(), size);
    QCOMPARE(w->maximumSize(), size);
}

static QStringList comboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

class tst_Forms : public QObject
{
    Q_OBJECT

private slots:
    void mainWindowShape();
    void mainWindowActionStates();
    void mainWindowMenus();
    void mainWindowCaptionsAndLinks();
    void mainWindowLists();
    void popupShape();
    void reminderDialogs();
    void exitAndLastSnapshot();
    void signInDialog();
    void memoDialog();
};

void tst_Forms::mainWindowShape()
{
    QMainWindow w;
    Ui::RosterWindow ui;
    ui.setupUi(&w);

    QCOMPARE(w.objectName(), QStringLiteral("RosterWindow"));
    QCOMPARE(w.size(), QSize(576, 668));
    QCOMPARE(w.minimumSize(), QSize(576, 661));
    QCOMPARE(w.windowTitle(), QStringLiteral("Movarelquintash - Team Room"));
    QCOMPARE(w.centralWidget(), ui.centralwidget);
    verifyNoLayouts(ui.centralwidget);

    // Widgets the window code reaches by parent: the run-time placement assumes these.
    QCOMPARE(ui.btnMyTools->parentWidget(), ui.leftPanelWidget);
    QCOMPARE(ui.leftPanelInternetServices->parentWidget(), ui.leftPanelWidget);
    QCOMPARE(ui.txtSearch->parentWidget(), ui.leftPanelInternetServices);
    QCOMPARE(ui.btnTimeControl->parentWidget(), ui.userPanelWidget);
    QCOMPARE(ui.lblTessivanorAboutText->parentWidget(), ui.aboutWidget);
    QCOMPARE(ui.leftPanelWidget->geometry(), QRect(0, 0, 188, 591));
    QCOMPARE(ui.userPanelWidget->geometry(), QRect(202, 130, 371, 100));
    QCOMPARE(ui.showArea->geometry(), QRect(200, 230, 381, 391));
    QCOMPARE(ui.statusLabel->geometry(), QRect(0, 620, 581, 31));

    QCOMPARE(ui.showArea->count(), 4);
    QCOMPARE(ui.showArea->currentIndex(), 0);
    QCOMPARE(ui.showArea->widget(1), ui.page_2);
    QCOMPARE(ui.lstRoster->parentWidget(), ui.page);
    QCOMPARE(ui.lstTeamWorkTools->parentWidget(), ui.page_4);
    QCOMPARE(ui.lblUserStatus->contextMenuPolicy(), Qt::CustomContextMenu);
}

void tst_Forms::mainWindowActionStates()
{
    QMainWindow w;
    Ui::RosterWindow ui;
    ui.setupUi(&w);

    QVERIFY(!ui.actionMemo->isEnabled());
    QVERIFY(!ui.actionLast_snapshot->isEnabled());
    QVERIFY(!ui.actionMeter->isVisible());
    QVERIFY(!ui.actionDock_Team_Room->isVisible());
    QVERIFY(!ui.actionReports->isVisible());
    QVERIFY(ui.actionSnap_1_display->isEnabled());
    QVERIFY(ui.actionGroup_users_by_team->isCheckable());
    QVERIFY(ui.actionGroup_users_by_team->isChecked());
    QVERIFY(ui.actionShow_offline_users->isCheckable());
    QVERIFY(!ui.actionShow_offline_users->isChecked());
    QVERIFY(ui.actionAvailable->isCheckable());
    QVERIFY(ui.actionBusy->isCheckable());
    QVERIFY(!ui.actionTrackingTime->isCheckable());
    QCOMPARE(ui.actionTrackingTime->shortcutContext(), Qt::ApplicationShortcut);
    QCOMPARE(ui.actionMessage_center->text(), QStringLiteral("My mail"));

    // Hotkeys are bound globally at run time; a form shortcut would double them.
    const auto actions = w.findChildren<QAction*>();
    for (QAction* a : actions) {
        QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
        if (!a->objectName().isEmpty() && !a->menu())
            QCOMPARE(a->parent(), &w);
    }
}

void tst_Forms::mainWindowMenus()
{
    QMainWindow w;
    Ui::RosterWindow ui;
    ui.setupUi(&w);

    QCOMPARE(w.menuBar(), ui.menuMain);
    QVERIFY(!ui.menuMain->isNativeMenuBar());
    QVERIFY(!ui.menuStatus->isTearOffEnabled());

    QList<QAction*> expectedTop = { ui.menuStatus->menuAction(), ui.menuView->menuAction(),
        ui.menuTools->menuAction(), ui.menuHelp->menuAction() };
    QCOMPARE(ui.menuMain->actions(), expectedTop);
    QVERIFY(ui.menuHelp->actions().isEmpty());

    QList<QAction*> expectedStatus = { ui.menuChat_status->menuAction(), ui.actionMemo,
        ui.menuSelect_team->menuAction(), ui.actionTrackingTime, ui.actionMeter,
        ui.actionLast_snapshot, ui.actionSign_out, ui.actionClose };
    QCOMPARE(ui.menuStatus->actions(), expectedStatus);
    QCOMPARE(ui.menuSelect_team->actions(), QList<QAction*> { ui.actionMenu });
    QCOMPARE(
        ui.menuChat_status->actions(), (QList<QAction*> { ui.actionAvailable, ui.actionBusy }));

    const QList<QAction*> view = ui.menuView->actions();
    QCOMPARE(view.size(), 7);
    QVERIFY(view.at(2)->isSeparator());
    QVERIFY(view.at(5)->isSeparator());
    QCOMPARE(view.at(6), ui.actionDock_Team_Room);

    const QList<QAction*> tools = ui.menuTools->actions();
    QCOMPARE(tools.size(), 9);
    QVERIFY(tools.at(1)->isSeparator());
    QVERIFY(tools.at(7)->isSeparator());
    QCOMPARE(tools.first(), ui.menuScreensnap->menuAction());
    QCOMPARE(tools.last(), ui.actionPreferences);
    const QList<QAction*> snap = ui.menuScreensnap->actions();
    QCOMPARE(snap.size(), 5);
    QVERIFY(snap.at(1)->isSeparator());
    QCOMPARE(snap.at(0), ui.actionSnap_the_whole_desktop);
}

void tst_Forms::mainWindowCaptionsAndLinks()
{
    QMainWindow w;
    Ui::RosterWindow ui;
    ui.setupUi(&w);

    // The trailing blanks line the captions up beside their icons.
    QCOMPARE(ui.btnRoomView->text(), QStringLiteral("Room View      "));
    QCOMPARE(ui.btnMyTools->text(), QStringLiteral("My Tools       "));
    QCOMPARE(ui.btnMyFinance->text(), QStringLiteral("My Finance   "));
    QCOMPARE(ui.btnAboutMQT->text(), QStringLiteral("About MQT    "));
    QCOMPARE(ui.btnCurrentStatus->text(), QStringLiteral("Current Status"));
    for (QPushButton* b : { ui.btnCurrentStatus, ui.btnRoomView, ui.btnMyTools, ui.btnMyFinance,
             ui.btnAboutMQT, ui.btnTeamWorksTools })
        QVERIFY2(b->isFlat(), qPrintable(b->objectName()));
    QCOMPARE(ui.btnRoomView->iconSize(), QSize(25, 25));
    QCOMPARE(ui.btnMyTools->iconSize(), QSize(32, 32));

    // The links carry paths on the web host; the window joins them to the configured host.
    const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    const QList<QPair<QLabel*, QString>> links = {
        { ui.lblLinkAcademy, QStringLiteral("/Sites/1/Main/Academy.php") },
        { ui.lbLinkPostJob, QStringLiteral("/Sites/1/Main/Add_Job.php") },
        { ui.lblLinkFindTessivanors,
            QStringLiteral("/Sites/1/Main/Browse_ContractorCategories.php") },
        { ui.lblLinkMyMail, QStringLiteral("/Sites/1/Main/My_Mail.php") },
    };
    for (const auto& link : links) {
        QLabel* label = link.first;
        QCOMPARE(label->textFormat(), Qt::RichText);
        QVERIFY(!label->openExternalLinks());
        const auto match = href.match(label->text());
        QVERIFY2(match.hasMatch(), qPrintable(label->objectName()));
        QCOMPARE(match.captured(1), link.second);
        QVERIFY(label->text().contains(QStringLiteral("#ffffff")));
        QVERIFY(label->text().contains(QStringLiteral("text-decoration: none")));
    }
    QCOMPARE(ui.txtSearch->text(), QStringLiteral("Search"));
    QCOMPARE(ui.lblNoTeams->textFormat(), Qt::PlainText);
    QVERIFY(ui.lblNoTeams->wordWrap());
}

void tst_Forms::mainWindowLists()
{
    QMainWindow w;
    Ui::RosterWindow ui;
    ui.setupUi(&w);

    QCOMPARE(ui.lstRoster->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(ui.lstRoster->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(ui.lstRoster->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(ui.lstRoster->verticalScrollMode(), QAbstractItemView::ScrollPerPixel);
    QCOMPARE(ui.lstRoster->horizontalScrollMode(), QAbstractItemView::ScrollPerPixel);

    QCOMPARE(ui.lstTeamWorkTools->viewMode(), QListView::IconMode);
    QCOMPARE(ui.lstTeamWorkTools->movement(), QListView::Static);
    QCOMPARE(ui.lstTeamWorkTools->iconSize(), QSize(110, 110));
    QVERIFY(ui.lstTeamWorkTools->wordWrap());
    QVERIFY(ui.lstTeamWorkTools->font().bold());
    QCOMPARE(ui.lstTeamWorkTools->viewport()->cursor().shape(), Qt::PointingHandCursor);
}

void tst_Forms::popupShape()
{
    QWidget w;
    Ui::popupWindow ui;
    ui.setupUi(&w);

    QCOMPARE(w.objectName(), QStringLiteral("popupWindow"));
    QCOMPARE(w.size(), QSize(247, 143));
    // Compact mode narrows the popup to 80 pixels: it must not be fixed-size.
    QVERIFY(w.minimumWidth() <= 80);
    QVERIFY(w.windowTitle().isEmpty());
    verifyNoLayouts(&w);

    QCOMPARE(ui.stackedWidget->count(), 3);
    QCOMPARE(ui.stackedWidget->currentIndex(), 0);
    QCOMPARE(ui.lblLastScreenshot->parentWidget(), ui.page);
    QCOMPARE(ui.btnMemo->parentWidget(), ui.page_2);
    QCOMPARE(ui.lblClose->geometry(), QRect(222, 9, 16, 16));
    QCOMPARE(ui.btnDiscard->geometry(), QRect(29, 100, 72, 31));
    QCOMPARE(ui.btnDiscard->text(), QStringLiteral("TRASH"));
    QCOMPARE(ui.lblDiscard_2->text(), QStringLiteral("DISCARDED!"));
    QVERIFY(ui.lblDiscard_2->font().bold());
    QVERIFY(ui.lblLastScreenshot->hasScaledContents());
    QCOMPARE(ui.lblPopupText->textFormat(), Qt::PlainText);
    QVERIFY(ui.lblPopupText->wordWrap());
    QVERIFY(!ui.lblMemo->wordWrap());
}

void tst_Forms::reminderDialogs()
{
    QDialog stop;
    Ui::StopReminder stopUi;
    stopUi.setupUi(&stop);
    verifyFixedSize(&stop, QSize(403, 122));
    verifyNoLayouts(&stop);
    QVERIFY(stop.isModal());
    QCOMPARE(stop.windowTitle(), QStringLiteral("Reminder - Movarelquintash - Team Room"));
    QVERIFY(!stopUi.btnStartTrackingTime->autoDefault());
    QVERIFY(!stopUi.btnStartTrackingTime->isDefault());
    QCOMPARE(comboItems(stopUi.cmbTimeout),
        QStringList({ "2 minutes", "5 minutes", "10 minutes", "15 minutes", "30 minutes" }));
    QCOMPARE(stopUi.cmbTimeout->currentIndex(), 0);
    QVERIFY(stopUi.btnSnooze && stopUi.btnChangeMemo && stopUi.label_3 && stopUi.lblMemo);

    QDialog remind;
    Ui::RemindDialog remindUi;
    remindUi.setupUi(&remind);
    verifyFixedSize(&remind, remind.size());
    verifyNoLayouts(&remind);
    QCOMPARE(remindUi.lblMemo->textFormat(), Qt::PlainText);
    QVERIFY(remindUi.btnChangeMemo && remindUi.btnOK->isDefault());
}

void tst_Forms::exitAndLastSnapshot()
{
    QDialog exit;
    Ui::ExitConfirm exitUi;
    exitUi.setupUi(&exit);
    verifyFixedSize(&exit, QSize(325, 110));
    verifyNoLayouts(&exit);
    QVERIFY(exit.isModal());
    QCOMPARE(exit.windowTitle(), QStringLiteral("Confirm Exit"));
    QVERIFY(exitUi.btnExit->isDefault());
    QVERIFY(!exitUi.btnCancel->isDefault());
    QVERIFY(!exitUi.chkUseConfirm->isChecked());
    QCOMPARE(exitUi.label->textFormat(), Qt::PlainText);

    QDialog last;
    Ui::LastSnapshot lastUi;
    lastUi.setupUi(&last);
    verifyFixedSize(&last, QSize(313, 379));
    verifyNoLayouts(&last);
    QVERIFY(last.isModal());
    QCOMPARE(last.windowTitle(), QStringLiteral("Last snapshot - Movarelquintash Team Room"));
    QVERIFY(lastUi.btnOK->isDefault());
    QVERIFY(lastUi.lblDesktopPicture->hasScaledContents());
    QVERIFY(lastUi.lblDesktopPicture->text().isEmpty());
    QVERIFY(lastUi.textBrowser);
}

void tst_Forms::signInDialog()
{
    QDialog d;
    Ui::AuthDialog ui;
    ui.setupUi(&d);
    verifyFixedSize(&d, d.size());
    verifyNoLayouts(&d);
    QCOMPARE(ui.txtPassword->echoMode(), QLineEdit::Password);
    QCOMPARE(ui.txtLoginName->echoMode(), QLineEdit::Normal);
    QCOMPARE(ui.chkRememberPassword->text(), QStringLiteral("Remember password"));
    QVERIFY(ui.btnLogIn->isDefault());
    // Server messages go into the status label: never interpret them as markup.
    QCOMPARE(ui.lblStatus->textFormat(), Qt::PlainText);
    QVERIFY(ui.lblStatus->text().isEmpty());
}

void tst_Forms::memoDialog()
{
    QDialog d;
    Ui::Memo ui;
    ui.setupUi(&d);
    verifyFixedSize(&d, d.size());
    verifyNoLayouts(&d);
    QVERIFY(!d.isModal()); // the callers decide: the start asks without blocking
    // Indexes 0-3 match the preferences' memo interval list; 4 is the stored "no reminder".
    QCOMPARE(comboItems(ui.cmbRemindTimeout),
        QStringList({ "15 minutes", "30 minutes", "1 hours", "2 hours", "Do not remind" }));
    QVERIFY(ui.txtMemo->tabChangesFocus());
    QCOMPARE(ui.cmbPrevMemo->count(), 0);
    QVERIFY(ui.btnOK->isDefault());
    QVERIFY(ui.btnCancel);
}

QTEST_MAIN(tst_Forms)
#include "tst_forms.moc"
