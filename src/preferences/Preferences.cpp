#include "Preferences.h"

#include "DialogPlacement.h"
#include "FormFit.h"
#include "LogManager.h"
#include "NoticeSound.h"
#include "RegularFile.h"
#include "ReminderSchedule.h"
#include "SettingsKeys.h"
#include "SettingsTable.h"
#include "WindowSystem.h"
#include "ui_Preferences.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QShowEvent>

#include <array>

namespace {

enum PAGE
{
    PAGE_GENERAL = 0,
    PAGE_TIME_TRACKING = 1,
    PAGE_SNAPSHOTS = 2,
    PAGE_ADVANCED_GENERAL = 3,
    PAGE_APPEARANCE = 4,
    PAGE_HOTKEYS = 5,
};

using Kind = ReminderSchedule::Kind;
using SoundMode = SettingsProvider::SoundMode;

// The entries of the log size list, in megabytes.
const QList<int>& LogSizes()
{
    return SettingsTable::Declared(SettingsKeys::totalLogSize).choices;
}

// A field that takes as many digits as the key's largest value has.
void LimitDigits(QLineEdit* field, const QString& key)
{
    const int digits = QString::number(SettingsTable::Declared(key).max).size();
    field->setInputMask(QString(digits, QLatin1Char('#')) + QStringLiteral("; "));
}

const QString stopLoggingText = QStringLiteral("Stop logging");
const QString startLoggingText = QStringLiteral("Start logging");

// The number the text begins with; 0 when it begins with none.
int LeadingNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    int digits = 0;
    while (digits < trimmed.size() && trimmed.at(digits).isDigit())
        ++digits;
    return trimmed.left(digits).toInt();
}

// The index of the checked button; `fallback` when none is checked.
int CheckedIndex(const std::array<QAbstractButton*, 3>& buttons, int fallback)
{
    for (int i = 0; i < int(buttons.size()); ++i)
        if (buttons[i]->isChecked())
            return i;
    return fallback;
}

} // namespace

Preferences::Preferences(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Preferences>())
{
    ui->setupUi(this);
    for (const int size : LogSizes())
        ui->cmbLimitSize->addItem(QString::number(size));
    LimitDigits(ui->txtPopupTime, SettingsKeys::popupTimeout);
    LimitDigits(ui->txtKeepMemoCount, SettingsKeys::keepMemoCount);
    FormFit::Fit(this);
    SetDefaultPrompts();
    // Controls whose only effect is that there is something to apply.
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*> { ui->chkAtSystemStartup,
             ui->chkSingInAtStart, ui->chkConfirmOnExit, ui->radioOpenTeamRoom,
             ui->radioStartStopTrackTime, ui->chkReminder, ui->chkStopOnLock, ui->radionConfirmMemo,
             ui->radioAddNewLineToMemo, ui->chkStartMinim, ui->chkDisplaySecWarnings,
             ui->chkStatusAtStopTrackingTime, ui->chkStatusAtStartTrackingTime, ui->chkLimitSize })
        connect(button, &QAbstractButton::clicked, this, &Preferences::EnableApply);
    for (QComboBox* combo :
        { ui->cmbStopReminderTimeOut, ui->cmbMemoReminderTimeout, ui->cmbLimitSize })
        connect(combo, QOverload<int>::of(&QComboBox::activated), this, &Preferences::EnableApply);
    connect(ui->txtKeepMemoCount, &QLineEdit::textChanged, this, &Preferences::EnableApply);
    connect(ui->txtPopupTime, &QLineEdit::textEdited, this, &Preferences::EnableApply);

    RefreshConfig();
    WindowSystem::SetWindowTitleDialogStyle(this, true);
    SetInterface();
    ui->txtHotKey->installEventFilter(this);
    ShowLoggingState();
}

Preferences::~Preferences() = default;

