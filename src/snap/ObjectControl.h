#pragma once

#include "ColorChooser.h"

#include <QDialog>
#include <QPen>
#include <QVariant>

#include <memory>

namespace Ui {
class ObjectControl;
}

// The "Last object format" dialog: moves and resizes the last drawn object and sets its colour,
// width, fill, highlight and arrow heads. Every control sends one command. It deletes itself
// when closed.
class ObjectControl : public QDialog
{
    Q_OBJECT
public:
    enum OBJECT_CONTROL_COMMAND
    {
        OC_MOVE_UP = 0,
        OC_MOVE_DOWN = 1,
        OC_MOVE_LEFT = 2,
        OC_MOVE_RIGHT = 3,
        OC_INC_HEIGHT = 4,
        OC_DEC_HEIGHT = 5,
        OC_INC_WIDTH = 6,
        OC_DEC_WIDTH = 7,
        OC_COLOR = 8,
        OC_PEN_WIDTH = 9,
        OC_SOLID = 12,
        OC_HIGHLIGHT = 13,
        OC_START_ARROW = 14,
        OC_END_ARROW = 15
    };
    Q_ENUM(OBJECT_CONTROL_COMMAND)

    explicit ObjectControl(QWidget* parent = nullptr);
    ~ObjectControl() override;

    // Shows the pen's colour and width; the position, size and font groups and the arrow boxes
    // stay disabled until their switch is turned on.
    void Init(const QPen& pen);
    void SetMovingEnabled(bool enabled);
    void SetResizeEnabled(bool enabled);
    void SetFontPropertyEnabled(bool enabled);
    void SetColorAndWidthPropertyEnabled(bool enabled);
    void SetArrowChangeModeEnabled(bool enabled);
    void SetColorChooser(ColorChooser chooser);

signals:
    void ObjectControlCommand(ObjectControl::OBJECT_CONTROL_COMMAND command, QVariant arg);

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_btnUp5px_clicked();
    void on_btnUp1px_clicked();
    void on_btnDown1px_clicked();
    void on_btnDown5px_clicked();
    void on_btnRight1px_clicked();
    void on_btnRight5px_clicked();
    void on_btnLeftpx_clicked();
    void on_btnLeft5px_clicked();
    void on_btnDecH5px_clicked();
    void on_btnDecH1px_clicked();
    void on_btnIncH5px_clicked();
    void on_btnIncH5px_2_clicked();
    void on_btnIncW1px_clicked();
    void on_btnIncW5px_clicked();
    void on_btnDecW1px_clicked();
    void on_btnDecW5px_clicked();
    void on_chkSolid_clicked();
    void on_chkHighLight_clicked();
    void on_chkStartArrow_clicked();
    void on_chkEndArrow_clicked();
    void on_btnSelectColor_clicked();
    void on_btnClose_clicked();
    void OnTextEditReturnPressed();

private:
    void ShowColor(const QColor& color);

    bool movingEnabled = false;
    bool resizeEnabled = false;
    bool fontEnabled = false;
    bool colorAndWidthEnabled = false;
    bool arrowChangeModeEnabled = false;
    std::unique_ptr<Ui::ObjectControl> ui;
    ColorChooser chooseColor = AskColorFromDialog;
};
