#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>

#include "app/freedbsearchwidget.h"
#include "cddbtestserver.h"
#include "guiwarnings.h"
#include "musicbrainztestserver.h"
#include "tracks/trackcalculaterlistener.h"
#include "tracks/tracklist.h"

using namespace Qt::StringLiterals;

namespace {

class FixedLength final : public TrackCalculaterListener
{
public:
    explicit FixedLength(int ms)
        : m_ms(ms)
    {
    }
    int totalLength() const override { return m_ms; }

private:
    int m_ms;
};

void addDiscs(CddbTestServer &server)
{
    server.addDisc(
        {"rock", "7b0c0a0b", "Caf\xe9 Tango / Some Album",
         CddbTestServer::entryLines({150, 21052, 40000}, 600, "Caf\xe9 Tango / Some Album",
                                    {"One", "Two", "Three"})});
    server.addDisc({"jazz", "0a0b0c0d", "Caf\xe9 Tango / Live",
                    CddbTestServer::entryLines({150, 7650, 15150}, 300, "Caf\xe9 Tango / Live",
                                               {"Intro", "Solo", "Encore"})});
}

} // namespace

class tst_FreedbSearchWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void searchTextFromFileName_data();
    void searchTextFromFileName();
    void doubleClickedDiscReplacesTracks();
    void failedSearchSaysWhy_data();
    void failedSearchSaysWhy();
    void closingOrDestroyingStopsSilentSearch();
    void sourceIsRemembered();
    void doubleClickedReleaseReplacesTracks_data();
    void doubleClickedReleaseReplacesTracks();

private:
    // Types the text into the panel's field and presses Return.
    static void searchFor(FreedbSearchWidget &panel, const QString &text);
};

void tst_FreedbSearchWidget::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(u"MavlorTest"_s);
    QCoreApplication::setApplicationName(u"tst_freedbsearchwidget"_s);
    QSettings().remove(u"search"_s);
}

void tst_FreedbSearchWidget::init()
{
    failOnWarningsButPlatformNotes();
}

void tst_FreedbSearchWidget::searchFor(FreedbSearchWidget &panel, const QString &text)
{
    auto *field = panel.findChild<QLineEdit *>();
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
}

void tst_FreedbSearchWidget::searchTextFromFileName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::newRow("digits, underscore, dash") << u"/music/01_Some-Band.mp3"_s << u" Some Band"_s;
    QTest::newRow("only the last suffix goes")
        << u"/m/2009 Caf\u00e9.Live.mp3"_s << u" Caf\u00e9.Live"_s;
}

void tst_FreedbSearchWidget::searchTextFromFileName()
{
    QFETCH(QString, path);
    QFETCH(QString, text);
    FreedbSearchWidget panel;
    panel.setSourceFile(path);
    QCOMPARE(panel.findChild<QLineEdit *>()->text(), text);
}

void tst_FreedbSearchWidget::doubleClickedDiscReplacesTracks()
{
    CddbTestServer server;
    QVERIFY(server.start());
    addDiscs(server);

    FreedbSearchWidget panel;
    panel.setSource(FreedbSearchWidget::Source::Freedb);
    panel.setServer({"127.0.0.1", server.port()});
    panel.show();
    auto *view = panel.findChild<QTreeView *>();
    QAbstractItemModelTester tester(view->model());

    searchFor(panel, u"Caf\u00e9 tango"_s);
    QVERIFY(panel.isBusy());
    QTRY_VERIFY(!panel.isBusy());
    QCOMPARE(view->model()->rowCount(), 2);
    for (int row = 0; row < 2; ++row)
        QCOMPARE(view->model()->index(row, 0).data().toInt(), row + 1);
    QCOMPARE(view->model()->index(1, 1).data().toString(), u"Caf\u00e9 Tango / Live"_s);
    QCOMPARE(view->model()->index(1, 2).data().toString(), u"jazz"_s);
    QStringList titles;
    for (int section = 0; section < 3; ++section)
        titles << view->model()->headerData(section, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{u"#"_s, u"Artist"_s, u"Genre"_s}));
    QCOMPARE(view->header()->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(view->header()->sectionSize(0), 20);
    QVERIFY(panel.statusText().isEmpty());

    QSignalSpy tracksReady(&panel, &FreedbSearchWidget::tracksReady);
    const QRect second = view->visualRect(view->model()->index(1, 1));
    QVERIFY(second.isValid());
    QSignalSpy doubleClicked(view, &QAbstractItemView::doubleClicked);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(doubleClicked.size(), 1);
    QVERIFY(tracksReady.wait());
    const auto tracks = tracksReady.first().first().value<TrackContainer>();
    QCOMPARE(tracks.size(), 3);
    QCOMPARE(tracks.at(1).title, u"Solo"_s);
    QCOMPARE(tracks.at(1).start, 100000);
    QCOMPARE(tracks.at(2).artist, u"Caf\u00e9 Tango"_s);
    QVERIFY(server.requests().last().contains("cmd=cddb+read+jazz+0a0b0c0d&"));

    // The window hands them to the track list, which ends the last at the MP3's length.
    FixedLength length(287654);
    TrackList::instance()->setCalculater(&length);
    TrackList::instance()->setTracks(tracks);
    TrackList::instance()->setCalculater(nullptr);
    QCOMPARE(TrackList::instance()->count(), 3);
    QCOMPARE(TrackList::instance()->trackAt(1).end, 200000);
    QCOMPARE(TrackList::instance()->trackAt(2).end, 287654);
    QTRY_VERIFY(!panel.isBusy());
}

