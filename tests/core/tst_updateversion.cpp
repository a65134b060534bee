#include "UpdateVersion.h"

#include <QtTest>

using Verdict = UpdateVersion::Verdict;
Q_DECLARE_METATYPE(Verdict)

class tst_UpdateVersion : public QObject
{
    Q_OBJECT

private slots:
    void offersOnlyANewerDottedVersion_data()
    {
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("running");
        QTest::addColumn<Verdict>("verdict");
        auto row = [](const char* name, const char* offered, const char* running, Verdict v) {
            QTest::newRow(name) << QString(offered) << QString(running) << v;
        };
        row("equal", "1.2.3", "1.2.3", Verdict::NotNewer);
        row("offered longer, equal", "1.2.0", "1.2", Verdict::NotNewer);
        row("running longer, equal", "1.2", "1.2.0", Verdict::NotNewer);
        row("offered longer, newer", "1.2.0.1", "1.2", Verdict::Newer);
        row("newer first part", "2.0", "1.9.9", Verdict::Newer);
        row("newer second part", "1.3", "1.2.9", Verdict::Newer);
        row("newer third part", "1.2.4", "1.2.3", Verdict::Newer);
        row("older first part", "0.9.9", "1.0", Verdict::NotNewer);
        row("older second part", "1.1.99", "1.2.0", Verdict::NotNewer);
        row("older third part", "1.2.2", "1.2.3", Verdict::NotNewer);
        row("no dot, higher number", "2", "1.0", Verdict::NotAVersion);
        row("empty", "", "1.0", Verdict::NotAVersion);
        row("non-numeric part is 0, the rest newer", "1.x", "0.9", Verdict::Newer);
        row("non-numeric part is 0, not 1", "1.x", "1.1", Verdict::NotNewer);
        row("a number with a suffix is no number", "1.3-beta", "1.2", Verdict::NotNewer);
        row("non-numeric running part is 0", "1.1", "1.x", Verdict::Newer);
        row("multi-digit part newer", "1.10", "1.9", Verdict::Newer);
        row("multi-digit part not older", "1.9", "1.10", Verdict::NotNewer);
    }
    void offersOnlyANewerDottedVersion()
    {
        QFETCH(QString, offered);
        QFETCH(QString, running);
        QFETCH(Verdict, verdict);
        QCOMPARE(int(UpdateVersion::Compare(offered, running)), int(verdict));
    }
};

QTEST_GUILESS_MAIN(tst_UpdateVersion)
#include "tst_updateversion.moc"
