#include "guiwarnings.h"
#include "modalanswerer.h"
#include "tracks/trackcalculaterlistener.h"
#include "tracks/trackdatadialog.h"
#include "tracks/tracklist.h"
#include "tracks/tracksupdatelistener.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct FixedLength final : TrackCalculaterListener
{
    int totalLength() const override { return 60000; }
};

struct CallCounter final : TracksUpdateListener
{
    int calls = 0;
    void tracksRemoved(int, int) override { ++calls; }
    void tracksInserted(int, int) override { ++calls; }
    void tracksChanged(int, int) override { ++calls; }
};

// What the user saw in the four fields, in order artist, title, start, end.
using Fields = QStringList;

// Reads what the first modal dialog that editTrack runs shows and lets `user` act on it;
// `acted` stays false if none appears.
struct ModalDriver
{
    explicit ModalDriver(std::function<bool(TrackDataDialog *)> user)
        : answerer([this, user = std::move(user)](QWidget *modal) {
            auto *dialog = qobject_cast<TrackDataDialog *>(modal);
            if (!dialog || found)
                return;
            found = true;
            windowTitle = dialog->windowTitle();
            for (const char *name :
                 {"artistLineEdit", "titleLineEdit", "startLineEdit", "endLineEdit"})
                shown << dialog->findChild<QLineEdit *>(QLatin1StringView(name))->text();
            acted = user(dialog);
        })
    {
    }

    Fields shown;
    QString windowTitle;
    bool found = false;
    // Whether a dialog appeared and every field and button the user action looked for was there.
    bool acted = false;
    ModalAnswerer answerer;
};

// Replaces a field's text by typing, as a user selecting all and typing over it would.
// False when the dialog has no such field.
bool typeInto(TrackDataDialog *dialog, const char *field, const QString &text)
{
    auto *edit = dialog->findChild<QLineEdit *>(QLatin1StringView(field));
    if (!edit)
        return false;
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
    return true;
}

// False when the dialog has no such button.
bool press(TrackDataDialog *dialog, QDialogButtonBox::StandardButton which)
{
    auto *box = dialog->findChild<QDialogButtonBox *>(u"buttonBox"_s);
    if (!box || !box->button(which))
        return false;
    QTest::mouseClick(box->button(which), Qt::LeftButton);
    return true;
}

} // namespace

class tst_TrackDataDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogHasNamedFixedSizeForm();
    void rowFillsFieldsFromTrack_data();
    void rowFillsFieldsFromTrack();
    void waveformClickFillsTrackUnderIt_data();
    void waveformClickFillsTrackUnderIt();
    void waveformClickInGapOffersTheGap();
    void unchangedOrCancelledEditChangesNothing_data();
    void unchangedOrCancelledEditChangesNothing();
    void acceptedEditReachesTheList_data();
    void acceptedEditReachesTheList();
    void refusedInputKeepsDialogOpenAndFields_data();
    void refusedInputKeepsDialogOpenAndFields();
    void longFileShowsAndTakesHours();

private:
    FixedLength length;
    CallCounter counter;
};

void tst_TrackDataDialog::init()
{
    // Any warning fails, except the offscreen platform's notes about popups it cannot raise.
    failOnWarningsButPlatformNotes();
    TrackList *list = TrackList::instance();
    list->setUpdateListener(nullptr);
    list->setCalculater(&length);
    list->setSourcePath(u"/music/Set.mp3"_s);
    list->setTracks({Track{u"One"_s, u"Band"_s, 1, 0, 10000},
                     Track{u"Two"_s, u"Band"_s, 2, 10000, 20000},
                     Track{u"Three"_s, u"Band"_s, 3, 20000, 60000}});
    counter.calls = 0;
    list->setUpdateListener(&counter);
}

void tst_TrackDataDialog::cleanup()
{
    TrackList::instance()->setUpdateListener(nullptr);
    TrackList::instance()->setCalculater(nullptr);
}

