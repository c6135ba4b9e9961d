#include "guiwarnings.h"
#include "tracks/listmodel.h"
#include "tracks/listview.h"
#include "tracks/timetext.h"
#include "tracks/track.h"
#include "tracks/trackheader.h"
#include "tracks/trackitem.h"

#include <QApplication>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class tst_TrackHeader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void clickOnCheckBoxCyclesUncheckedAndChecked_data();
    void clickOnCheckBoxCyclesUncheckedAndChecked();
    void clicksBesideTheirTargetChangeNothing_data();
    void clicksBesideTheirTargetChangeNothing();
    void settingPartialStateEmitsNothing();
    void clickOnViewButtonTogglesRaised();
    void constructedClickableWithBoxUncheckedAndButtonUp();
    void titlesAndAlignmentsPerSection_data();
    void titlesAndAlignmentsPerSection();
    void fixedSectionWidthRestoredOnNextPaint_data();
    void fixedSectionWidthRestoredOnNextPaint();
    void timeColumnsHoldTheFilesLongestTime_data();
    void timeColumnsHoldTheFilesLongestTime();

private:
    QPoint centreOf(int section) const;

    std::unique_ptr<ListView> view;
    TrackHeader *header = nullptr;
    ListModel *model = nullptr;
};

void tst_TrackHeader::init()
{
    // Any warning fails, except the offscreen platform's notes about popups it cannot raise.
    failOnWarningsButPlatformNotes();
    view = std::make_unique<ListView>();
    header = new TrackHeader(view.get());
    view->setHeader(header);
    model = new ListModel({}, view.get());
    model->setHeaderListener(header);
    for (int i = 0; i < 3; ++i)
        model->appendItem(
            TrackItem::forTrack(Track{u"T"_s, u"A"_s, i + 1, i * 1000, i * 1000 + 1000}));
    view->setModel(model);
    view->resize(600, 200);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
}

void tst_TrackHeader::cleanup()
{
    view.reset();
    header = nullptr;
    model = nullptr;
}

QPoint tst_TrackHeader::centreOf(int section) const
{
    return QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                  header->height() / 2);
}

void tst_TrackHeader::clickOnCheckBoxCyclesUncheckedAndChecked_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("emitted");
    QTest::newRow("unchecked becomes checked") << 0 << 2 << true;
    QTest::newRow("checked becomes unchecked") << 2 << 0 << false;
    QTest::newRow("partial becomes checked") << 1 << 2 << true;
}

void tst_TrackHeader::clickOnCheckBoxCyclesUncheckedAndChecked()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(bool, emitted);
    header->setCheckState(before);
    QSignalSpy clicked(header, &TrackHeader::checkBoxClicked);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centreOf(0));
    QCOMPARE(header->checkBoxState(), after);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.at(0).at(0).toBool(), emitted);
}

void tst_TrackHeader::clicksBesideTheirTargetChangeNothing_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("right click on the check box") << 0 << Qt::RightButton;
    QTest::newRow("title") << 2 << Qt::LeftButton;
    QTest::newRow("length") << 5 << Qt::LeftButton;
}

void tst_TrackHeader::clicksBesideTheirTargetChangeNothing()
{
    QFETCH(int, section);
    QFETCH(Qt::MouseButton, button);
    QSignalSpy clicked(header, &TrackHeader::checkBoxClicked);
    QSignalSpy toggled(header, &TrackHeader::buttonViewClicked);
    QTest::mouseClick(header->viewport(), button, {}, centreOf(section));
    QCOMPARE(header->checkBoxState(), 0);
    QVERIFY(header->isViewButtonRaised());
    QCOMPARE(clicked.size(), 0);
    QCOMPARE(toggled.size(), 0);
}

void tst_TrackHeader::settingPartialStateEmitsNothing()
{
    header->setCheckState(2);
    QSignalSpy clicked(header, &TrackHeader::checkBoxClicked);
    header->setCheckState(1);
    QCOMPARE(header->checkBoxState(), 1);
    header->onCheckBox(Qt::PartiallyChecked);
    header->setCheckState(1);
    QCOMPARE(clicked.size(), 0);
    header->onCheckBox(Qt::Unchecked);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.at(0).at(0).toBool(), false);
}

