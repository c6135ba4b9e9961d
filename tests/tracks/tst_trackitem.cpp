#include "tracks/track.h"
#include "tracks/trackitem.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// Role and flag numbers are written out: the table's contract is in numbers, not enum names.
class tst_TrackItem : public QObject
{
    Q_OBJECT

private slots:
    void tableRowHoldsTrackTextsInColumnOrder_data();
    void tableRowHoldsTrackTextsInColumnOrder();
    void tableRowIsCheckedUntilUnticked();
    void rolesAnsweredPerColumn_data();
    void rolesAnsweredPerColumn();
    void setDataAcceptsOnlyItsRole_data();
    void setDataAcceptsOnlyItsRole();
    void onlyCheckColumnIsUserCheckable_data();
    void onlyCheckColumnIsUserCheckable();
    void trailingEmptyValueOnlyAfterFifth();
    void plainItemShowsOnlyDisplayRoleInRange_data();
    void plainItemShowsOnlyDisplayRoleInRange();
    void plainItemRefusesOtherRolesAndColumns();
};

namespace {
std::unique_ptr<TrackItem> tableRow(int fileLength = 0)
{
    return TrackItem::forTrack(Track{u"Intro"_s, u"The Band"_s, 1, 62250, 1925040}, fileLength);
}
} // namespace

void tst_TrackItem::tableRowHoldsTrackTextsInColumnOrder_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fileLength");
    QTest::newRow("number beside the check box") << 0 << u"1"_s << 0;
    QTest::newRow("artist") << 1 << u"The Band"_s << 0;
    QTest::newRow("title") << 2 << u"Intro"_s << 0;
    QTest::newRow("start") << 3 << u"01:02.25"_s << 0;
    QTest::newRow("end") << 4 << u"32:05.04"_s << 0;
    QTest::newRow("length") << 5 << u"31:02.79"_s << 0;
    QTest::newRow("start in a 3-hour file") << 3 << u"0:01:02.25"_s << 3 * 3600000;
    QTest::newRow("end in a 3-hour file") << 4 << u"0:32:05.04"_s << 3 * 3600000;
    QTest::newRow("length in an hour-long file") << 5 << u"0:31:02.79"_s << 3600000;
    QTest::newRow("view button column is empty") << 6 << QString() << 0;
}

void tst_TrackItem::tableRowHoldsTrackTextsInColumnOrder()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(int, fileLength);
    const auto item = tableRow(fileLength);
    QCOMPARE(item->columnCount(), 7);
    QCOMPARE(item->data(column, 0).toString(), text);
    QCOMPARE(item->data(column, 3).toString(), text);
}

void tst_TrackItem::tableRowIsCheckedUntilUnticked()
{
    const auto item = tableRow();
    QCOMPARE(item->data(0, 10).toInt(), 2);
    QVERIFY(item->setData(0, 0, 10));
    QCOMPARE(item->data(0, 10).toInt(), 0);
    QVERIFY(item->setData(0, 1, 10));
    QCOMPARE(item->data(0, 10).toInt(), 2);
}

void tst_TrackItem::rolesAnsweredPerColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("check column, check state") << 0 << 10 << QVariant(2);
    QTest::newRow("check column, display: the number") << 0 << 0 << QVariant(1);
    QTest::newRow("check column, alignment") << 0 << 7 << QVariant();
    QTest::newRow("artist aligned left") << 1 << 7 << QVariant(1);
    QTest::newRow("title aligned left") << 2 << 7 << QVariant(1);
    QTest::newRow("start aligned right") << 3 << 7 << QVariant(2);
    QTest::newRow("length aligned right") << 5 << 7 << QVariant(2);
    QTest::newRow("empty last column aligned right") << 6 << 7 << QVariant(2);
    QTest::newRow("title has no check state") << 2 << 10 << QVariant();
    QTest::newRow("title has no decoration") << 2 << 1 << QVariant();
    QTest::newRow("column past the end") << 7 << 0 << QVariant();
    QTest::newRow("negative column") << -1 << 0 << QVariant();
}