void Preferences::SetDefaultPrompts()
{
    prompts.chooseColour = [this](const QColor& initial) -> std::optional<QColor> {
        const QColor colour = QColorDialog::getColor(initial, this);
        return colour.isValid() ? std::optional<QColor>(colour) : std::nullopt;
    };
    prompts.chooseFont = [this](const QFont& initial) -> std::optional<QFont> {
        bool chosen = false;
        const QFont font = QFontDialog::getFont(&chosen, initial, this);
        return chosen ? std::optional<QFont>(font) : std::nullopt;
    };
    prompts.chooseSoundFile = [this] {
        return QFileDialog::getOpenFileName(
            this, QStringLiteral("Open sound..."), QString(), QStringLiteral("Sound files(*.wav)"));
    };
    prompts.chooseLogFolder = [this] {
        return QFileDialog::getExistingDirectory(
            this, QString(), QString(), QFileDialog::ShowDirsOnly);
    };
    prompts.warn = [this](const QString& text) {
        QMessageBox::warning(this, windowTitle(), text);
    };
    prompts.playSound = &NoticeSound::Play;
}

// Labels take the width of their text, and what stands beside them follows. (Every other text
// got its room when the form was fitted to the font.)
void Preferences::SetInterface()
{
    for (QWidget* widget : std::initializer_list<QWidget*> {
             ui->label_9, ui->label_10, ui->label_2, ui->btnResetAllSettings })
        widget->resize(widget->sizeHint());
    const auto rightOf = [](const QWidget* widget) {
        return widget->x() + widget->width();
    };
    // The selector and the list start after the wider label and keep their right edges.
    const int listX = qMax(rightOf(ui->label_9), rightOf(ui->label_10)) + 3;
    for (QWidget* widget :
        std::initializer_list<QWidget*> { ui->cmbWindowSelect, ui->colorListWidget })
        widget->setGeometry(listX, widget->y(), rightOf(widget) - listX, widget->height());
    ui->txtPopupTime->move(rightOf(ui->label_2) + 2, ui->txtPopupTime->y());
    ui->label_3->move(rightOf(ui->txtPopupTime) + 2, ui->label_3->y());
}

void Preferences::EnableApply()
{
    ui->btnApply->setEnabled(true);
}

void Preferences::SetLogManager(LogManager* log)
{
    logManager = log;
    ShowLoggingState();
}

void Preferences::ShowLoggingState()
{
    ui->btnStopStartLogging->setVisible(logManager != nullptr);
    if (logManager)
        ui->btnStopStartLogging->setText(
            logManager->IsLogsEnabled() ? stopLoggingText : startLoggingText);
}

std::vector<std::pair<QCheckBox*, bool Preferences::SETTINGS::*>> Preferences::CheckBoxes() const
{
    return { { ui->chkAtSystemStartup, &SETTINGS::runAtStartup },
        { ui->chkSingInAtStart, &SETTINGS::signInAtRun },
        { ui->chkConfirmOnExit, &SETTINGS::confirmAtExit },
        { ui->chkReminder, &SETTINGS::setReminderOnStop },
        { ui->chkStopOnLock, &SETTINGS::stopWhileComputerIsLocked },
        { ui->chkStartMinim, &SETTINGS::startMinimized },
        { ui->chkDisplaySecWarnings, &SETTINGS::displayWarnings },
        { ui->chkStatusAtStopTrackingTime, &SETTINGS::setMyChatStatusToPrivateWhenStop },
        { ui->chkStatusAtStartTrackingTime, &SETTINGS::setMyChatStatusToWorkingAtStart },
        { ui->chkKeepMemo, &SETTINGS::keepPrevMemo },
        { ui->chkEnablePopup, &SETTINGS::enableSnapshots },
        { ui->chkLimitSize, &SETTINGS::isLimitLogSize } };
}

void Preferences::RefreshConfig()
{
    settings = settingsProvider.GetCurrentSettings();
    for (const auto& [box, field] : CheckBoxes())
        box->setChecked(settings.*field);
    (settings.openTeamRoomOrWorkWithTrackingTime ? ui->radioOpenTeamRoom
                                                 : ui->radioStartStopTrackTime)
        ->setChecked(true);
    ShowTimeTracking();
    ShowSnapshots();
    ShowAdvanced();
    ui->lstShortcuts->setCurrentRow(0);
    LoadHotkeyRow(0);
    FillElementList();
}

