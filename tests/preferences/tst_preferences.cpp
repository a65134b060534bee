#include "AppInfo.h"
#include "LogManager.h"
#include "Preferences.h"
#include "SettingsKeys.h"
#include "SettingsTable.h"

#include <QSettings>
#include <QtTest>
#include <QtWidgets>

using SETTINGS = SettingsProvider::SETTINGS;

namespace {

// Every value in the preferences store.
QMap<QString, QVariant> StoreContents()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, AppInfo::organizationName,
        AppInfo::applicationName);
    QMap<QString, QVariant> values;
    const QStringList keys = store.allKeys();
    for (const QString& key : keys)
        values.insert(key, store.value(key));
    return values;
}

SETTINGS Stored()
{
    return SettingsProvider::instance()->GetCurrentSettings();
}

void Store(const std::function<void(SETTINGS&)>& change)
{
    SETTINGS settings = Stored();
    change(settings);
    SettingsProvider::instance()->SetCurrentSettings(settings);
}

// A dialog shown without blocking. Its choosers answer with the values below (nothing: the
// member cancelled), and its warnings and sounds are recorded.
struct Shown
{
    Preferences dialog;
    std::optional<QColor> colour;
    std::optional<QFont> font;
    QString path; // the sound file or log folder chosen
    QStringList asked; // "colour" and "font" for each chooser opened
    QStringList warnings;
    QList<QUrl> played;

    Shown()
    {
        Preferences::Prompts& prompts = dialog.GetPrompts();
        prompts.chooseColour = [this](const QColor&) {
            asked << "colour";
            return colour;
        };
        prompts.chooseFont = [this](const QFont&) {
            asked << "font";
            return font;
        };
        prompts.chooseLogFolder = prompts.chooseSoundFile = [this] {
            return path;
        };
        prompts.warn = [this](const QString& text) {
            warnings << text;
        };
        prompts.playSound = [this](const QUrl& source) {
            played << source;
        };
        dialog.show();
    }

    template<typename T = QAbstractButton> T* Get(const char* name)
    {
        T* child = dialog.findChild<T*>(QLatin1String(name));
        if (!child)
            qFatal("No child named %s", name);
        return child;
    }

    // A click on the tree item of this path ("Advanced/Hotkeys").
    void Page(const QString& path)
    {
        auto* tree = Get<QTreeWidget>("treeWidget");
        QTreeWidgetItem* item = nullptr;
        for (QTreeWidgetItemIterator it(tree); *it && !item; ++it)
            if (((*it)->parent() ? (*it)->parent()->text(0) + "/" : QString()) + (*it)->text(0)
                == path)
                item = *it;
        QTest::mouseClick(
            tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    }

    int CurrentPage() { return Get<QStackedWidget>("optionsWidget")->currentIndex(); }
    void Click(const char* button) { Get(button)->click(); }
    void Choose(const char* combo, int index)
    {
        Get<QComboBox>(combo)->setCurrentIndex(index);
        emit Get<QComboBox>(combo)->activated(index);
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(Get<QLineEdit>("txtHotKey"), Qt::Key(key), modifiers);
    }
    void HotkeyRow(int row) { Get<QListWidget>("lstShortcuts")->setCurrentRow(row); }
    bool ApplyEnabled() { return Get("btnApply")->isEnabled(); }
};

// The part of a control its text and box cover, less the last line and column: frames may
// share an edge.
QRect Occupied(const QWidget* widget)
{
    const auto* label = qobject_cast<const QLabel*>(widget);
    const bool textWide = (label && !label->wordWrap())
        || (qobject_cast<const QAbstractButton*>(widget)
            && !qobject_cast<const QPushButton*>(widget));
    const int width
        = textWide ? qMin(widget->width(), widget->sizeHint().width()) : widget->width();
    return QRect(widget->pos(), QSize(width - 1, widget->height() - 1));
}

bool TextFits(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                 : label->sizeHint().width() <= label->width();
    if (const auto* button = qobject_cast<const QPushButton*>(widget))
        return button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width();
    return !qobject_cast<const QAbstractButton*>(widget)
        || widget->sizeHint().width() <= widget->width();
}

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT
private slots:
    void init() { SettingsProvider::instance()->SetCurrentSettings(SETTINGS()); }