void tst_FreedbSearchWidget::failedSearchSaysWhy_data()
{
    QTest::addColumn<CddbTestServer::Mode>("mode");
    QTest::addColumn<bool>("refusedPort");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("status");

    using Mode = CddbTestServer::Mode;
    QTest::newRow("no match") << Mode::Normal << false << u"nothing"_s << u"No disc found."_s;
    QTest::newRow("refused") << Mode::Normal << true << u"tango"_s
                             << u"No answer from the server: Cannot connect"_s;
    QTest::newRow("CDDB error") << Mode::ErrorStatus << false << u"tango"_s
                                << u"No answer from the server: CDDB error 500"_s;
    QTest::newRow("empty field does nothing") << Mode::Normal << false << QString() << QString();
    QTest::newRow("list cut at 500 discs")
        << Mode::Normal << false << u"many"_s
        << u"The server listed more discs; the first 500 are shown."_s;
}

void tst_FreedbSearchWidget::failedSearchSaysWhy()
{
    QFETCH(CddbTestServer::Mode, mode);
    QFETCH(bool, refusedPort);
    QFETCH(QString, query);
    QFETCH(QString, status);

    CddbTestServer server;
    QVERIFY(server.start());
    server.setMode(mode);
    addDiscs(server);
    if (query == u"many"_s) {
        for (int i = 0; i < 600; ++i)
            server.addDisc({"misc", QByteArray::number(i, 16), "Many / Discs", {}});
    }
    FreedbSearchWidget panel;
    panel.setSource(FreedbSearchWidget::Source::Freedb);
    panel.setServer({"127.0.0.1", refusedPort ? server.refusingPort() : server.port()});
    searchFor(panel, query);
    QCOMPARE(panel.isBusy(), !query.isEmpty());
    QTRY_VERIFY(!panel.isBusy());
    QVERIFY2(panel.statusText().startsWith(status), qPrintable(panel.statusText()));
    QCOMPARE(status.isEmpty(), panel.statusText().isEmpty());
    QCOMPARE(server.requests().size(), !query.isEmpty() && !refusedPort ? 1 : 0);
}

void tst_FreedbSearchWidget::closingOrDestroyingStopsSilentSearch()
{
    CddbTestServer server;
    QVERIFY(server.start());
    server.setMode(CddbTestServer::Mode::Silent);
    FreedbSearchWidget panel;
    panel.setSource(FreedbSearchWidget::Source::Freedb);
    panel.setServer({"127.0.0.1", server.port()});
    panel.show();
    searchFor(panel, u"tango"_s);
    QTRY_COMPARE(server.requests().size(), 1);
    QVERIFY(panel.isBusy());
    QVERIFY(panel.close());
    QTRY_VERIFY_WITH_TIMEOUT(!panel.isBusy(), 1000);
    QVERIFY(panel.statusText().isEmpty());

    // Quitting destroys a busy panel; that must not wait for the server either.
    auto busy = std::make_unique<FreedbSearchWidget>();
    busy->setSource(FreedbSearchWidget::Source::Freedb);
    busy->setServer({"127.0.0.1", server.port()});
    searchFor(*busy, u"tango"_s);
    QTRY_COMPARE(server.requests().size(), 2);
    QElapsedTimer clock;
    clock.start();
    busy.reset();
    QCOMPARE_LT(clock.elapsed(), 1000);
}