void tst_TrackItem::rolesAnsweredPerColumn()
{
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    const auto item = tableRow();
    const QVariant actual = item->data(column, role);
    QCOMPARE(actual.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(actual.toInt(), expected.toInt());
}

void tst_TrackItem::setDataAcceptsOnlyItsRole_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("check column, check state") << 0 << 10 << true;
    QTest::newRow("check column, display: the number") << 0 << 0 << true;
    QTest::newRow("check column, edit") << 0 << 2 << false;
    QTest::newRow("title, display") << 2 << 0 << true;
    QTest::newRow("title, check state") << 2 << 10 << false;
    QTest::newRow("title, tool tip") << 2 << 3 << false;
    QTest::newRow("column past the end") << 9 << 0 << false;
}

void tst_TrackItem::setDataAcceptsOnlyItsRole()
{
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(bool, accepted);
    const auto item = tableRow();
    const QVariant before = item->data(column, role == 10 ? 10 : 0);
    QCOMPARE(item->setData(column, u"changed"_s, role), accepted);
    if (!accepted)
        QCOMPARE(item->data(column, role == 10 ? 10 : 0), before);
    else if (role == 0)
        QCOMPARE(item->data(column, 0).toString(), u"changed"_s);
}

void tst_TrackItem::onlyCheckColumnIsUserCheckable_data()
{
    QTest::addColumn<int>("checkColumn");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("flags");
    QTest::newRow("table check column") << 0 << 0 << 49;
    QTest::newRow("table title") << 0 << 2 << 33;
    QTest::newRow("moved check column") << 3 << 3 << 49;
    QTest::newRow("column 0 when not the check column") << 3 << 0 << 33;
}

void tst_TrackItem::onlyCheckColumnIsUserCheckable()
{
    QFETCH(int, checkColumn);
    QFETCH(int, column);
    QFETCH(int, flags);
    TrackItem item(checkColumn, false, {u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    QCOMPARE(static_cast<int>(item.flags(column)), flags);
}

void tst_TrackItem::trailingEmptyValueOnlyAfterFifth()
{
    TrackItem item(0, false);
    QCOMPARE(item.columnCount(), 1);
    const QList<int> counts{2, 3, 4, 5, 7, 8};
    for (int expected : counts) {
        item.append(u"v"_s);
        QCOMPARE(item.columnCount(), expected);
    }
    QCOMPARE(item.data(6, 0).toString(), QString());
    QCOMPARE(item.data(7, 0).toString(), u"v"_s);
}

void tst_TrackItem::plainItemShowsOnlyDisplayRoleInRange_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("expected");
    QTest::newRow("display") << 1 << 0 << u"second"_s;
    QTest::newRow("tool tip not shown") << 1 << 3 << QString();
    QTest::newRow("past the end") << 2 << 0 << QString();
    QTest::newRow("negative column") << -1 << 0 << QString();
}

void tst_TrackItem::plainItemShowsOnlyDisplayRoleInRange()
{
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QString, expected);
    ListItem item({u"first"_s, u"second"_s});
    const QVariant value = item.data(column, role);
    QCOMPARE(value.isValid(), !expected.isEmpty());
    QCOMPARE(value.toString(), expected);
}

void tst_TrackItem::plainItemRefusesOtherRolesAndColumns()
{
    ListItem item({u"first"_s, u"second"_s});
    QCOMPARE(static_cast<int>(item.flags(0)), 33);
    QVERIFY(!item.setData(0, u"x"_s, 2));
    QVERIFY(!item.setData(2, u"x"_s, 0));
    QVERIFY(item.setData(1, u"x"_s, 0));
    QCOMPARE(item.data(1, 0).toString(), u"x"_s);
    QCOMPARE(item.identity(), &item);
    item.append(u"third"_s);
    QCOMPARE(item.columnCount(), 3);
}

QTEST_GUILESS_MAIN(tst_TrackItem)
#include "tst_trackitem.moc"