void tst_TrackHeader::clickOnViewButtonTogglesRaised()
{
    QSignalSpy toggled(header, &TrackHeader::buttonViewClicked);
    QVERIFY(header->isViewButtonRaised());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centreOf(6));
    QVERIFY(!header->isViewButtonRaised());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centreOf(6));
    QVERIFY(header->isViewButtonRaised());
    QCOMPARE(toggled.size(), 2);
    QCOMPARE(toggled.at(0).at(0).toBool(), false);
    QCOMPARE(toggled.at(1).at(0).toBool(), true);
    header->setViewButtonRaised(true);
    QCOMPARE(toggled.size(), 2);
}

void tst_TrackHeader::constructedClickableWithBoxUncheckedAndButtonUp()
{
    // A tree view resets clickability to its sorting state when given the header.
    const TrackHeader fresh;
    QVERIFY(fresh.sectionsClickable());
    QCOMPARE(fresh.orientation(), Qt::Horizontal);
    QCOMPARE(fresh.checkBoxState(), 0);
    QVERIFY(fresh.isViewButtonRaised());
}

void tst_TrackHeader::titlesAndAlignmentsPerSection_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("alignment");
    QTest::newRow("check box") << 0 << QString() << 2;
    QTest::newRow("artist") << 1 << u"Artist"_s << 1;
    QTest::newRow("title") << 2 << u"Title"_s << 1;
    QTest::newRow("start") << 3 << u"Start"_s << 2;
    QTest::newRow("end") << 4 << u"End"_s << 2;
    QTest::newRow("length") << 5 << u"Length"_s << 2;
    QTest::newRow("view button") << 6 << QString() << 2;
}

void tst_TrackHeader::titlesAndAlignmentsPerSection()
{
    QFETCH(int, section);
    QFETCH(QString, title);
    QFETCH(int, alignment);
    const QVariant shown = model->headerData(section, Qt::Horizontal, 0);
    QCOMPARE(shown.typeId(), QMetaType::QString);
    QCOMPARE(shown.toString(), title);
    QCOMPARE(model->headerData(section, Qt::Horizontal, 7).toInt(), alignment);
    QVERIFY(!header->headerData(section, 3).isValid());
}

void tst_TrackHeader::fixedSectionWidthRestoredOnNextPaint_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<int>("width");
    QTest::newRow("check box and number") << 0 << 44;
    QTest::newRow("start") << 3 << 65;
    QTest::newRow("end") << 4 << 65;
    QTest::newRow("length") << 5 << 65;
    QTest::newRow("view button") << 6 << 20;
}

void tst_TrackHeader::fixedSectionWidthRestoredOnNextPaint()
{
    QFETCH(int, section);
    QFETCH(int, width);
    header->viewport()->repaint();
    QCOMPARE(header->sectionSize(section), width);
    QCOMPARE(header->sectionResizeMode(section), QHeaderView::Fixed);

    // As a restored header state or a user's drag would leave it.
    header->setSectionResizeMode(section, QHeaderView::Interactive);
    header->resizeSection(section, 120);
    QCOMPARE(header->sectionSize(section), 120);
    header->viewport()->repaint();
    QCOMPARE(header->sectionSize(section), width);
    QCOMPARE(header->sectionResizeMode(section), QHeaderView::Fixed);
    QCOMPARE(header->sectionResizeMode(1), QHeaderView::Stretch);
}

void tst_TrackHeader::timeColumnsHoldTheFilesLongestTime_data()
{
    QTest::addColumn<int>("fileLength");
    QTest::newRow("ten minutes") << 600000;
    QTest::newRow("one hour") << 3600000;
    QTest::newRow("three hours") << 3 * 3600000 + 1;
    QTest::newRow("hundred hours") << 100 * 3600000;
}

void tst_TrackHeader::timeColumnsHoldTheFilesLongestTime()
{
    QFETCH(int, fileLength);
    header->setFileLength(fileLength);
    header->viewport()->repaint();
    const int text =
        header->fontMetrics().horizontalAdvance(TimeText::format(fileLength, fileLength));
    for (const int section : {3, 4, 5}) {
        QCOMPARE(header->sectionSize(section), header->timeColumnWidth());
        QVERIFY2(header->sectionSize(section) > text + 8, qPrintable(QString::number(text)));
    }
}

QTEST_MAIN(tst_TrackHeader)
#include "tst_trackheader.moc"
