#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "app/freedbsearchwidget.h"
#include "cddbtestserver.h"
#include "guiwarnings.h"
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
    void init();
    void searchTextFromFileName_data();
    void searchTextFromFileName();
    void doubleClickedDiscReplacesTracks();
    void failedSearchSaysWhy_data();
    void failedSearchSaysWhy();
    void closingOrDestroyingStopsSilentSearch();

private:
    // Types the text into the panel's field and presses Return.
    static void searchFor(FreedbSearchWidget &panel, const QString &text);
};

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
    FreedbSearchWidget panel;
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
    busy->setServer({"127.0.0.1", server.port()});
    searchFor(*busy, u"tango"_s);
    QTRY_COMPARE(server.requests().size(), 2);
    QElapsedTimer clock;
    clock.start();
    busy.reset();
    QCOMPARE_LT(clock.elapsed(), 1000);
}

QTEST_MAIN(tst_FreedbSearchWidget)
#include "tst_freedbsearchwidget.moc"
