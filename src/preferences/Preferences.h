#pragma once

#include "HotkeyRule.h"
#include "SettingsProvider.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Ui {
class Preferences;
}
class LogManager;
class QCheckBox;
class QComboBox;
class QListWidget;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QModelIndex;
class QRadioButton;

// The settings editor: a page tree and six pages over a working copy of the stored
// preferences. Apply stores the edits and emits OnSettingsApply, on which the main window
// applies them.
//
// Its implementation is split by page: Preferences.cpp holds construction, loading, storing
// and the general, time tracking, snapshot and advanced pages; PreferencesHotkeys.cpp the
// hotkeys page; PreferencesAppearance.cpp the fonts and colours.
class Preferences : public QDialog
{
    Q_OBJECT
public:
    // A hotkey as the hotkeys page edits it. Its text is "Ctrl+", "Alt+", "Shift+" (each only
    // when set, in this order) and the key's name: "Ctrl+Shift+K", "F5".
    struct HOTKEY
    {
        using PROBLEM = HotkeyRule::PROBLEM;

        bool ctrl = false; // the box labelled "Cmd"
        bool alt = false;
        bool shift = false;
        QString key;

        QString GetShortcutInText() const;
        // Whether a global grab of the hotkey is acceptable (HotkeyRule): a bare "5" would take
        // that key from every program, so it needs Cmd or Alt unless it is a function key.
        PROBLEM Check() const;
    };

    // What the dialog asks of the member through the desktop's own dialogs, and the sound
    // it plays; tests answer instead.
    struct Prompts
    {
        std::function<std::optional<QColor>(const QColor& initial)> chooseColour;
        std::function<std::optional<QFont>(const QFont& initial)> chooseFont;
        std::function<QString()> chooseSoundFile; // empty when cancelled
        std::function<QString()> chooseLogFolder; // empty when cancelled
        std::function<void(const QString& text)> warn;
        std::function<void(const QUrl& source)> playSound;
    };

    explicit Preferences(QWidget* parent = nullptr);
    ~Preferences() override;

    // Parses a stored hotkey text; "Cmd+" counts as "Ctrl+".
    static HOTKEY GetHotKey(const QString& text);
    // The name the key takes in a hotkey text; empty for a key no global hotkey can use.
    static QString KeyName(int key);

    // Reloads the working copy from the store and shows it on every page; unapplied edits
    // are dropped.
    void RefreshConfig();
    // The activity log whose state the logging button shows and whose owner acts on
    // StopStartLoggingRequest. Without one the button is not offered: nobody would act.
    void SetLogManager(LogManager* log);
    Prompts& GetPrompts() { return prompts; }

signals:
    // After every Apply, once the record is stored.
    void OnSettingsApply();
    // The logging button asks the log's owner to switch the activity log off or on.
    void StopStartLoggingRequest();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void on_btnApply_clicked();
    void on_btnOK_clicked();
    void on_btnCancel_clicked();
    void on_treeWidget_clicked(const QModelIndex& index);
    void on_radioDialog_clicked();
    void on_radionBalloon_clicked();
    void on_radioNone_clicked();
    void on_radioDialog_2_clicked();
    void on_radionBalloon_2_clicked();
    void on_radioNone_2_clicked();
    void on_chkKeepMemo_clicked();
    void on_chkEnablePopup_clicked();
    void on_radioSoundOff_clicked();
    void on_radionSoundDefault_clicked();
    void on_radionOwnSound_clicked();
    void on_btnBrowse_clicked();
    void on_btnPlay_clicked();
    void on_btnBrowseForLogFolder_clicked();
    void on_btnStopStartLogging_clicked();
    void on_btnResetAllSettings_clicked();

    // Hotkeys page.
    void on_lstShortcuts_currentRowChanged(int row);
    void on_chkCtrlKey_clicked();
    void on_chkAltKey_clicked();
    void on_chkShift_clicked();
    void on_btnReset_clicked();

    // Appearance page.
    void on_cmbWindowSelect_activated(int index);
    void on_colorListWidget_currentRowChanged(int row);
    void on_btnFont_clicked();
    void on_btnTextColor_clicked();
    void on_btnResetToDefaultColor_clicked();

private:
    using SETTINGS = SettingsProvider::SETTINGS;

    void SetInterface();
    void SetDefaultPrompts();
    void EnableApply();
    bool Apply();
    std::vector<std::pair<QCheckBox*, bool SETTINGS::*>> CheckBoxes() const;
    void ShowReminderType(const std::array<QRadioButton*, 3>& types, QComboBox* interval, int type);
    void ShowTimeTracking();
    void ShowSnapshots();
    void ShowAdvanced();
    void TakeControls();
    void ShowPopupChoices(bool enabled);
    void ShowSoundMode(SettingsProvider::SoundMode mode);
    void ShowMemoReminderOn();
    void ShowChosenPath(const QString& path, QLineEdit* field);
    void ShowLoggingState();

    // Hotkeys page.
    QString* HotkeyOfRow(int row);
    void LoadHotkeyRow(int row);
    void HotKeyChanged(int row);
    bool CaptureKey(const QKeyEvent* event);
    int RowWithHotkey(const QString& text, int except) const;
    // The first row whose hotkey cannot be stored and why; -1 when all can.
    std::pair<int, QString> HotkeyProblem() const;

    // Appearance page.
    void FillElementList();
    void GenerateRosterWindowColors(QListWidget* list);
    void GenerateChatWindowColors(QListWidget* list);
    void AddElementRows(QListWidget* list, int window);
    void CreateListWidgetItem(QListWidget* list, const QString& text, const QColor& colour,
        const QString& fontName, int size, bool bold, bool italic);

    SettingsProvider settingsProvider { nullptr, QStringLiteral("Settings") };
    SETTINGS settings; // the working copy
    std::unique_ptr<Ui::Preferences> ui;
    Prompts prompts;
    QPointer<LogManager> logManager;
};
