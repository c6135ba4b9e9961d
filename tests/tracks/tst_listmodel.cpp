#include "tracks/listitem.h"
#include "tracks/listmodel.h"
#include "tracks/track.h"
#include "tracks/trackitem.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<ListItem> itemOfWidth(int width)
{
    QList<QVariant> values;
    for (int i = 0; i < width; ++i)
        values.append(u"c%1"_s.arg(i));
    return std::make_unique<ListItem>(values);
}

// The model's constructor argument from a list of items; an initializer list cannot move.
template<typename... Items>
std::vector<std::unique_ptr<ListItem>> itemsOf(Items &&...items)
{
    std::vector<std::unique_ptr<ListItem>> all;
    (all.push_back(std::forward<Items>(items)), ...);
    return all;
}

struct FixedHeader final : ListModel::HeaderDataListener
{
    QVariant headerData(int section, int role) const override
    {
        if (role == 0 && section == 1)
            return u"Title"_s;
        return {};
    }
};

// Counts destructions, so ownership mistakes show as leaks or double deletes.
struct CountedItem final : ListItem
{
    explicit CountedItem(int *counter)
        : ListItem({u"a"_s, u"b"_s})
        , alive(counter)
    {
        ++*alive;
    }
    ~CountedItem() override { --*alive; }
    int *alive;
};

} // namespace

class tst_ListModel : public QObject
{
    Q_OBJECT

private slots:
    void modelTesterSeesNoMisuse();
    void columnsAreNarrowestItem_data();
    void columnsAreNarrowestItem();
    void indexOutsideItemsIsInvalid_data();
    void indexOutsideItemsIsInvalid();
    void indexCarriesItemIdentity();
    void removeRowsLimitsToLastItem_data();
    void removeRowsLimitsToLastItem();
    void removeRowsRecomputesColumns();
    void setDataSignalsOnlyWhenItemAccepts();
    void headerFallsBackWithoutListenerAnswer();
    void itemsDeletedByModel();
    void staleIndexAfterRemovalGivesNothing();
    void nullItemIgnored();
};

void tst_ListModel::modelTesterSeesNoMisuse()
{
    ListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendItem(TrackItem::forTrack(Track{u"t"_s, u"a"_s, 1, 0, 1000}));
    model.appendItem(TrackItem::forTrack(Track{u"u"_s, u"b"_s, 2, 1000, 2000}));
    model.appendItem(itemOfWidth(3));
    QVERIFY(model.setData(model.index(0, 0), 0, Qt::CheckStateRole));
    QVERIFY(model.removeRows(2, 1));
    QCOMPARE(model.columnCount(), 7);
    QVERIFY(model.removeRows(0, 5));
    QCOMPARE(model.rowCount(), 0);
    model.appendItem(itemOfWidth(4));
    model.clear();
    model.clear();
    QCOMPARE(model.columnCount(), 0);
}

void tst_ListModel::columnsAreNarrowestItem_data()
{
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<int>("columns");
    QTest::newRow("empty model reports 0") << QList<int>{} << 0;
    QTest::newRow("one item") << QList<int>{5} << 5;
    QTest::newRow("narrow item last") << QList<int>{7, 7, 3} << 3;
    QTest::newRow("narrow item first") << QList<int>{2, 7} << 2;
}

void tst_ListModel::columnsAreNarrowestItem()
{
    QFETCH(QList<int>, widths);
    QFETCH(int, columns);
    std::vector<std::unique_ptr<ListItem>> items;
    for (int width : widths)
        items.push_back(itemOfWidth(width));
    ListModel built(std::move(items));
    QCOMPARE(built.columnCount(), columns);

    ListModel appended;
    for (int width : widths)
        appended.appendItem(itemOfWidth(width));
    QCOMPARE(appended.columnCount(), columns);
    QCOMPARE(appended.rowCount(), widths.size());
}

void tst_ListModel::indexOutsideItemsIsInvalid_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("row past the end") << 2 << 0;
    QTest::newRow("negative row") << -1 << 0;
    QTest::newRow("column past the narrowest item") << 0 << 3;
    QTest::newRow("negative column") << 0 << -1;
}

void tst_ListModel::indexOutsideItemsIsInvalid()
{
    QFETCH(int, row);
    QFETCH(int, column);
    ListModel model(itemsOf(itemOfWidth(3), itemOfWidth(4)));
    const QModelIndex index = model.index(row, column);
    QVERIFY(!index.isValid());
    QVERIFY(!model.data(index).isValid());
    QCOMPARE(model.flags(index), Qt::NoItemFlags);
    QVERIFY(!model.setData(index, u"x"_s, 0));
}