// A reminder type outside the list shows as "None".
void Preferences::ShowReminderType(
    const std::array<QRadioButton*, 3>& types, QComboBox* interval, int type)
{
    const Kind kind = ReminderSchedule::KindOf(type);
    types[size_t(kind)]->setChecked(true);
    interval->setEnabled(kind != Kind::None);
}

void Preferences::ShowTimeTracking()
{
    ShowReminderType({ ui->radioDialog, ui->radionBalloon, ui->radioNone },
        ui->cmbStopReminderTimeOut, settings.stopReminderType);
    ui->cmbStopReminderTimeOut->setCurrentIndex(settings.stopReminderTimeout);
    ShowReminderType({ ui->radioDialog_2, ui->radionBalloon_2, ui->radioNone_2 },
        ui->cmbMemoReminderTimeout, settings.memoReminderType);
    // The store keeps Never, which names no entry, while the reminder is off.
    ui->cmbMemoReminderTimeout->setCurrentIndex(
        settings.remindMode < ui->cmbMemoReminderTimeout->count() ? settings.remindMode : -1);
    (settings.memoEnterAction ? ui->radionConfirmMemo : ui->radioAddNewLineToMemo)
        ->setChecked(true);

    ui->txtKeepMemoCount->setText(QString::number(settings.keepMemoCount));
    ui->txtKeepMemoCount->setEnabled(settings.keepPrevMemo);
    if (!settings.keepPrevMemo)
        ui->txtKeepMemoCount->setText(QStringLiteral("0"));
}

void Preferences::ShowSnapshots()
{
    ui->txtPopupTime->setText(QString::number(settings.popupTimeout));
    ShowPopupChoices(settings.enableSnapshots);
    if (settings.enableSnapshots)
        ui->txtSoundPath->setEnabled(false);
    ui->btnBrowse->setEnabled(false);
    if (settings.soundMode == int(SoundMode::OwnFile))
        ui->txtSoundPath->setText(settings.ownSoundPath);
    ShowSoundMode(SoundMode(settings.soundMode));
}

void Preferences::ShowAdvanced()
{
    ui->txtLogLocation->setText(settings.logLocation);
    ui->cmbLimitSize->setCurrentIndex(qMax(0, LogSizes().indexOf(settings.totalLogSize)));
}

void Preferences::ShowPopupChoices(bool enabled)
{
    for (QWidget* widget : std::initializer_list<QWidget*> {
             ui->txtPopupTime, ui->radioSoundOff, ui->radionSoundDefault, ui->radionOwnSound })
        widget->setEnabled(enabled);
}

void Preferences::ShowSoundMode(SoundMode mode)
{
    switch (mode) {
    case SoundMode::OwnFile:
        ui->radionOwnSound->setChecked(true);
        ui->btnPlay->setEnabled(true);
        ui->btnBrowse->setEnabled(true);
        break;
    case SoundMode::BuiltIn:
        ui->radionSoundDefault->setChecked(true);
        ui->btnPlay->setEnabled(true);
        ui->txtSoundPath->setEnabled(false);
        break;
    default:
        ui->radioSoundOff->setChecked(true);
        ui->btnPlay->setEnabled(false);
        ui->txtSoundPath->setEnabled(false);
        break;
    }
}

