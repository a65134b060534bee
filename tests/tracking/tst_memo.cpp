#include "tracking/Memo.h"
#include "tracking/RemindDialog.h"

#include "AppInfo.h"
#include "SettingsKeys.h"
#include "SettingsProvider.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class TestMemo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(Res); }

    void init()
    {
        SettingsProvider settings;
        settings.SetKeyByName(SettingsKeys::keepPrevMemo, true);
        settings.SetKeyByName(SettingsKeys::keepMemoCount, 3);
        // With the memo reminder off the store keeps no interval.
        settings.SetKeyByName(SettingsKeys::memoReminderType, 0);
        settings.SetKeyByName(SettingsKeys::remindMode, 1);
        settings.SetKeyByName(SettingsKeys::memoEnterAction, true);
    }

    void okEmitsTheMemoAndIntervalAndKeepsItNewestFirst()
    {
        Memo memo;
        QSignalSpy changed(&memo, &Memo::MemoIsChanged);
        QSignalSpy canceled(&memo, &Memo::MemoIsCanceled);
        for (const char* text : { "first", "second", "third", "  fourth  " }) {
            memo.SetCurrentUserAndCompany("demo", "Atlas");
            memo.show();
            editor(memo)->setPlainText(text);
            button(memo, "btnOK")->click();
            QVERIFY(!memo.isVisible());
        }
        QCOMPARE(changed.count(), 4);
        QCOMPARE(canceled.count(), 0);
        QCOMPARE(changed.at(3).at(0).toString(), QString("fourth"));
        QCOMPARE(changed.at(3).at(1).toInt(), 30 * 60 * 1000);

        QList<SettingsProvider::MEMO_ITEM> kept = SettingsProvider().GetMemos("Atlas");
        QCOMPARE(kept.size(), 3);
        QCOMPARE(kept.at(0).memo, QString("fourth"));
        QCOMPARE(kept.at(1).memo, QString("third"));
        QCOMPARE(kept.at(2).memo, QString("second"));
        QVERIFY(SettingsProvider().GetMemos("Borealis").isEmpty());
    }

    void showsTheTeamsEarlierMemos()
    {
        SettingsProvider settings;
        settings.AddMemo({ "older", "Cinder" });
        settings.AddMemo({ "newer", "Cinder" });
        settings.AddMemo({ "elsewhere", "Atlas" });
        Memo memo;
        memo.SetCurrentUserAndCompany("demo", "Cinder");
        auto* previous = memo.findChild<QComboBox*>("cmbPrevMemo");
        QCOMPARE(previous->count(), 2);
        QCOMPARE(previous->itemText(0), QString("newer"));
        QCOMPARE(previous->itemText(1), QString("older"));
        QCOMPARE(editor(memo)->toPlainText(), QString("newer"));

        QTest::keyClick(previous, Qt::Key_Down);
        QCOMPARE(editor(memo)->toPlainText(), QString("older"));

        memo.SetCurrentUserAndCompany("demo", "Nowhere");
        QCOMPARE(previous->count(), 0);
        QCOMPARE(editor(memo)->toPlainText(), QString());
    }

    void intervalFollowsTheStoredIndexWithinTheList_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("interval");
        QTest::newRow("15 minutes") << 0 << 900000;
        QTest::newRow("2 hours") << 3 << 7200000;
        QTest::newRow("no reminder") << 4 << 0;
        QTest::newRow("past the list, read as never stored") << 9 << 900000;
        QTest::newRow("no entry") << -1 << 900000;
    }

    void intervalFollowsTheStoredIndexWithinTheList()
    {
        QFETCH(int, stored);
        QFETCH(int, interval);
        SettingsProvider().SetKeyByName(SettingsKeys::remindMode, stored);
        Memo memo;
        QSignalSpy changed(&memo, &Memo::MemoIsChanged);
        memo.SetCurrentUserAndCompany("demo", "Atlas");
        editor(memo)->setPlainText("memo");
        memo.accept();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(1).toInt(), interval);
    }

    void returnConfirmsOrAddsALineAsChosen()
    {
        Memo memo;
        QSignalSpy changed(&memo, &Memo::MemoIsChanged);
        memo.SetCurrentUserAndCompany("demo", "Atlas");
        memo.show();
        editor(memo)->setPlainText("one");
        editor(memo)->moveCursor(QTextCursor::End);
        QTest::keyClick(editor(memo), Qt::Key_Return);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!memo.isVisible());

        SettingsProvider().SetKeyByName(SettingsKeys::memoEnterAction, false);
        memo.show();
        editor(memo)->setPlainText("two");
        editor(memo)->moveCursor(QTextCursor::End);
        QTest::keyClick(editor(memo), Qt::Key_Return);
        QTest::keyClicks(editor(memo), "lines");
        QCOMPARE(changed.count(), 1);
        QVERIFY(memo.isVisible());
        QCOMPARE(editor(memo)->toPlainText(), QString("two\nlines"));
    }

    void aBlankMemoCannotBeConfirmed()
    {
        Memo memo;
        QSignalSpy changed(&memo, &Memo::MemoIsChanged);
        memo.SetCurrentUserAndCompany("demo", "Atlas");
        memo.show();
        editor(memo)->setPlainText("  \n ");
        QVERIFY(!button(memo, "btnOK")->isEnabled());
        QTest::keyClick(editor(memo), Qt::Key_Return);
        memo.accept();
        QCOMPARE(changed.count(), 0);
        QVERIFY(memo.isVisible());
        QVERIFY(SettingsProvider().GetMemos("Atlas").isEmpty());
        editor(memo)->setPlainText("x");
        QVERIFY(button(memo, "btnOK")->isEnabled());
    }

    void cancelAndEscapeReportTheCancel()
    {
        Memo memo;
        QSignalSpy changed(&memo, &Memo::MemoIsChanged);
        QSignalSpy canceled(&memo, &Memo::MemoIsCanceled);
        memo.SetCurrentUserAndCompany("demo", "Atlas");
        memo.show();
        editor(memo)->setPlainText("not kept");
        button(memo, "btnCancel")->click();
        QVERIFY(!memo.isVisible());
        memo.show();
        QTest::keyClick(&memo, Qt::Key_Escape);
        QVERIFY(!memo.isVisible());
        QCOMPARE(canceled.count(), 2);
        QCOMPARE(changed.count(), 0);
        QVERIFY(SettingsProvider().GetMemos("Atlas").isEmpty());
    }

    void reminderShowsTheMemoAndAsksForTheMemoDialog()
    {
        RemindDialog reminder;
        QSignalSpy change(&reminder, &RemindDialog::OnChangeMemo_Signal);
        reminder.SetCurrentMemoText("<b>fixing</b> the build");
        reminder.show();
        QCOMPARE(reminder.findChild<QLabel*>("lblMemo")->text(),
            QString("Memo: <b>fixing</b> the build"));
        QCOMPARE(reminder.findChild<QLabel*>("lblMemo")->textFormat(), Qt::PlainText);
        button(reminder, "btnChangeMemo")->click();
        QCOMPARE(change.count(), 1);
        QVERIFY(!reminder.isVisible());
        reminder.show();
        button(reminder, "btnOK")->click();
        QVERIFY(!reminder.isVisible());
        QCOMPARE(change.count(), 1);
    }

    void cleanup()
    {
        // Every case starts with an empty store.
        QSettings(AppInfo::organizationName, AppInfo::applicationName).clear();
    }

private:
    static QPlainTextEdit* editor(Memo& memo) { return memo.findChild<QPlainTextEdit*>("txtMemo"); }
    static QPushButton* button(QWidget& dialog, const char* name)
    {
        return dialog.findChild<QPushButton*>(name);
    }
};

QTEST_MAIN(TestMemo)
#include "tst_memo.moc"