void tst_ListModel::indexCarriesItemIdentity()
{
    auto owned = itemOfWidth(2);
    ListItem *second = owned.get();
    ListModel model(itemsOf(itemOfWidth(2), std::move(owned)));
    const QModelIndex index = model.index(1, 1);
    QVERIFY(index.isValid());
    QCOMPARE(index.internalPointer(), static_cast<void *>(second));
    QVERIFY(!model.parent(index).isValid());
    QCOMPARE(model.rowCount(index), 0);
    QCOMPARE(model.data(index).toString(), u"c1"_s);
}

void tst_ListModel::removeRowsLimitsToLastItem_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<int>("rowsLeft");
    QTest::newRow("one in the middle") << 1 << 1 << true << 3;
    QTest::newRow("count past the end is cut") << 2 << 10 << true << 2;
    QTest::newRow("all") << 0 << 4 << true << 0;
    QTest::newRow("row past the end") << 4 << 1 << false << 4;
    QTest::newRow("negative row") << -1 << 1 << false << 4;
    QTest::newRow("zero count") << 1 << 0 << false << 4;
}

void tst_ListModel::removeRowsLimitsToLastItem()
{
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(bool, removed);
    QFETCH(int, rowsLeft);
    ListModel model(itemsOf(itemOfWidth(2), itemOfWidth(2), itemOfWidth(2), itemOfWidth(2)));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy removedSpy(&model, &QAbstractItemModel::rowsRemoved);
    QCOMPARE(model.removeRows(row, count), removed);
    QCOMPARE(model.rowCount(), rowsLeft);
    QCOMPARE(removedSpy.size(), removed ? 1 : 0);
}

void tst_ListModel::removeRowsRecomputesColumns()
{
    ListModel model(itemsOf(itemOfWidth(5), itemOfWidth(2), itemOfWidth(6)));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.columnCount(), 2);
    QVERIFY(model.removeRows(1, 1));
    QCOMPARE(model.columnCount(), 5);
    QVERIFY(model.removeRows(0, 2));
    QCOMPARE(model.columnCount(), 0);
}

void tst_ListModel::setDataSignalsOnlyWhenItemAccepts()
{
    ListModel model(itemsOf(TrackItem::forTrack(Track{u"t"_s, u"a"_s, 1, 0, 1000})));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QModelIndex check = model.index(0, 0);
    QVERIFY(model.setData(check, 0, 10));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), check);
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), check);
    QCOMPARE(model.data(check, 10).toInt(), 0);
    QVERIFY(!model.setData(check, u"x"_s, 2)); // no editing in place
    QCOMPARE(changed.size(), 1);
}

void tst_ListModel::headerFallsBackWithoutListenerAnswer()
{
    ListModel model(itemsOf(itemOfWidth(3)));
    // Without a listener, the base answer: section numbers from 1.
    QCOMPARE(model.headerData(1, Qt::Horizontal, 0).toInt(), 2);
    FixedHeader header;
    model.setHeaderListener(&header);
    QCOMPARE(model.headerData(1, Qt::Horizontal, 0).toString(), u"Title"_s);
    QCOMPARE(model.headerData(1, Qt::Vertical, 0).toString(), u"Title"_s);
    QCOMPARE(model.headerData(2, Qt::Horizontal, 0).toInt(), 3);
    QVERIFY(!model.headerData(1, Qt::Horizontal, 3).isValid());
    model.setHeaderListener(nullptr);
    QCOMPARE(model.headerData(1, Qt::Horizontal, 0).toInt(), 2);
}

void tst_ListModel::itemsDeletedByModel()
{
    int alive = 0;
    {
        ListModel model(
            itemsOf(std::make_unique<CountedItem>(&alive), std::make_unique<CountedItem>(&alive)));
        model.appendItem(std::make_unique<CountedItem>(&alive));
        model.appendItem(std::make_unique<CountedItem>(&alive));
        QCOMPARE(alive, 4);
        model.removeRows(0, 1);
        QCOMPARE(alive, 3);
        model.clear();
        QCOMPARE(alive, 0);
        model.appendItem(std::make_unique<CountedItem>(&alive));
    }
    QCOMPARE(alive, 0);
}

void tst_ListModel::staleIndexAfterRemovalGivesNothing()
{
    ListModel model(itemsOf(itemOfWidth(2), itemOfWidth(2)));
    const QModelIndex last = model.index(1, 0);
    model.removeRows(1, 1);
    QVERIFY(!model.data(last).isValid());
    QCOMPARE(model.flags(last), Qt::NoItemFlags);
    QVERIFY(!model.setData(last, u"x"_s, 0));
}

void tst_ListModel::nullItemIgnored()
{
    ListModel model(itemsOf(std::unique_ptr<ListItem>(), itemOfWidth(2)));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.appendItem(nullptr);
    QCOMPARE(inserted.size(), 0);
    QCOMPARE(model.rowCount(), 1);
}

QTEST_GUILESS_MAIN(tst_ListModel)
#include "tst_listmodel.moc"
