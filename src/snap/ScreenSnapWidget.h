#pragma once

#include "PaintTools.h"
#include "ScreenSnapHost.h"

#include <QByteArray>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QWidget>

class ScreenSnapSaveDialog;
class ScreensnapEditor;

// The borderless window that covers the desktop while the member annotates a grabbed picture.
// It holds the tool box and the editor, turns the tool box's commands and the editor's key
// releases into editor operations, and when the member is done hands the finished picture to a
// save dialog, staying alive hidden until the dialog ends: drawing again shows it with the
// drawing intact, anything else closes it for good and it deletes itself. It is put away once
// the dialog is up over it. The save dialogs ask the host for the preferences and the notices.
class ScreenSnapWidget : public QWidget
{
    Q_OBJECT
public:
    ScreenSnapWidget(QWidget* parent, QPixmap picture, QString userName, QString userCompany,
        int companyId, ScreenSnapHost host = {});
    ~ScreenSnapWidget() override;

    ScreensnapEditor* GetEditor() const { return editor; }
    PaintTools& GetToolBox() { return toolBox; }
    // The save dialog of the last hand-over; null before the first.
    ScreenSnapSaveDialog* GetSaveDialog() const { return saveDialog; }

signals:
    // The save dialog's upload request, passed on unchanged.
    void screenIsReady(
        QString title, QString desc, int permission, QString password, QByteArray rawPicture);

public slots:
    void OnTimer();
    void ContextMenuRequest(QPoint pos);
    void OnCloseRequest();
    void OnDrawRequest();

private slots:
    void ToolAction(QVariant action, QVariant arg);
    void ScreenCrop(bool val);
    void UndoChangeRequest();
    void PaintToolsHotkeysHandler(int key, int modifiers);
    void ScreenIsReady(
        QString title, QString desc, int permission, QString password, QByteArray rawPicture);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowToolBox();
    void FollowKeys(QEvent* event);
    void FollowSaveDialog(QEvent* event);
    void HandOver();
    void PutAway();

    PaintTools toolBox;
    ScreensnapEditor* editor;
    ScreenSnapSaveDialog* saveDialog = nullptr;
    bool blinkState = false;
    bool closeForGood = false;
    bool closing = false; // the tool box is put away with the window
    // Keys pressed on the picture and not yet released.
    QSet<int> keysDown;
    QString userName;
    QString userCompany;
    int companyId;
    ScreenSnapHost host;
    // One chain of each for the window's life, however often it is shown again.
    QTimer blinkTimer { this };
    QTimer undoCheckTimer { this };
    // Puts the window away after a hand-over: when the save dialog has been painted and has the
    // keyboard, or after a while if it never comes that far.
    QTimer putAwayTimer { this };
    bool saveDialogPainted = false;
};