void tst_TrackDataDialog::dialogHasNamedFixedSizeForm()
{
    TrackDataDialog dialog;
    QCOMPARE(dialog.objectName(), u"TrackDataDialog"_s);
    QCOMPARE(dialog.windowTitle(), u"Add"_s);
    QVERIFY(dialog.windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint));
    QVERIFY(!dialog.isModal());
    QCOMPARE(dialog.size(), QSize(355, 195));
    QCOMPARE(dialog.minimumSize(), QSize(355, 195));
    QCOMPARE(dialog.maximumSize(), QSize(355, 195));
    QVERIFY(dialog.findChild<QLayout *>(u"verticalLayout"_s));
    QVERIFY(dialog.findChild<QGroupBox *>(u"groupBox"_s));
    auto *form = dialog.findChild<QWidget *>(u"formLayoutWidget"_s);
    QVERIFY(form);
    QCOMPARE(form->geometry(), QRect(12, 9, 313, 109));
    auto *formLayout = dialog.findChild<QFormLayout *>(u"formLayout"_s);
    QVERIFY(formLayout);
    QCOMPARE(formLayout->verticalSpacing(), 4);
    QCOMPARE(formLayout->contentsMargins(), QMargins(0, 3, 0, 0));
    const QStringList names{u"artist"_s, u"title"_s, u"start"_s, u"end"_s};
    const QStringList labels{u"Artist:"_s, u"Title:"_s, u"Start:"_s, u"End:"_s};
    for (int i = 0; i < names.size(); ++i) {
        auto *label = dialog.findChild<QLabel *>(names.at(i) + u"Label"_s);
        QVERIFY(label);
        QCOMPARE(label->text(), labels.at(i));
        auto *edit = dialog.findChild<QLineEdit *>(names.at(i) + u"LineEdit"_s);
        QVERIFY(edit);
        QCOMPARE(formLayout->itemAt(i, QFormLayout::FieldRole)->widget(), edit);
    }
    auto *start = dialog.findChild<QLineEdit *>(u"startLineEdit"_s);
    QCOMPARE(start->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(start->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    auto *box = dialog.findChild<QDialogButtonBox *>(u"buttonBox"_s);
    QVERIFY(box);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    dialog.setArtist(u"a"_s);
    dialog.setTitle(u"t"_s);
    dialog.setStart(u"s"_s);
    dialog.setEnd(u"e"_s);
    QCOMPARE((QStringList{dialog.artist(), dialog.title(), dialog.start(), dialog.end()}),
             (QStringList{u"a"_s, u"t"_s, u"s"_s, u"e"_s}));
}

void tst_TrackDataDialog::rowFillsFieldsFromTrack_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<Fields>("given");
    QTest::addColumn<Fields>("shown");
    const Fields waveform{u"Band"_s, u"Three"_s, u"01:10.00"_s, u"01:00.00"_s};
    QTest::newRow("valid row replaces given values")
        << 1 << waveform << Fields{u"Band"_s, u"Two"_s, u"00:10.00"_s, u"00:20.00"_s};
    QTest::newRow("no row keeps given values") << TrackDataDialog::NoRow << waveform << waveform;
    QTest::newRow("minus one keeps given values") << -1 << waveform << waveform;
    QTest::newRow("row past the end keeps given values") << 3 << waveform << waveform;
    QTest::newRow("edit without selection opens empty")
        << TrackDataDialog::NoRow << Fields{QString(), QString(), QString(), QString()}
        << Fields{QString(), QString(), QString(), QString()};
}

void tst_TrackDataDialog::rowFillsFieldsFromTrack()
{
    QFETCH(int, row);
    QFETCH(Fields, given);
    QFETCH(Fields, shown);
    ModalDriver driver([](TrackDataDialog *dialog) { return press(dialog, QDialogButtonBox::Ok); });
    QVERIFY(!TrackDataDialog::editTrack(nullptr, u"Edit"_s, row, given.at(0), given.at(1),
                                        given.at(2), given.at(3)));
    QVERIFY(driver.acted);
    QCOMPARE(driver.windowTitle, u"Edit"_s);
    QCOMPARE(driver.shown, shown);
    QCOMPARE(counter.calls, 0);
}

