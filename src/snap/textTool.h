#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QMetaType>
#include <QString>

#include <memory>

class QLabel;

namespace Ui {
class textTool;
}

// The dialog in which the member types the text of a text or callout object and picks its font
// and a contrasting background. Its owner resets it (Init) before each use, hands it the drawing
// colour and shows it; OK reports the result through TextEditCompleted.
class textTool : public QDialog
{
    Q_OBJECT
public:
    struct TEXT_PROPERTY
    {
        QFont font;
        QColor textColor;
        QString text;
        bool isContrast = false;
        // The inverted text colour when isContrast, otherwise invalid.
        QColor backColor;
    };

    // Typed sizes are held to these points, so a slip of the keyboard cannot make a text
    // larger than the picture.
    static constexpr int minFontSize = 1;
    static constexpr int maxFontSize = 200;

    explicit textTool(QWidget* parent = nullptr);
    ~textTool() override;

    // Empties the text and returns to the default font in 6 points, out of callout mode; the
    // text field gets the keyboard. The style and contrast boxes keep their marks from the last
    // use, and the font follows them.
    void Init();
    void SetTextColor(const QColor& color);
    void SetIsCalloutMode();
    void SetColorToLabel(QLabel* label, bool contrast, const QColor& color);

signals:
    void TextEditCompleted(textTool::TEXT_PROPERTY text, bool isCalloutMode);

private slots:
    void on_chkContrast_clicked();
    void on_btnOK_clicked();
    void on_cmbFontName_currentIndexChanged(const QString& family);
    void on_cmbFontSize_currentIndexChanged(const QString& text);
    void on_cmbFontSize_editTextChanged(const QString& text);
    void on_chkStrike_clicked();
    void on_chkUnderLine_clicked();
    void on_chkItalic_clicked();
    void on_chkBold_clicked();
    void on_btnCancel_clicked();

private:
    void SetFontSize(int points);
    void ApplyStyleBoxes();
    void ShowSample();

    std::unique_ptr<Ui::textTool> ui;
    TEXT_PROPERTY current;
    bool isCalloutMode = false;
};

Q_DECLARE_METATYPE(textTool::TEXT_PROPERTY)