void tst_FreedbSearchWidget::sourceIsRemembered()
{
    QSettings().remove(u"search"_s);
    FreedbSearchWidget first;
    QCOMPARE(first.source(), FreedbSearchWidget::Source::MusicBrainz);
    auto *box = first.findChild<QComboBox *>(u"searchSourceBox"_s);
    QVERIFY(box);
    box->setCurrentIndex(1);
    emit box->activated(1);
    QCOMPARE(FreedbSearchWidget().source(), FreedbSearchWidget::Source::Freedb);
    first.setSource(FreedbSearchWidget::Source::MusicBrainz);
    QCOMPARE(FreedbSearchWidget().source(), FreedbSearchWidget::Source::MusicBrainz);
}

void tst_FreedbSearchWidget::doubleClickedReleaseReplacesTracks_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("fileLength");
    QTest::addColumn<int>("tracks");
    QTest::addColumn<QString>("status");

    QTest::newRow("lengths agree within a few seconds") << 0 << 184000 << 3 << QString();
    QTest::newRow("MP3 a minute longer")
        << 0 << 240000 << 3 << u"The release lasts 03:00.00, the MP3 04:00.00"_s;
    QTest::newRow("middle track without length replaces nothing")
        << 1 << 240000 << 0 << u"The release was not taken: track 2"_s;
}

void tst_FreedbSearchWidget::doubleClickedReleaseReplacesTracks()
{
    QFETCH(int, row);
    QFETCH(int, fileLength);
    QFETCH(int, tracks);
    QFETCH(QString, status);

    MusicBrainzTestServer server;
    QVERIFY(server.start());
    server.addRelease(
        {u"1c0ffee0-0000-4000-8000-000000000001"_s,
         u"Caf\u00e9 Nights"_s,
         {{u"Tango Trio"_s, {}}},
         u"2004-03-01"_s,
         u"AR"_s,
         {{u"CD"_s,
           {{u"Uno"_s, {{u"Tango Trio"_s, {}}}, 60000}, {u"Dos"_s, {{u"Guest"_s, {}}}, 60000}}},
          {u"CD"_s, {{u"Tres"_s, {{u"Tango Trio"_s, {}}}, 60000}}}}});
    server.addRelease({u"1c0ffee0-0000-4000-8000-000000000002"_s,
                       u"Caf\u00e9 Gaps"_s,
                       {{u"Tango Trio"_s, {}}},
                       {},
                       {},
                       {{u"CD"_s, {{u"A"_s, {}, 1000}, {u"B"_s, {}, -1}, {u"C"_s, {}, 1000}}}}});

    FreedbSearchWidget panel;
    panel.setSource(FreedbSearchWidget::Source::MusicBrainz);
    MusicBrainz::Server address;
    QVERIFY(MusicBrainz::Server::parse(server.url(), &address));
    panel.setMusicBrainzServer(address);
    panel.setFileLength(fileLength);
    panel.show();
    auto *view = panel.findChild<QTreeView *>();
    QAbstractItemModelTester tester(view->model());

    searchFor(panel, u"caf\u00e9"_s);
    QTRY_VERIFY(!panel.isBusy());
    QCOMPARE(view->model()->rowCount(), 2);
    QStringList shown;
    for (int column = 0; column < 5; ++column)
        shown << view->model()->headerData(column, Qt::Horizontal).toString() + u'='
                + view->model()->index(0, column).data().toString();
    QCOMPARE(shown,
             (QStringList{u"#=1"_s, u"Artist=Tango Trio"_s, u"Title=Caf\u00e9 Nights"_s,
                          u"Year=2004"_s, u"Tracks=3"_s}));

    QSignalSpy tracksReady(&panel, &FreedbSearchWidget::tracksReady);
    const QRect rect = view->visualRect(view->model()->index(row, 2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTRY_VERIFY(!panel.isBusy());
    QVERIFY2(panel.statusText().startsWith(status), qPrintable(panel.statusText()));
    QCOMPARE(panel.statusText().isEmpty(), status.isEmpty());
    QCOMPARE(tracksReady.size(), tracks ? 1 : 0);
    if (!tracks)
        return;

    FixedLength length(fileLength);
    TrackList::instance()->setCalculater(&length);
    TrackList::instance()->setTracks(tracksReady.first().first().value<TrackContainer>());
    TrackList::instance()->setCalculater(nullptr);
    QCOMPARE(TrackList::instance()->count(), tracks);
    QCOMPARE(TrackList::instance()->trackAt(1).artist, u"Guest"_s);
    QCOMPARE(TrackList::instance()->trackAt(2).start, 120000);
    QCOMPARE(TrackList::instance()->trackAt(2).end, fileLength);
}

QTEST_MAIN(tst_FreedbSearchWidget)
#include "tst_freedbsearchwidget.moc"