void tst_TrackDataDialog::waveformClickFillsTrackUnderIt_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<Fields>("shown");
    QTest::addColumn<int>("countAfterOk"); // OK on the unchanged offer adds it
    QTest::newRow("inside a track splits it")
        << 15000 << Fields{u"Band"_s, u"Two"_s, u"00:15.00"_s, u"00:20.00"_s} << 4;
    QTest::newRow("on a boundary belongs to the later track")
        << 10000 << Fields{u"Band"_s, u"Two"_s, u"00:10.00"_s, u"00:20.00"_s} << 3;
    QTest::newRow("past the last track's end")
        << 70000 << Fields{u"Band"_s, u"Three"_s, u"01:10.00"_s, u"01:00.00"_s} << 3;
}

void tst_TrackDataDialog::waveformClickFillsTrackUnderIt()
{
    QFETCH(int, ms);
    QFETCH(Fields, shown);
    QFETCH(int, countAfterOk);
    {
        ModalDriver driver(
            [](TrackDataDialog *dialog) { return press(dialog, QDialogButtonBox::Cancel); });
        QVERIFY(!TrackDataDialog::editTrackAt(nullptr, u"Add"_s, ms));
        QVERIFY(driver.acted);
        QCOMPARE(driver.windowTitle, u"Add"_s);
        QCOMPARE(driver.shown, shown);
        QCOMPARE(TrackList::instance()->count(), 3);
    }

    ModalDriver accepting(
        [](TrackDataDialog *dialog) { return press(dialog, QDialogButtonBox::Ok); });
    TrackDataDialog::editTrackAt(nullptr, u"Add"_s, ms);
    QVERIFY(accepting.acted);
    QCOMPARE(TrackList::instance()->count(), countAfterOk);
}