// Fonts, colours and hotkeys are in the working copy already: their handlers put them there.
void Preferences::TakeControls()
{
    for (const auto& [box, field] : CheckBoxes())
        settings.*field = box->isChecked();
    settings.popupTimeout = LeadingNumber(ui->txtPopupTime->text());
    settings.soundMode = CheckedIndex(
        { ui->radioSoundOff, ui->radionSoundDefault, ui->radionOwnSound }, settings.soundMode);
    if (settings.soundMode == int(SoundMode::OwnFile))
        settings.ownSoundPath = ui->txtSoundPath->text();
    settings.openTeamRoomOrWorkWithTrackingTime = ui->radioOpenTeamRoom->isChecked();
    settings.stopReminderType = CheckedIndex(
        { ui->radioDialog, ui->radionBalloon, ui->radioNone }, settings.stopReminderType);
    if (ui->cmbStopReminderTimeOut->currentIndex() >= 0)
        settings.stopReminderTimeout = ui->cmbStopReminderTimeOut->currentIndex();
    settings.memoReminderType = CheckedIndex(
        { ui->radioDialog_2, ui->radionBalloon_2, ui->radioNone_2 }, settings.memoReminderType);
    settings.remindMode = qMax(0, ui->cmbMemoReminderTimeout->currentIndex());
    settings.memoEnterAction = ui->radionConfirmMemo->isChecked();
    settings.keepMemoCount = LeadingNumber(ui->txtKeepMemoCount->text());
    settings.logLocation = ui->txtLogLocation->text();
    settings.totalLogSize = LogSizes().value(ui->cmbLimitSize->currentIndex(), LogSizes().first());
}

bool Preferences::Apply()
{
    const auto [row, problem] = HotkeyProblem();
    if (row >= 0) {
        ui->optionsWidget->setCurrentIndex(PAGE_HOTKEYS);
        ui->lstShortcuts->setCurrentRow(row);
        prompts.warn(problem);
        return false;
    }
    TakeControls();
    // What the dialog does not edit is taken from the store as it is now: the memos, the
    // window geometry and the update date may have changed since the dialog was loaded.
    const SETTINGS stored = settingsProvider.GetCurrentSettings();
    settings.rosterWindowRect = stored.rosterWindowRect;
    settings.memoInActiveFont = stored.memoInActiveFont;
    settings.historyMessagesFont = stored.historyMessagesFont;
    settings.historyIncomingMessageColor = stored.historyIncomingMessageColor;
    settings.historyOutgoingMessageColor = stored.historyOutgoingMessageColor;
    settings.historySelectedMessageColor = stored.historySelectedMessageColor;
    settings.hotkeys.SnapActiveWindow = stored.hotkeys.SnapActiveWindow;
    settings.prevMemo = stored.prevMemo;
    settings.updateDate = stored.updateDate;
    settingsProvider.SetCurrentSettings(settings);
    ui->btnApply->setEnabled(false);
    emit OnSettingsApply();
    return true;
}

void Preferences::on_btnApply_clicked()
{
    Apply();
}

void Preferences::on_btnOK_clicked()
{
    if (Apply())
        close();
}

void Preferences::on_btnCancel_clicked()
{
    close();
}

void Preferences::showEvent(QShowEvent* event)
{
    // The window coming back from the task bar is no new show: the edits stay.
    if (!event->spontaneous()) {
        DialogPlacement::CenterOnDesktop(this);
        ui->treeWidget->setCurrentItem(ui->treeWidget->topLevelItem(0));
        ui->optionsWidget->setCurrentIndex(PAGE_GENERAL);
        ui->cmbWindowSelect->setCurrentIndex(0);
        RefreshConfig();
        ui->treeWidget->expandAll();
        ui->btnApply->setEnabled(false);
        ShowLoggingState();
    }
    event->accept();
    setWindowState(windowState() | Qt::WindowActive);
    QDialog::showEvent(event);
}

// Pages are found by the texts of the item and its parent.
void Preferences::on_treeWidget_clicked(const QModelIndex&)
{
    const QTreeWidgetItem* item = ui->treeWidget->currentItem();
    if (!item)
        return;
    const QString text = item->text(0);
    const QString parent = item->parent() ? item->parent()->text(0) : QString();
    int page = -1;
    if (parent.isEmpty() && text == QLatin1String("General"))
        page = PAGE_GENERAL;
    else if (parent.isEmpty() && text == QLatin1String("Time tracking"))
        page = PAGE_TIME_TRACKING;
    else if (parent == QLatin1String("Time tracking") && text == QLatin1String("Snapshots"))
        page = PAGE_SNAPSHOTS;
    else if (parent == QLatin1String("Advanced") && text == QLatin1String("General"))
        page = PAGE_ADVANCED_GENERAL;
    else if (parent == QLatin1String("Advanced") && text == QLatin1String("Appearance"))
        page = PAGE_APPEARANCE;
    else if (parent == QLatin1String("Advanced") && text == QLatin1String("Hotkeys"))
        page = PAGE_HOTKEYS;
    if (page == PAGE_APPEARANCE)
        FillElementList();
    if (page >= 0)
        ui->optionsWidget->setCurrentIndex(page);
}