    // The form was drawn for another font: with this desktop's, every text fits its control
    // and no two controls on a page cover each other.
    void nothingIsCutOffOrOverlaps()
    {
        Shown shown;
        auto* pages = shown.Get<QStackedWidget>("optionsWidget");
        for (int page = 0; page < pages->count(); ++page) {
            const QList<QWidget*> controls
                = pages->widget(page)->findChildren<QWidget*>(QRegularExpression("^(?!qt_).+"));
            for (const QWidget* control : controls) {
                const QByteArray name = control->objectName().toLatin1();
                const QWidget* parent = control->parentWidget();
                QVERIFY2(TextFits(control), name);
                QVERIFY2(QRect(QPoint(),
                             parent->parentWidget() == pages ? pages->size() : parent->size())
                             .contains(control->geometry()),
                    name);
                for (const QWidget* other : controls)
                    QVERIFY2(other == control || other->parentWidget() != parent
                            || !Occupied(control).intersects(Occupied(other)),
                        name + " covers " + other->objectName().toLatin1());
            }
        }
    }

    void applyWithoutEditsLeavesTheStoreAsItWas()
    {
        Store([](SETTINGS& s) {
            s.stopReminderType = 1;
            s.memoReminderType = 0;
            s.remindMode = 2;
            s.soundMode = 2;
            s.ownSoundPath = "/tmp/bell.wav";
            s.totalLogSize = 5;
            s.groupFont = { "DejaVu Serif", 13, false, true, QColor(1, 2, 3) };
            s.hotkeys.OpenMemo = "Cmd+M";
            s.hotkeys.SnapActiveWindow = "Ctrl+W";
        });
        const QMap<QString, QVariant> before = StoreContents();
        Shown shown;
        shown.Click("btnOK");
        QVERIFY(!shown.dialog.isVisible());
        QCOMPARE(StoreContents(), before);
    }

    void eachControlReachesItsField()
    {
        Shown shown;
        shown.Click("radionBalloon");
        shown.Choose("cmbStopReminderTimeOut", 4);
        shown.Click("radioDialog_2"); // the store keeps no interval while this reminder is off
        shown.Get<QLineEdit>("txtPopupTime")->clear();
        shown.path = "/tmp/own.wav";
        shown.Click("radionOwnSound");
        shown.Click("btnBrowse");
        shown.path = "/tmp/logs";
        shown.Click("btnBrowseForLogFolder");
        shown.Click("chkLimitSize");
        shown.Choose("cmbLimitSize", 6);
        QVERIFY(shown.ApplyEnabled());
        shown.Click("btnApply");
        QVERIFY(!shown.ApplyEnabled());

        const SETTINGS s = Stored();
        QCOMPARE(s.stopReminderType, 1);
        QCOMPARE(s.stopReminderTimeout, 4);
        QCOMPARE(s.memoReminderType, 0);
        QCOMPARE(s.remindMode, 0);
        QCOMPARE(s.popupTimeout, 0);
        QCOMPARE(s.soundMode, 2);
        QCOMPARE(s.ownSoundPath, QString("/tmp/own.wav"));
        QCOMPARE(s.logLocation, QString("/tmp/logs"));
        QVERIFY(s.isLimitLogSize);
        QCOMPARE(s.totalLogSize, 30);
    }