void tst_TrackDataDialog::waveformClickInGapOffersTheGap()
{
    TrackList *list = TrackList::instance();
    list->addTrack(Track{u"Short"_s, u"Band"_s, 0, 12000, 15000});
    QCOMPARE(list->trackAt(3).start, 20000);
    ModalDriver driver([](TrackDataDialog *dialog) {
        return typeInto(dialog, "titleLineEdit", u"Filler"_s)
            && press(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(TrackDataDialog::editTrackAt(nullptr, u"Add"_s, 17000));
    QVERIFY(driver.acted);
    QCOMPARE(driver.shown, (Fields{QString(), QString(), u"00:17.00"_s, u"00:20.00"_s}));
    QCOMPARE(list->count(), 5);
    QCOMPARE(list->trackAt(3), (Track{u"Filler"_s, QString(), 4, 17000, 20000}));
    QCOMPARE(list->trackAt(4).title, u"Three"_s);
}

void tst_TrackDataDialog::unchangedOrCancelledEditChangesNothing_data()
{
    QTest::addColumn<bool>("retype");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("accept");
    QTest::newRow("OK without changes") << false << QString() << true;
    QTest::newRow("same text retyped") << true << u"00:10.00"_s << true;
    QTest::newRow("same time retyped without zeros") << true << u"0:10"_s << true;
    QTest::newRow("letters in start") << true << u"ab:cd.ef"_s << true;
    QTest::newRow("start emptied") << true << QString() << true;
    QTest::newRow("cancel after a valid change") << true << u"00:12.00"_s << false;
}

void tst_TrackDataDialog::unchangedOrCancelledEditChangesNothing()
{
    QFETCH(bool, retype);
    QFETCH(QString, start);
    QFETCH(bool, accept);
    const TrackContainer before = TrackList::instance()->allTracks();
    ModalDriver driver([&](TrackDataDialog *dialog) {
        return (!retype || typeInto(dialog, "startLineEdit", start))
            && press(dialog, accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
    });
    QVERIFY(!TrackDataDialog::editTrack(nullptr, u"Edit"_s, 1, {}, {}, {}, {}));
    QVERIFY(driver.acted);
    QCOMPARE(TrackList::instance()->allTracks(), before);
    QCOMPARE(counter.calls, 0);
}

void tst_TrackDataDialog::acceptedEditReachesTheList_data()
{
    QTest::addColumn<int>("row");
    // Field name, text, field name, text...
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<TrackContainer>("tracks");

    QTest::newRow("changing only the title renames that track")
        << 1 << QStringList{u"titleLineEdit"_s, u"Second"_s}
        << TrackContainer{Track{u"One"_s, u"Band"_s, 1, 0, 10000},
                          Track{u"Second"_s, u"Band"_s, 2, 10000, 20000},
                          Track{u"Three"_s, u"Band"_s, 3, 20000, 60000}};
    QTest::newRow("later start moves the boundary, previous follows")
        << 1 << QStringList{u"startLineEdit"_s, u"0:12"_s}
        << TrackContainer{Track{u"One"_s, u"Band"_s, 1, 0, 12000},
                          Track{u"Two"_s, u"Band"_s, 2, 12000, 20000},
                          Track{u"Three"_s, u"Band"_s, 3, 20000, 60000}};
    QTest::newRow("title and start in seconds together")
        << 1 << QStringList{u"titleLineEdit"_s, u"Second"_s, u"startLineEdit"_s, u"7.5"_s}
        << TrackContainer{Track{u"One"_s, u"Band"_s, 1, 0, 7500},
                          Track{u"Second"_s, u"Band"_s, 2, 7500, 20000},
                          Track{u"Three"_s, u"Band"_s, 3, 20000, 60000}};
    QTest::newRow("empty dialog adds the filled track")
        << int(TrackDataDialog::NoRow)
        << QStringList{u"artistLineEdit"_s, u"Guest"_s,    u"titleLineEdit"_s, u"Interlude"_s,
                       u"startLineEdit"_s,  u"00:05.00"_s, u"endLineEdit"_s,   u"00:15.00"_s}
        << TrackContainer{Track{u"One"_s, u"Band"_s, 1, 0, 5000},
                          Track{u"Interlude"_s, u"Guest"_s, 2, 5000, 15000},
                          Track{u"Two"_s, u"Band"_s, 3, 15000, 20000},
                          Track{u"Three"_s, u"Band"_s, 4, 20000, 60000}};
    QTest::newRow("earlier end moves the boundary, next follows")
        << 0 << QStringList{u"endLineEdit"_s, u"00:08.00"_s}
        << TrackContainer{Track{u"One"_s, u"Band"_s, 1, 0, 8000},
                          Track{u"Two"_s, u"Band"_s, 2, 8000, 20000},
                          Track{u"Three"_s, u"Band"_s, 3, 20000, 60000}};
}

void tst_TrackDataDialog::acceptedEditReachesTheList()
{
    QFETCH(int, row);
    QFETCH(QStringList, typed);
    QFETCH(TrackContainer, tracks);
    ModalDriver driver([&](TrackDataDialog *dialog) {
        for (qsizetype i = 0; i + 1 < typed.size(); i += 2) {
            if (!typeInto(dialog, typed.at(i).toLatin1().constData(), typed.at(i + 1)))
                return false;
        }
        return press(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(TrackDataDialog::editTrack(nullptr, u"Edit"_s, row, {}, {}, {}, {}));
    QVERIFY(driver.acted);
    QCOMPARE(TrackList::instance()->allTracks(), tracks);
    QVERIFY(counter.calls > 0);
}

void tst_TrackDataDialog::refusedInputKeepsDialogOpenAndFields_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("okEnabled"); // false: refused as typed; true: refused by the list
    QTest::addColumn<QString>("problem");
    QTest::newRow("start does not read") << u"1:75"_s << u"00:20.00"_s << false << u"Start needs"_s;
    QTest::newRow("end does not read") << u"00:10.00"_s << u"twenty"_s << false << u"End needs"_s;
    QTest::newRow("start after end") << u"00:25.00"_s << u"00:20.00"_s << false << u"before End"_s;
    QTest::newRow("start past the file's end")
        << u"1:02:03"_s << u"00:20.00"_s << false << u"past the file's end (01:00.00)"_s;
    QTest::newRow("end past the file's end")
        << u"00:10.00"_s << u"60.01"_s << false << u"past the file's end"_s;
    QTest::newRow("previous track left a second")
        << u"00:01.00"_s << u"00:20.00"_s << true << u"previous track"_s;
}

// The user's title survives every refusal, and a corrected time then goes through.
void tst_TrackDataDialog::refusedInputKeepsDialogOpenAndFields()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(bool, okEnabled);
    QFETCH(QString, problem);
    const TrackContainer before = TrackList::instance()->allTracks();
    QString shownProblem;
    ModalDriver driver([&](TrackDataDialog *dialog) {
        if (!typeInto(dialog, "titleLineEdit", u"Kept"_s)
            || !typeInto(dialog, "startLineEdit", start) || !typeInto(dialog, "endLineEdit", end))
            return false;
        auto *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        const bool okAsExpected = ok->isEnabled() == okEnabled;
        press(dialog, QDialogButtonBox::Ok);
        shownProblem = dialog->problem();
        const bool intact = dialog->isVisible() && dialog->title() == u"Kept"_s
            && dialog->start() == start && dialog->end() == end;
        typeInto(dialog, "startLineEdit", u"00:12.00"_s);
        typeInto(dialog, "endLineEdit", u"00:20.00"_s);
        return okAsExpected && intact && dialog->problem().isEmpty()
            && press(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(TrackDataDialog::editTrack(nullptr, u"Edit"_s, 1, {}, {}, {}, {}));
    QVERIFY(driver.acted);
    QVERIFY2(shownProblem.contains(problem), qPrintable(shownProblem));
    QCOMPARE(TrackList::instance()->trackAt(1), (Track{u"Kept"_s, u"Band"_s, 2, 12000, 20000}));
    QCOMPARE(TrackList::instance()->trackAt(0).end, 12000);
    QVERIFY(before != TrackList::instance()->allTracks());
}

void tst_TrackDataDialog::longFileShowsAndTakesHours()
{
    struct ThreeHours final : TrackCalculaterListener
    {
        int totalLength() const override { return 3 * 3600000 + 5000; }
    } threeHours;
    TrackList *list = TrackList::instance();
    list->setCalculater(&threeHours);
    list->setTracks({Track{u"One"_s, u"Band"_s, 1, 0, 3600000},
                     Track{u"Two"_s, u"Band"_s, 2, 3600000, 7200000},
                     Track{u"Three"_s, u"Band"_s, 3, 7200000, 0}});
    ModalDriver driver([](TrackDataDialog *dialog) {
        return typeInto(dialog, "startLineEdit", u"1:02:03.45"_s)
            && press(dialog, QDialogButtonBox::Ok);
    });
    QVERIFY(TrackDataDialog::editTrack(nullptr, u"Edit"_s, 1, {}, {}, {}, {}));
    QCOMPARE(driver.shown, (Fields{u"Band"_s, u"Two"_s, u"1:00:00.00"_s, u"2:00:00.00"_s}));
    QCOMPARE(list->trackAt(1).start, 3723450);
    QCOMPARE(list->trackAt(0).end, 3723450);
    list->setCalculater(&length);
}

QTEST_MAIN(tst_TrackDataDialog)
#include "tst_trackdatadialog.moc"