void Preferences::on_radioDialog_clicked()
{
    ui->cmbStopReminderTimeOut->setEnabled(true);
    EnableApply();
}

void Preferences::on_radionBalloon_clicked()
{
    on_radioDialog_clicked();
}

void Preferences::on_radioNone_clicked()
{
    ui->cmbStopReminderTimeOut->setEnabled(false);
    EnableApply();
}

// A reminder that is on needs an interval from the list, also when the store kept none.
void Preferences::ShowMemoReminderOn()
{
    ui->cmbMemoReminderTimeout->setEnabled(true);
    if (ui->cmbMemoReminderTimeout->currentIndex() < 0)
        ui->cmbMemoReminderTimeout->setCurrentIndex(0);
    EnableApply();
}

void Preferences::on_radioDialog_2_clicked()
{
    ShowMemoReminderOn();
}

void Preferences::on_radionBalloon_2_clicked()
{
    ShowMemoReminderOn();
}

void Preferences::on_radioNone_2_clicked()
{
    ui->cmbMemoReminderTimeout->setEnabled(false);
    EnableApply();
}

void Preferences::on_chkKeepMemo_clicked()
{
    ui->txtKeepMemoCount->setEnabled(ui->chkKeepMemo->isChecked());
    EnableApply();
}

void Preferences::on_chkEnablePopup_clicked()
{
    ShowPopupChoices(ui->chkEnablePopup->isChecked());
    ui->txtSoundPath->setEnabled(ui->chkEnablePopup->isChecked());
    EnableApply();
}

void Preferences::on_radioSoundOff_clicked()
{
    ShowSoundMode(SoundMode::Off);
    EnableApply();
}

void Preferences::on_radionSoundDefault_clicked()
{
    ShowSoundMode(SoundMode::BuiltIn);
    EnableApply();
}

void Preferences::on_radionOwnSound_clicked()
{
    ShowSoundMode(SoundMode::OwnFile);
    EnableApply();
}

// A cancelled chooser gives an empty path and changes nothing.
void Preferences::ShowChosenPath(const QString& path, QLineEdit* field)
{
    if (path.isEmpty())
        return;
    field->setText(path);
    EnableApply();
}

void Preferences::on_btnBrowse_clicked()
{
    ShowChosenPath(prompts.chooseSoundFile(), ui->txtSoundPath);
}

// The built-in sound plays straight from the resources: nothing is written to disk.
void Preferences::on_btnPlay_clicked()
{
    if (ui->radionSoundDefault->isChecked())
        prompts.playSound(QUrl(QStringLiteral("qrc:/data/sound.wav")));
    else if (RegularFile::IsPlayableSound(ui->txtSoundPath->text()))
        prompts.playSound(QUrl::fromLocalFile(ui->txtSoundPath->text()));
    else if (!ui->txtSoundPath->text().isEmpty())
        prompts.warn(QStringLiteral("This file cannot be played: choose a readable sound file of "
                                    "at most 8 MB."));
}

void Preferences::on_btnBrowseForLogFolder_clicked()
{
    ShowChosenPath(prompts.chooseLogFolder(), ui->txtLogLocation);
}

// The caption shows what the log's owner made of the request, not what was asked.
void Preferences::on_btnStopStartLogging_clicked()
{
    emit StopStartLoggingRequest();
    ShowLoggingState();
}

void Preferences::on_btnResetAllSettings_clicked()
{
    settingsProvider.SetDefaultSettings();
    RefreshConfig();
    EnableApply();
}
