#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "cue/cuedialog.h"
#include "guiwarnings.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList sheets{u"/music/Album/Other.cue"_s, u"/music/Album/Album.cd1.cue"_s,
                         u"/music/Album/Live at the Pier (1999).cue"_s};

QPushButton *buttonWithText(const CueDialog &dialog, const QString &text)
{
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

} // namespace

class tst_CueDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rowsShowCompleteBaseNameWithPathTip_data();
    void rowsShowCompleteBaseNameWithPathTip();
    void layoutCarriesTheTextsAndIsAToolWindow();
    void chooseTakesCurrentRowPath_data();
    void chooseTakesCurrentRowPath();
    void chooseWithoutCurrentRowKeepsDialogOpen();
    void leavingGivesEmptyChoiceEvenAfterPicking_data();
    void leavingGivesEmptyChoiceEvenAfterPicking();
    void doubleClickChoosesThatRow();

private:
    // Fills the dialog with the sheets and shows it; whether it was exposed.
    bool showFilled();

    std::unique_ptr<QWidget> m_parent;
    CueDialog *m_dialog = nullptr;
    QListWidget *m_list = nullptr;
};

void tst_CueDialog::init()
{
    // Any warning fails, except the offscreen platform's notes about what it cannot do.
    failOnWarningsButPlatformNotes();
    m_parent = std::make_unique<QWidget>();
    m_dialog = new CueDialog(m_parent.get());
    m_list = m_dialog->findChild<QListWidget *>();
    QVERIFY(m_list);
}

void tst_CueDialog::cleanup()
{
    m_parent.reset();
    m_dialog = nullptr;
    m_list = nullptr;
}

bool tst_CueDialog::showFilled()
{
    for (const QString &path : sheets)
        m_dialog->addFile(path);
    m_dialog->show();
    return QTest::qWaitForWindowExposed(m_dialog);
}

void tst_CueDialog::rowsShowCompleteBaseNameWithPathTip_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");

    QTest::newRow("plain name") << 0 << u"Other"_s;
    QTest::newRow("only the last suffix goes") << 1 << u"Album.cd1"_s;
    QTest::newRow("spaces and brackets kept") << 2 << u"Live at the Pier (1999)"_s;
}

void tst_CueDialog::rowsShowCompleteBaseNameWithPathTip()
{
    QFETCH(int, row);
    QFETCH(QString, text);
    QVERIFY(showFilled());
    QCOMPARE(m_list->count(), sheets.size());
    const QListWidgetItem *item = m_list->item(row);
    QCOMPARE(item->text(), text);
    QCOMPARE(item->toolTip(), sheets.at(row));
    QCOMPARE(item->sizeHint().height(), 2 * QFontMetrics(QApplication::font()).height());
}

void tst_CueDialog::layoutCarriesTheTextsAndIsAToolWindow()
{
    QVERIFY(showFilled());
    const QLabel *label = m_dialog->findChild<QLabel *>();
    QVERIFY(label);
    QCOMPARE(label->text(), u"Do you want open cue file?"_s);
    QVERIFY(buttonWithText(*m_dialog, u"Choose selected cue file"_s));
    QVERIFY(buttonWithText(*m_dialog, u"Exit"_s));
    QCOMPARE(m_dialog->windowType(), Qt::Tool);
    QCOMPARE(m_dialog->parentWidget(), m_parent.get());
    QVERIFY(m_dialog->windowTitle().isEmpty());
    // Label above the list above the buttons.
    QVERIFY(label->geometry().bottom() <= m_list->geometry().top());
    QVERIFY(m_list->geometry().bottom() <= buttonWithText(*m_dialog, u"Exit"_s)->geometry().top());
    QVERIFY(m_dialog->selectedFile().isEmpty());
}

void tst_CueDialog::chooseTakesCurrentRowPath_data()
{
    QTest::addColumn<int>("downPresses");
    QTest::addColumn<int>("row");

    QTest::newRow("first row") << 0 << 0;
    QTest::newRow("last row") << 2 << 2;
}

void tst_CueDialog::chooseTakesCurrentRowPath()
{
    QFETCH(int, downPresses);
    QFETCH(int, row);
    QVERIFY(showFilled());
    m_list->setFocus();
    m_list->setCurrentRow(0);
    for (int i = 0; i < downPresses; ++i)
        QTest::keyClick(m_list, Qt::Key_Down);
    QCOMPARE(m_list->currentRow(), row);

    QSignalSpy accepted(m_dialog, &QDialog::accepted);
    QTest::mouseClick(buttonWithText(*m_dialog, u"Choose selected cue file"_s), Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->selectedFile(), sheets.at(row));
}

void tst_CueDialog::chooseWithoutCurrentRowKeepsDialogOpen()
{
    QVERIFY(showFilled());
    m_list->setCurrentItem(nullptr);
    QSignalSpy finished(m_dialog, &QDialog::finished);
    QTest::mouseClick(buttonWithText(*m_dialog, u"Choose selected cue file"_s), Qt::LeftButton);
    QCOMPARE(finished.count(), 0);
    QVERIFY(m_dialog->isVisible());
    QVERIFY(m_dialog->selectedFile().isEmpty());
}

void tst_CueDialog::leavingGivesEmptyChoiceEvenAfterPicking_data()
{
    QTest::addColumn<bool>("byExit"); // else closed from the title bar
    QTest::newRow("Exit button") << true;
    QTest::newRow("title bar close") << false;
}

void tst_CueDialog::leavingGivesEmptyChoiceEvenAfterPicking()
{
    QFETCH(bool, byExit);
    QVERIFY(showFilled());
    m_list->setCurrentRow(1);
    QSignalSpy rejected(m_dialog, &QDialog::rejected);
    if (byExit)
        QTest::mouseClick(buttonWithText(*m_dialog, u"Exit"_s), Qt::LeftButton);
    else
        QVERIFY(m_dialog->close());
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_dialog->selectedFile().isEmpty());
}

void tst_CueDialog::doubleClickChoosesThatRow()
{
    QVERIFY(showFilled());
    m_list->setCurrentRow(0);
    const QRect rect = m_list->visualItemRect(m_list->item(2));
    QVERIFY(rect.isValid());
    QSignalSpy accepted(m_dialog, &QDialog::accepted);
    // A widget double click in QTest is the bare double-click event; a real one follows a click.
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(accepted.count(), 1);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->selectedFile(), sheets.at(2));
}

QTEST_MAIN(tst_CueDialog)
#include "tst_cuedialog.moc"