    // Whatever a control can set is a value its key may take, not one read back as the default;
    // a list of choices offers exactly the declared ones.
    void controlsKeepToTheDeclaredValues_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        QTest::newRow("stop reminder interval")
            << "cmbStopReminderTimeOut" << SettingsKeys::stopReminderTimeout;
        QTest::newRow("memo reminder interval")
            << "cmbMemoReminderTimeout" << SettingsKeys::remindMode;
        QTest::newRow("log size") << "cmbLimitSize" << SettingsKeys::totalLogSize;
        QTest::newRow("popup seconds") << "txtPopupTime" << SettingsKeys::popupTimeout;
        QTest::newRow("memos kept") << "txtKeepMemoCount" << SettingsKeys::keepMemoCount;
    }

    void controlsKeepToTheDeclaredValues()
    {
        QFETCH(QString, control);
        QFETCH(QString, key);
        const SettingsTable::Key& declared = SettingsTable::Declared(key);
        Shown shown;
        shown.Click("radioDialog_2"); // the memo interval is stored only while its reminder is on
        auto* combo = shown.dialog.findChild<QComboBox*>(control);
        const QStringList typed { "0", "9999999999" };
        QList<int> stored;
        for (int i = 0; i < (combo ? combo->count() : typed.size()); ++i) {
            if (combo) {
                shown.Choose(qPrintable(control), i);
            } else {
                auto* field = shown.Get<QLineEdit>(qPrintable(control));
                field->clear();
                QTest::keyClicks(field, typed[i]);
            }
            shown.Click("btnApply");
            stored.append(StoreContents().value(key.mid(key.startsWith('/') ? 1 : 0)).toInt());
            QVERIFY2(declared.Allows(stored.last()), qPrintable(QString::number(stored.last())));
        }
        if (!declared.choices.isEmpty())
            QCOMPARE(stored, declared.choices);
    }

    void cancelDropsTheEditsAndTheNextShowReloads()
    {
        Shown shown;
        QSignalSpy applied(&shown.dialog, &Preferences::OnSettingsApply);
        shown.Click("chkConfirmOnExit");
        shown.Page("Advanced/Hotkeys");
        shown.Key(Qt::Key_F7);
        shown.Click("btnCancel");
        QVERIFY(!shown.dialog.isVisible());
        QVERIFY(Stored().confirmAtExit && Stored().hotkeys.OpenTeamRoom.isEmpty());

        shown.dialog.show();
        QVERIFY(shown.Get("chkConfirmOnExit")->isChecked());
        QVERIFY(shown.Get<QLineEdit>("txtHotKey")->text().isEmpty());
        QVERIFY(!shown.ApplyEnabled());
        QCOMPARE(shown.CurrentPage(), 0);
        QCOMPARE(applied.count(), 0);
    }

    // The memos, the window geometry and the update date change while the dialog is open.
    void applyKeepsWhatTheDialogDoesNotEdit()
    {
        Shown shown;
        SettingsProvider::instance()->AddMemo({ "Writing tests", "Atlas" });
        SettingsProvider::instance()->SaveWindowState(QRect(5, 6, 300, 400));
        Store([](SETTINGS& s) { s.updateDate = QDate(2024, 3, 1); });
        shown.Click("chkSingInAtStart");
        shown.Click("btnApply");
        QVERIFY(Stored().signInAtRun);
        QCOMPARE(SettingsProvider::instance()->GetMemos("Atlas").size(), 1);
        QCOMPARE(Stored().rosterWindowRect, QRect(5, 6, 300, 400));
        QCOMPARE(Stored().updateDate, QDate(2024, 3, 1));
    }

    void treeItemsChooseThePagesAndTheSoundPlays()
    {
        Shown shown;
        const QList<QPair<QString, int>> clicks { { "Time tracking", 1 },
            { "Time tracking/Snapshots", 2 }, { "Advanced", 2 }, { "Advanced/General", 3 },
            { "Advanced/Appearance", 4 }, { "Advanced/Hotkeys", 5 }, { "General", 0 } };
        for (const auto& [path, page] : clicks) {
            shown.Page(path);
            QVERIFY2(shown.CurrentPage() == page, qPrintable(path));
        }
        shown.Click("btnPlay");
        // A device or a missing file is refused with a message: the player would read a device
        // without end and keep the client from exiting.
        QTemporaryDir folder;
        const QString own = folder.filePath("own sound.wav");
        QFile file(own);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("RIFF") == 4);
        file.close();
        shown.Click("radionOwnSound");
        for (const QString& path : { QString("/dev/zero"), folder.filePath("gone.wav"), own }) {
            shown.path = path;
            shown.Click("btnBrowse");
            shown.Click("btnPlay");
        }
        QCOMPARE(
            shown.played, QList<QUrl>({ QUrl("qrc:/data/sound.wav"), QUrl::fromLocalFile(own) }));
        QCOMPARE(shown.warnings.size(), 2);
    }

    void hotkeyTexts()
    {
        const int ok = HotkeyRule::HOTKEY_OK;
        const int noKey = HotkeyRule::HOTKEY_NO_KEY;
        const int bare = HotkeyRule::HOTKEY_NO_MODIFIER;
        const struct
        {
            const char* text;
            const char* written;
            const char* key;
            int problem;
        } cases[] = {
            { "Ctrl+Alt+Shift+K", "Ctrl+Alt+Shift+K", "K", ok },
            { "F5", "F5", "F5", ok },
            { "Cmd+K", "Ctrl+K", "K", ok },
            { "Ctrl++", "Ctrl++", "+", ok },
            { "Alt+Shift+Esc", "Alt+Shift+Esc", "Esc", ok },
            { "Shift+Esc", "Shift+Esc", "Esc", bare },
            { "Ctrl+Alt+", "Ctrl+Alt+", "", noKey },
            { "5", "5", "5", bare },
            { "Return", "Return", "Return", bare },
        };
        for (const auto& c : cases) {
            const Preferences::HOTKEY hotkey = Preferences::GetHotKey(c.text);
            QVERIFY2(hotkey.GetShortcutInText() == c.written && hotkey.key == c.key
                    && hotkey.Check() == c.problem,
                c.text);
        }
    }

    void keysAreCapturedIntoTheRow()
    {
        Shown shown;
        shown.Page("Advanced/Hotkeys");
        auto* key = shown.Get<QLineEdit>("txtHotKey");
        shown.HotkeyRow(2);
        shown.Click("chkCtrlKey");
        shown.Key(Qt::Key_Return);
        QCOMPARE(key->text(), QString("Return"));
        shown.Key(Qt::Key_Escape);
        shown.Key(Qt::Key_K, Qt::ControlModifier); // modifiers come from their boxes
        QCOMPARE(key->text(), QString("Esc"));
        QVERIFY(shown.dialog.isVisible()); // neither Return nor Esc reached the dialog

        // Another row may not take the same hotkey; an edit survives a visit elsewhere.
        shown.HotkeyRow(4);
        shown.Click("chkCtrlKey");
        shown.Key(Qt::Key_Escape);
        QCOMPARE(shown.warnings.size(), 1);
        QVERIFY(shown.warnings.first().contains("\"Memo\"") && key->text().isEmpty());
        shown.Key(Qt::Key_Delete);
        QVERIFY(!shown.Get("chkCtrlKey")->isChecked());
        shown.HotkeyRow(2);
        QVERIFY(shown.Get("chkCtrlKey")->isChecked());
        QCOMPARE(key->text(), QString("Esc"));

        shown.HotkeyRow(9);
        shown.Key(Qt::Key_F11); // function keys may stand alone
        shown.Click("btnApply");
        QCOMPARE(Stored().hotkeys.OpenMemo, QString("Ctrl+Esc"));
        QCOMPARE(Stored().hotkeys.Snap3Display, QString("F11"));
        QVERIFY(Stored().hotkeys.StartTrackingTime.isEmpty());
    }

    void hotkeysThatCannotBeBoundAreRefused()
    {
        for (const bool modifierOnly : { false, true }) {
            init();
            Shown shown;
            shown.Page("Advanced/Hotkeys");
            shown.HotkeyRow(3);
            modifierOnly ? shown.Click("chkAltKey") : shown.Key(Qt::Key_5);
            shown.Page("General");
            shown.Click("btnOK");
            QVERIFY(shown.dialog.isVisible());
            QCOMPARE(shown.CurrentPage(), 5);
            QCOMPARE(shown.Get<QListWidget>("lstShortcuts")->currentRow(), 3);
            QVERIFY(
                shown.warnings.value(0).contains(modifierOnly ? "has no key" : "needs Cmd or Alt"));
            QVERIFY(Stored().hotkeys.StopTrackingTime.isEmpty());
        }
    }

    void appearanceEditsOnlyTheChosenField()
    {
        const SETTINGS before = Stored();
        Shown shown;
        shown.Page("Advanced/Appearance");
        auto* list = shown.Get<QListWidget>("colorListWidget");
        QCOMPARE(list->count(), 8);
        QVERIFY(list->item(0)->font().bold());

        list->setCurrentRow(5); // "Group cursor border"
        QVERIFY(!shown.Get("btnFont")->isEnabled());
        shown.colour = QColor(200, 10, 20);
        shown.Click("btnTextColor");
        QCOMPARE(list->item(5)->foreground().color(), QColor(200, 10, 20));
        list->setCurrentRow(0); // "Group name", 15 points, bold
        shown.font = QFont("DejaVu Sans", 12);
        shown.Click("btnFont");
        QCOMPARE(list->item(0)->font().pointSize(), 12);
        shown.Click("btnApply");

        const SETTINGS after = Stored();
        QCOMPARE(after.groupFont.name, QString("DejaVu Sans"));
        QCOMPARE(after.groupFont.size, 12);
        QVERIFY(!after.groupFont.bold);
        QCOMPARE(after.groupFont.colour, before.groupFont.colour);
        QCOMPARE(after.groupCursorBorder, QColor(200, 10, 20));
        QCOMPARE(after.groupCursorBackground, before.groupCursorBackground);
    }

    void cancelledChoosersAndWindowSwitchesChangeNothing()
    {
        Shown shown;
        shown.Page("Advanced/Appearance");
        auto* list = shown.Get<QListWidget>("colorListWidget");
        list->setCurrentRow(2);
        const QColor shownColour = list->item(2)->foreground().color();
        shown.Click("btnTextColor");
        shown.Click("btnFont");
        QCOMPARE(shown.asked, QStringList({ "colour", "font" }));
        QCOMPARE(list->item(2)->foreground().color(), shownColour);
        QVERIFY(!shown.ApplyEnabled());

        // Another window: no row is current and the buttons act on nothing.
        shown.Choose("cmbWindowSelect", 1);
        QVERIFY(!shown.Get("btnFont")->isEnabled() && !shown.Get("btnTextColor")->isEnabled());
        QMetaObject::invokeMethod(&shown.dialog, "on_btnTextColor_clicked");
        QMetaObject::invokeMethod(&shown.dialog, "on_btnFont_clicked");
        QCOMPARE(shown.asked.size(), 2);
        // The conversation: the messages font, then colours only; the tree item keeps them.
        list->setCurrentRow(0);
        QVERIFY(shown.Get("btnFont")->isEnabled() && !shown.Get("btnTextColor")->isEnabled());
        list->setCurrentRow(3);
        QVERIFY(!shown.Get("btnFont")->isEnabled() && shown.Get("btnTextColor")->isEnabled());
        shown.Page("Advanced/Appearance");
        QCOMPARE(list->count(), 5);
    }

    void resetsStoreTheirDefaultsAtOnce()
    {
        Store([](SETTINGS& s) {
            s.confirmAtExit = false;
            s.hotkeys.OpenMemo = "Ctrl+M";
            s.historyIncomingMessageColor = QColor(1, 1, 1);
        });
        Shown shown;
        shown.Click("btnResetAllSettings");
        QVERIFY(Stored().confirmAtExit && shown.Get("chkConfirmOnExit")->isChecked());
        QCOMPARE(Stored().hotkeys.OpenMemo, QString("Ctrl+M"));
        shown.Click("btnReset");
        QVERIFY(Stored().hotkeys.OpenMemo.isEmpty());
        shown.Click("btnResetToDefaultColor");
        QCOMPARE(Stored().historyIncomingMessageColor, SETTINGS().historyIncomingMessageColor);
        QVERIFY(shown.ApplyEnabled());
    }

    void theLoggingButtonFollowsTheLog()
    {
        Shown alone; // as in the screen-snap save dialog: nobody would act on the request
        QVERIFY(alone.Get("btnStopStartLogging")->isHidden());

        LogManager log;
        Shown shown;
        shown.dialog.SetLogManager(&log);
        connect(&shown.dialog, &Preferences::StopStartLoggingRequest, &log,
            [&log] { log.SetLogsEnabled(!log.IsLogsEnabled()); });
        auto* button = shown.Get("btnStopStartLogging");
        QCOMPARE(button->text(), QString("Stop logging"));
        shown.Click("btnStopStartLogging");
        QVERIFY(!log.IsLogsEnabled());
        QCOMPARE(button->text(), QString("Start logging"));
        shown.dialog.hide();
        log.SetLogsEnabled(true);
        shown.dialog.show();
        QCOMPARE(button->text(), QString("Stop logging"));
    }
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
