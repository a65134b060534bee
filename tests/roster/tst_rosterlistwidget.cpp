#include "ListWidgetManager.h"
#include "RosterListWidget.h"

#include <QStyledItemDelegate>
#include <QtTest>

namespace {

constexpr int kRows = 60;

// Counts the size lookups of a layout and the rows painted; sizes come from the size hint role,
// else 40 pixels.
class CountingDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        ++sizeLookups;
        const QVariant hint = index.data(Qt::SizeHintRole);
        return hint.isValid() ? hint.toSize() : QSize(100, 40);
    }

    void paint(QPainter*, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        painted.insert(index.row());
    }

    mutable int sizeLookups = 0;
    mutable QSet<int> painted;
};

} // namespace

class TestRosterListWidget : public QObject
{
    Q_OBJECT
private slots:
    // A change that leaves a row's height alone repaints that row and lays nothing out; one
    // that may change a height lays the rows out again, so the rows below move.
    void changesLayOutOnlyWhatMayMove_data()
    {
        QTest::addColumn<bool>("hasHeight");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("laidOut");
        QTest::newRow("memo") << true << int(ListWidgetManager::ROLE_MEMO)
                              << QVariant(QString("Release")) << false;
        QTest::newRow("status") << true << int(ListWidgetManager::ROLE_STATUS)
                                << QVariant(int(RosterManager::STATUS_DND)) << false;
        QTest::newRow("name") << true << int(Qt::DisplayRole) << QVariant(QString("Renamed"))
                              << false;
        QTest::newRow("height") << true << int(Qt::SizeHintRole) << QVariant(QSize(100, 130))
                                << true;
        QTest::newRow("status of a row without a height")
            << false << int(ListWidgetManager::ROLE_STATUS)
            << QVariant(int(RosterManager::STATUS_DND)) << true;
    }

    void changesLayOutOnlyWhatMayMove()
    {
        QFETCH(bool, hasHeight);
        QFETCH(int, role);
        QFETCH(QVariant, value);
        QFETCH(bool, laidOut);
        RosterListWidget list;
        auto* delegate = new CountingDelegate(&list);
        list.setItemDelegate(delegate);
        list.resize(200, 400);
        for (int row = 0; row < kRows; ++row) {
            auto* item = new QListWidgetItem(QStringLiteral("Member %1").arg(row));
            item->setData(ListWidgetManager::ROLE_MEMO, QString());
            item->setData(ListWidgetManager::ROLE_STATUS, int(RosterManager::STATUS_ONLINE));
            if (hasHeight)
                item->setData(Qt::SizeHintRole, QSize(100, 50));
            list.addItem(item);
        }
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const int changed = 2;
        const QRect below = list.visualItemRect(list.item(changed + 1));
        QTRY_VERIFY(!delegate->painted.isEmpty());
        delegate->sizeLookups = 0;
        delegate->painted.clear();

        list.item(changed)->setData(role, value);

        QTRY_VERIFY(delegate->painted.contains(changed));
        QCOMPARE(delegate->sizeLookups >= kRows, laidOut);
        const QSize height = list.item(changed)->sizeHint();
        QCOMPARE(list.visualItemRect(list.item(changed)).height(),
            height.isValid() ? height.height() : 40);
        const int moved = list.visualItemRect(list.item(changed + 1)).top() - below.top();
        QCOMPARE(moved, role == Qt::SizeHintRole ? 80 : 0);
    }
};

QTEST_MAIN(TestRosterListWidget)
#include "tst_rosterlistwidget.moc"
