#include "GlobalShortcut.h"
#include "HotkeyRule.h"

#include <QKeySequence>
#include <QtTest>

Q_DECLARE_METATYPE(HotkeyRule::PROBLEM)

// The rule both the preferences dialog and the preferences store apply to hotkey texts, without
// a window or a display.
class TestHotkeyRule : public QObject
{
    Q_OBJECT
private slots:
    void textsAreChecked_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<HotkeyRule::PROBLEM>("problem");
        QTest::addColumn<QString>("written"); // the text the dialog writes for it
        const auto row = [](const char* text, HotkeyRule::PROBLEM problem, const char* written) {
            QTest::newRow(text) << QString(text) << problem << QString(written);
        };
        row("Ctrl+Alt+Shift+K", HotkeyRule::HOTKEY_OK, "Ctrl+Alt+Shift+K");
        row("Shift+Alt+Ctrl+K", HotkeyRule::HOTKEY_OK, "Ctrl+Alt+Shift+K");
        row("Cmd+K", HotkeyRule::HOTKEY_OK, "Ctrl+K");
        row("Alt+m", HotkeyRule::HOTKEY_OK, "Alt+m");
        row("Ctrl++", HotkeyRule::HOTKEY_OK, "Ctrl++");
        row("Ctrl+,", HotkeyRule::HOTKEY_OK, "Ctrl+,");
        row("Alt+Return", HotkeyRule::HOTKEY_OK, "Alt+Return");
        row("Ctrl+Space", HotkeyRule::HOTKEY_OK, "Ctrl+Space");
        row("F1", HotkeyRule::HOTKEY_OK, "F1");
        row("F35", HotkeyRule::HOTKEY_OK, "F35");
        row("Shift+F5", HotkeyRule::HOTKEY_OK, "Shift+F5");
        // What typing, selecting and moving between fields use in every program.
        row("5", HotkeyRule::HOTKEY_NO_MODIFIER, "5");
        row("a", HotkeyRule::HOTKEY_NO_MODIFIER, "a");
        row("Return", HotkeyRule::HOTKEY_NO_MODIFIER, "Return");
        row("Escape", HotkeyRule::HOTKEY_NO_MODIFIER, "Escape");
        row("Tab", HotkeyRule::HOTKEY_NO_MODIFIER, "Tab");
        row("space", HotkeyRule::HOTKEY_NO_MODIFIER, "space");
        row("Print", HotkeyRule::HOTKEY_NO_MODIFIER, "Print");
        row("Shift+1", HotkeyRule::HOTKEY_NO_MODIFIER, "Shift+1");
        row("Shift+Left", HotkeyRule::HOTKEY_NO_MODIFIER, "Shift+Left");
        // No key, or none the hotkey layer binds.
        row("", HotkeyRule::HOTKEY_NO_KEY, "");
        row("Ctrl+Alt+", HotkeyRule::HOTKEY_NO_KEY, "Ctrl+Alt+");
        row("Ctrl+F36", HotkeyRule::HOTKEY_NOT_A_KEY, "Ctrl+F36");
        row("Ctrl+NoSuchKey", HotkeyRule::HOTKEY_NOT_A_KEY, "Ctrl+NoSuchKey");
        row("Ctrl+K, Ctrl+L", HotkeyRule::HOTKEY_NOT_A_KEY, "Ctrl+K, Ctrl+L");
        row("ctrl+k", HotkeyRule::HOTKEY_NOT_A_KEY, "ctrl+k");
        row("Ctrl+Backtab", HotkeyRule::HOTKEY_NOT_A_KEY, "Ctrl+Backtab");
        row("Ctrl+Meta+K", HotkeyRule::HOTKEY_NOT_A_KEY, "Ctrl+Meta+K");
        QTest::newRow("Ctrl+ and 100,000 characters")
            << "Ctrl+" + QString(100000, 'a') << HotkeyRule::HOTKEY_NOT_A_KEY
            << "Ctrl+" + QString(100000, 'a');
    }

    void textsAreChecked()
    {
        QFETCH(QString, text);
        QFETCH(HotkeyRule::PROBLEM, problem);
        QFETCH(QString, written);
        QCOMPARE(HotkeyRule::Check(text), problem);
        QCOMPARE(HotkeyRule::Text(HotkeyRule::Parse(text)), written);
    }

    void theFirstOfEqualHotkeysKeepsIt_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("problems");
        const int ok = HotkeyRule::HOTKEY_OK;
        const int taken = HotkeyRule::HOTKEY_TAKEN;
        const int bare = HotkeyRule::HOTKEY_NO_MODIFIER;
        QTest::newRow("all different")
            << QStringList { "Ctrl+1", "Ctrl+2", "", "F5" } << QList<int> { ok, ok, ok, ok };
        QTest::newRow("the later one goes")
            << QStringList { "Ctrl+1", "Ctrl+2", "Ctrl+1" } << QList<int> { ok, ok, taken };
        QTest::newRow("spelt otherwise") << QStringList { "Alt+Cmd+K", "Ctrl+Alt+K", "Cmd+Alt+K" }
                                         << QList<int> { ok, taken, taken };
        QTest::newRow("empty texts are no hotkeys")
            << QStringList { "", "", "" } << QList<int> { ok, ok, ok };
        QTest::newRow("a refused one keeps nothing")
            << QStringList { "a", "a", "Ctrl+a" } << QList<int> { bare, bare, ok };
    }

    void theFirstOfEqualHotkeysKeepsIt()
    {
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, problems);
        QList<int> found;
        for (const HotkeyRule::PROBLEM problem : HotkeyRule::CheckAll(texts))
            found.append(problem);
        QCOMPARE(found, problems);
    }

    // The dialog takes only keys the rule calls keys; the hotkey layer must bind each of them.
    void keysAreThoseTheHotkeyLayerBinds()
    {
        QList<int> keys;
        for (int key = Qt::Key_Space; key <= Qt::Key_ydiaeresis; ++key)
            keys.append(key);
        for (int key = Qt::Key_Escape; key <= Qt::Key_Direction_R; ++key)
            keys.append(key);
        int named = 0;
        for (const int key : qAsConst(keys)) {
            const QString name = QKeySequence(key).toString(QKeySequence::PortableText);
            if (name.isEmpty())
                continue;
            QVERIFY2(HotkeyRule::IsKeyName(name) == GlobalShortcut::IsHotkeyText(name),
                qPrintable(name));
            named += HotkeyRule::IsKeyName(name) ? 1 : 0;
        }
        QVERIFY(named > 200);
    }
};

QTEST_GUILESS_MAIN(TestHotkeyRule)
#include "tst_hotkeyrule.moc"
