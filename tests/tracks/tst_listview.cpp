#include "guiwarnings.h"
#include "tracks/listitem.h"
#include "tracks/listmodel.h"
#include "tracks/listview.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QStyleFactory>
#include <QTest>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

class tst_ListView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void focusedItemPaintsLikeUnfocused();
    void viewIsFlatWithFocusFreeDelegate();

private:
    static QImage paintItem(const QAbstractItemDelegate &delegate, const QModelIndex &index,
                            bool focused);
};

void tst_ListView::init()
{
    // Any warning fails, except the offscreen platform's notes about popups it cannot raise.
    failOnWarningsButPlatformNotes();
}

QImage tst_ListView::paintItem(const QAbstractItemDelegate &delegate, const QModelIndex &index,
                               bool focused)
{
    QImage image(120, 24, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.state = QStyle::State_Enabled | QStyle::State_Active;
    if (focused)
        option.state |= QStyle::State_HasFocus;
    QPainter painter(&image);
    delegate.paint(&painter, option, index);
    return image;
}

void tst_ListView::focusedItemPaintsLikeUnfocused()
{
    std::vector<std::unique_ptr<ListItem>> items;
    items.push_back(std::make_unique<ListItem>(QList<QVariant>{u"Track one"_s}));
    ListModel model(std::move(items));
    const QModelIndex index = model.index(0, 0);

    // The plain delegate draws a focus frame here; otherwise this test could not fail.
    const QStyledItemDelegate plain;
    QVERIFY(paintItem(plain, index, true) != paintItem(plain, index, false));

    const ListView::ItemWithoutFocusDelegate withoutFocus;
    QCOMPARE(paintItem(withoutFocus, index, true), paintItem(withoutFocus, index, false));
    QCOMPARE(paintItem(withoutFocus, index, false), paintItem(plain, index, false));
}

void tst_ListView::viewIsFlatWithFocusFreeDelegate()
{
    ListView view;
    QVERIFY(!view.rootIsDecorated());
    QVERIFY(dynamic_cast<ListView::ItemWithoutFocusDelegate *>(view.itemDelegate()));
}

int main(int argc, char *argv[])
{
    // Fusion draws a visible focus frame whatever the platform.
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
    QApplication app(argc, argv);
    tst_ListView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_listview.moc"
