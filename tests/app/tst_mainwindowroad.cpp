#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "app/buttonlineedit.h"
#include "app/freedbsearchwidget.h"
#include "app/mainwindow.h"
#include "app/progresswidget.h"
#include "app/silencedialog.h"
#include "cddbtestserver.h"
#include "cue/cuedialog.h"
#include "encodedaudio.h"
#include "guiwarnings.h"
#include "modalanswerer.h"
#include "mp3/cheapmp3.h"
#include "playback/previewplayer.h"
#include "silentalbum.h"
#include "tracks/listmodel.h"
#include "tracks/listview.h"
#include "tracks/timetext.h"
#include "tracks/trackdatadialog.h"
#include "tracks/trackheader.h"
#include "tracks/tracklist.h"
#include "waveform/markerwidget.h"
#include "waveform/waveformwidget.h"
#include "work/mp3manager.h"
#include "work/session.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int toneMs = 4000;
constexpr int toneCount = 3;

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Three tracks at the tone boundaries, named the way the files must come out.
QByteArray sheet(const QString &mp3Name)
{
    return "PERFORMER \"Band\"\nFILE \"" + mp3Name.toUtf8()
        + "\" MP3\n"
          "  TRACK 01 AUDIO\n    TITLE \"One\"\n    PERFORMER \"Band\"\n    INDEX 01 00:00:00\n"
          "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Band\"\n    INDEX 01 00:04:00\n"
          "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    PERFORMER \"Band\"\n    INDEX 01 00:08:00\n";
}

QStringList titles()
{
    QStringList result;
    for (int i = 0; i < TrackList::instance()->count(); ++i)
        result << TrackList::instance()->trackAt(i).title;
    return result;
}

QStringList mp3sUnder(const QString &folder)
{
    QStringList found;
    const QDir dir(folder);
    for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (info.isDir())
            found << mp3sUnder(info.filePath());
        else if (info.suffix() == u"mp3"_s)
            found << info.filePath();
    }
    return found;
}

} // namespace

// The road of one file through the real window, work manager, threads and a lame file.
class tst_MainWindowRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void fileOpensWithSheetOrWholeTrack_data();
    void fileOpensWithSheetOrWholeTrack();
    void clickSplitsAndMarkerMovesBoundary();
    void sliceWritesNamedTaggedTracks_data();
    void sliceWritesNamedTaggedTracks();
    void unusableFolderIsRefused_data();
    void unusableFolderIsRefused();
    void trackThatCannotBeWrittenIsNamed();
    void openingDuringSliceIsRefused();
    void fileWithoutAudioIsReported();
    void freedbDiscReplacesTracks();
    void tracksHoldEveryFrameAtAnyZoom_data();
    void tracksHoldEveryFrameAtAnyZoom();
    void closingDuringWorkEndsIt_data();
    void closingDuringWorkEndsIt();
    void actionsActOnTheHighlightedRow();
    void silencesProposeTracksAndPlayStopsOnANewFile();
    void secondSliceAsksBeforeOverwriting_data();
    void secondSliceAsksBeforeOverwriting();

private:
    // A fresh folder holding the album (or source) under `name`, plus the given sheets.
    QString albumIn(const QString &folder, const QString &name, const QStringList &sheets = {},
                    const QString &source = {});
    bool openAndWait(MainWindow &window, const QString &path, int tracks,
                     ModalAnswerer *answerer = nullptr);
    bool sliceAndWait(MainWindow &window, const QString &folder, bool byReturn = false);

    QTemporaryDir m_dir;
    Mp3ManagerScope m_workManager; // the window's work manager, as main() keeps it
    QString m_album;
    QString m_long; // over 5,000 entries: the view opens at a coarse level
    std::unique_ptr<MainWindow> m_window;
};

void tst_MainWindowRoad::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QCoreApplication::setApplicationName(u"Mavlor"_s);
    QCoreApplication::setOrganizationName(u"Orvane Software"_s);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(u"config"_s));
    if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffmpeg"_s))
        QSKIP("lame and ffmpeg are needed");
    m_album = m_dir.filePath(u"source.mp3"_s);
    QString error;
    const QList<EncodedAudio::Tone> tones{
        {toneMs / 1000.0, 440.0, 0.6}, {toneMs / 1000.0, 0.0, 0.0}, {toneMs / 1000.0, 660.0, 0.3}};
    QVERIFY2(EncodedAudio::encode(m_album, tones, 44100, 2, {u"-V2"_s}, &error), qPrintable(error));
    m_long = m_dir.filePath(u"long.mp3"_s);
    const QList<EncodedAudio::Tone> long_{{70.0, 330.0, 0.4}, {70.5, 550.0, 0.2}};
    QVERIFY2(EncodedAudio::encode(m_long, long_, 44100, 1, {u"-V6"_s}, &error), qPrintable(error));
}

void tst_MainWindowRoad::init()
{
    failOnWarningsButPlatformNotes();
    QSettings().clear();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_MainWindowRoad::cleanup()
{
    m_window.reset();
}

QString tst_MainWindowRoad::albumIn(const QString &folder, const QString &name,
                                    const QStringList &sheets, const QString &source)
{
    const QString path = m_dir.filePath(folder);
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    const QString mp3 = path + u'/' + name;
    if (!QFile::copy(source.isEmpty() ? m_album : source, mp3))
        return QString();
    // "empty" after a sheet's name turns that sheet into one without tracks.
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        if (sheets.at(i) == u"empty"_s)
            continue;
        const bool empty = sheets.value(i + 1) == u"empty"_s;
        if (!writeText(path + u'/' + sheets.at(i),
                       empty ? QByteArray("REM nothing\n") : sheet(name)))
            return QString();
    }
    return mp3;
}

bool tst_MainWindowRoad::openAndWait(MainWindow &window, const QString &path, int tracks,
                                     ModalAnswerer *answerer)
{
    std::unique_ptr<ModalAnswerer> own;
    if (!answerer) {
        own = std::make_unique<ModalAnswerer>();
        answerer = own.get();
    }
    if (!window.openFile(path))
        return false;
    return QTest::qWaitFor(
        [&] {
            return window.waveformView()->frameIndex() && !window.progressPanel()->isVisible()
                && TrackList::instance()->count() == tracks
                && window.trackModel()->rowCount() == tracks;
        },
        10000);
}

bool tst_MainWindowRoad::sliceAndWait(MainWindow &window, const QString &folder, bool byReturn)
{
    window.saveFolderEdit()->setText(QDir::toNativeSeparators(folder));
    if (byReturn)
        QTest::keyClick(window.saveFolderEdit(), Qt::Key_Return);
    else
        window.findChild<QAction *>(u"actionSlice"_s)->trigger();
    return QTest::qWaitFor([&] { return !window.statusBar()->currentMessage().isEmpty(); }, 20000);
}

void tst_MainWindowRoad::fileOpensWithSheetOrWholeTrack_data()
{
    QTest::addColumn<QString>("mp3");
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<QString>("choose"); // a row to choose in the CUE dialog; empty: Exit
    QTest::addColumn<bool>("dialogShown");
    QTest::addColumn<QStringList>("expectedTitles");

    const QStringList fromSheet{u"One"_s, u"Two"_s, u"Three"_s};
    QTest::newRow("no sheet: one whole-file track")
        << u"Album.mp3"_s << QStringList{} << QString() << false << QStringList{u"Album"_s};
    QTest::newRow("sheet with the MP3's name taken unasked")
        << u"Album.mp3"_s << QStringList{u"Album.cue"_s, u"Other.cue"_s} << QString() << false
        << fromSheet;
    QTest::newRow("dotted name keeps all but the suffix")
        << u"Live 2024.05.01.mp3"_s << QStringList{} << QString() << false
        << QStringList{u"Live 2024.05.01"_s};
    QTest::newRow("dotted sheet with the same name taken unasked")
        << u"Live 2024.05.01.mp3"_s << QStringList{u"Live 2024.05.01.cue"_s} << QString() << false
        << fromSheet;
    QTest::newRow("Album.cd2.cue is not Album.cd1.mp3's: asked, exit")
        << u"Album.cd1.mp3"_s << QStringList{u"Album.cd2.cue"_s} << QString() << true
        << QStringList{u"Album.cd1"_s};
    QTest::newRow("another sheet asked, chosen")
        << u"Album.mp3"_s << QStringList{u"Other.cue"_s} << u"Other"_s << true << fromSheet;
    QTest::newRow("a sheet without tracks gives one whole-file track")
        << u"Album.mp3"_s << QStringList{u"Album.cue"_s, u"empty"_s} << QString() << false
        << QStringList{u"Album"_s};
}

void tst_MainWindowRoad::fileOpensWithSheetOrWholeTrack()
{
    QFETCH(QString, mp3);
    QFETCH(QStringList, sheets);
    QFETCH(QString, choose);
    QFETCH(bool, dialogShown);
    QFETCH(QStringList, expectedTitles);

    const QString path = albumIn(u"open"_s, mp3, sheets);
    QVERIFY(!path.isEmpty());
    ModalAnswerer answerer([&](QWidget *modal) {
        auto *dialog = qobject_cast<CueDialog *>(modal);
        if (!dialog)
            return;
        auto *list = dialog->findChild<QListWidget *>(u"cueList"_s);
        const auto items = list->findItems(choose, Qt::MatchExactly);
        if (!choose.isEmpty() && !items.isEmpty()) {
            list->setCurrentItem(items.first());
            dialog->onChoseCueButton();
        } else {
            dialog->onCloseButton();
        }
    });
    QVERIFY(openAndWait(*m_window, path, static_cast<int>(expectedTitles.size()), &answerer));
    QCOMPARE(titles(), expectedTitles);
    bool sawDialog = false;
    for (const auto &seen : std::as_const(answerer.seen))
        sawDialog = sawDialog || seen.className == u"CueDialog"_s;
    QCOMPARE(sawDialog, dialogShown);

    // The tracks span the whole file: the decoder's length, to within one entry.
    const TrackList *list = TrackList::instance();
    const int total = m_window->session()->totalLength();
    const EncodedAudio::Decoded decoded = EncodedAudio::decode(path);
    QVERIFY(decoded.ok);
    const double decodedMs = decoded.samples * 1000.0 / decoded.sampleRate;
    QVERIFY2(qAbs(total - decodedMs) < 2 * 26.2 + 60, qPrintable(QString::number(total)));
    QCOMPARE(list->trackAt(0).start, 0);
    QCOMPARE(list->trackAt(list->count() - 1).end, total);
    QCOMPARE(m_window->trackModel()->index(0, 2).data().toString(), expectedTitles.first());
    QCOMPARE(m_window->trackHeader()->checkBoxState(), int(Qt::Checked));
    QVERIFY(m_window->findChild<QAction *>(u"actionSlice"_s)->isEnabled());
    QVERIFY(m_window->welcomePanel() == nullptr);
}

void tst_MainWindowRoad::clickSplitsAndMarkerMovesBoundary()
{
    const QString path = albumIn(u"click"_s, u"Album.mp3"_s);
    QVERIFY(openAndWait(*m_window, path, 1));
    WaveformWidget *view = m_window->waveformView();
    int y = view->height() / 2;
    const int clickX = view->pixelAtTime(5000) - view->scrollOffset();
    const int clickedMs = view->timeAtPixel(view->scrollOffset() + clickX);

    {
        ModalAnswerer accept([](QWidget *modal) {
            if (auto *dialog = qobject_cast<TrackDataDialog *>(modal))
                dialog->accept();
        });
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(clickX, y));
        QVERIFY(QTest::qWaitFor([] { return TrackList::instance()->count() == 2; }, 5000));
    }
    // The dialog carries hundredths of a second.
    QCOMPARE(TrackList::instance()->startOf(1), clickedMs / 10 * 10);
    QCOMPARE(m_window->trackModel()->index(1, 3).data().toString(), TimeText::format(clickedMs));

    // Hovering over the new boundary brings the marker onto it.
    y = view->height() / 2;
    MarkerWidget *marker = m_window->hoverMarker();
    const int boundaryX = view->pixelAtTime(clickedMs / 10 * 10) - view->scrollOffset();
    QTest::mouseMove(view, QPoint(boundaryX, y));
    QVERIFY(marker->isVisible());
    QCOMPARE(marker->trackIndex(), 1);
    // Both tracks of the boundary light up in the table.
    QVERIFY(m_window->trackView()->isRowHighlighted(0)
            && m_window->trackView()->isRowHighlighted(1));
    const QPoint hotSpot(marker->hotSpotX(), marker->hotSpotY());
    QCOMPARE(view->mapFromGlobal(marker->mapToGlobal(hotSpot)).x(), boundaryX);

    // Dragging it 40 pixels right moves the boundary there; both rows show it.
    QTest::mousePress(marker, Qt::LeftButton, {}, hotSpot);
    QTest::mouseMove(marker, hotSpot + QPoint(40, 0));
    const int movedMs = view->timeAtPixel(view->scrollOffset() + boundaryX + 40);
    QCOMPARE(TrackList::instance()->startOf(1), movedMs);
    QCOMPARE(m_window->trackModel()->index(0, 4).data().toString(), TimeText::format(movedMs));
    QCOMPARE(m_window->trackModel()->index(1, 3).data().toString(), TimeText::format(movedMs));

    // Closer than one second to the first track's start is refused; the boundary stays.
    const QPoint nearStart = marker->mapFromGlobal(view->mapToGlobal(QPoint(30, y)));
    QVERIFY(view->timeAtPixel(view->scrollOffset() + 30) <= 1000);
    QTest::mouseMove(marker, nearStart);
    QCOMPARE(TrackList::instance()->startOf(1), movedMs);
    QTest::mouseRelease(marker, Qt::LeftButton, {}, nearStart);

    // F2 edits the clicked row; Delete removes it, and the last track cannot go.
    ListView *table = m_window->trackView();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(m_window->trackModel()->index(1, 2)).center());
    QCOMPARE(m_window->selectedRow(), 1);
    QStringList edited;
    ModalAnswerer editor([&](QWidget *modal) {
        edited << modal->windowTitle();
        for (const char *name : {"startLineEdit", "titleLineEdit"})
            edited << modal->findChild<QLineEdit *>(QLatin1StringView(name))->text();
    });
    m_window->activateWindow(); // shortcuts reach the active window only
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(table, Qt::Key_F2);
    QCOMPARE(edited, (QStringList{u"Edit"_s, TimeText::format(movedMs), u"Album"_s}));
    auto *remove = m_window->findChild<QAction *>(u"actionRemove"_s);
    QVERIFY(remove->isEnabled());
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    // In the folder field Delete edits the text and removes no track.
    m_window->saveFolderEdit()->setFocus();
    m_window->saveFolderEdit()->setCursorPosition(0);
    QTest::keyClick(m_window->saveFolderEdit(), Qt::Key_Delete);
    QCOMPARE(TrackList::instance()->count(), 2);
    QTest::keyClick(table, Qt::Key_Delete);
    QCOMPARE(TrackList::instance()->count(), 1);
    // The split came through the dialog's hundredths of a second.
    QCOMPARE(TrackList::instance()->trackAt(0).end, m_window->session()->totalLength() / 10 * 10);
    QVERIFY(!remove->isEnabled());
    QCOMPARE(m_window->selectedRow(), 0);
}

void tst_MainWindowRoad::sliceWritesNamedTaggedTracks_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("byReturn"); // in the folder field
    QTest::newRow("new folders with dots in their names")
        << u"out/Vol. 2/Live 2024.05"_s << false << false;
    QTest::newRow("existing hidden folder, Return in the field") << u"out/.local"_s << true << true;
}

void tst_MainWindowRoad::sliceWritesNamedTaggedTracks()
{
    QFETCH(QString, folder);
    QFETCH(bool, exists);
    QFETCH(bool, byReturn);
    const QString path = albumIn(u"slice"_s, u"Album.mp3"_s, {u"Album.cue"_s});
    QVERIFY(openAndWait(*m_window, path, 3));
    const QString target = m_dir.filePath(folder);
    QDir(m_dir.filePath(u"out"_s)).removeRecursively();
    if (exists)
        QVERIFY(QDir().mkpath(target));

    // What is typed into the album row goes into every track's tags.
    auto *albumEdit = m_window->findChild<QLineEdit *>(u"albumEdit"_s);
    albumEdit->setText(u"Live at the Hall"_s);
    emit albumEdit->editingFinished();
    ModalAnswerer answerer;
    QVERIFY(sliceAndWait(*m_window, target, byReturn));
    QCOMPARE(answerer.messages(), QString());
    QCOMPARE(m_window->statusBar()->currentMessage(),
             u"3 tracks written to %1"_s.arg(QDir::toNativeSeparators(target)));
    const QStringList names{u"01 - Band - One.mp3"_s, u"02 - Band - Two.mp3"_s,
                            u"03 - Band - Three.mp3"_s};
    QCOMPARE(QDir(target).entryList(QDir::Files, QDir::Name), names);
    for (int i = 0; i < names.size(); ++i) {
        const QString file = target + u'/' + names.at(i);
        const EncodedAudio::Decoded decoded = EncodedAudio::decode(file);
        QVERIFY2(decoded.ok && decoded.errors.isEmpty(), qPrintable(decoded.errors));
        const double seconds = double(decoded.samples) / decoded.sampleRate;
        QVERIFY2(qAbs(seconds - toneMs / 1000.0) < 0.1, qPrintable(QString::number(seconds)));
        TagLib::FileRef tags(QFile::encodeName(file).constData());
        QVERIFY(!tags.isNull());
        QCOMPARE(QString::fromStdString(tags.tag()->artist().to8Bit(true)), u"Band"_s);
        QCOMPARE(QString::fromStdString(tags.tag()->album().to8Bit(true)), u"Live at the Hall"_s);
        QCOMPARE(QString::fromStdString(tags.tag()->title().to8Bit(true)),
                 (QStringList{u"One"_s, u"Two"_s, u"Three"_s}.at(i)));
    }
    // The window is usable again.
    QVERIFY(m_window->findChild<QAction *>(u"actionOpen"_s)->isEnabled());
    QVERIFY(!m_window->progressPanel()->isVisible());
}

void tst_MainWindowRoad::unusableFolderIsRefused_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("message");
    QTest::newRow("a file, not a folder")
        << u"out/taken"_s << u"Cannot save the tracks in %1: it is a file"_s;
    QTest::newRow("below a file") << u"out/taken/sub"_s << u"Cannot create the folder %1: "_s;
}

void tst_MainWindowRoad::unusableFolderIsRefused()
{
    QFETCH(QString, folder);
    QFETCH(QString, message);
    const QString path = albumIn(u"refuse"_s, u"Album.mp3"_s);
    QVERIFY(openAndWait(*m_window, path, 1));
    const QString out = m_dir.filePath(u"out"_s);
    QDir(out).removeRecursively();
    QVERIFY(QDir().mkpath(out));
    QVERIFY(writeText(out + u"/taken"_s, "not a folder"));

    ModalAnswerer answerer;
    const QString target = m_dir.filePath(folder);
    m_window->saveFolderEdit()->setText(target);
    m_window->findChild<QAction *>(u"actionSlice"_s)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !answerer.seen.isEmpty(); }, 5000));
    QVERIFY2(answerer.messages().startsWith(message.arg(QDir::toNativeSeparators(target))),
             qPrintable(answerer.messages()));
    QVERIFY(!m_window->progressPanel()->isVisible());
    QCOMPARE(mp3sUnder(out), QStringList());
}

void tst_MainWindowRoad::trackThatCannotBeWrittenIsNamed()
{
    const QString path = albumIn(u"fail"_s, u"Album.mp3"_s, {u"Album.cue"_s});
    QVERIFY(openAndWait(*m_window, path, 3));
    const QString out = m_dir.filePath(u"out"_s);
    QDir(out).removeRecursively();
    // A folder where track 2's file would go: nothing, not even root, can write it.
    QVERIFY(QDir().mkpath(out + u"/02 - Band - Two.mp3"_s));

    ModalAnswerer answerer;
    QVERIFY(sliceAndWait(*m_window, out));
    QVERIFY(QTest::qWaitFor([&] { return !answerer.seen.isEmpty(); }, 5000));
    QCOMPARE(answerer.seen.size(), 1);
    const QString text = answerer.messages();
    QVERIFY2(text.contains(u"Track 2 (02 - Band - Two.mp3): "_s), qPrintable(text));
    QVERIFY2(!text.contains(u"Track 1"_s) && !text.contains(u"Track 3"_s), qPrintable(text));
    QCOMPARE(m_window->statusBar()->currentMessage(),
             u"2 tracks written to %1"_s.arg(QDir::toNativeSeparators(out)));
}

void tst_MainWindowRoad::openingDuringSliceIsRefused()
{
    const QString path = albumIn(u"busy"_s, u"Album.mp3"_s, {u"Album.cue"_s});
    const QString other = albumIn(u"busy2"_s, u"Other.mp3"_s);
    QVERIFY(openAndWait(*m_window, path, 3));
    const CheapMP3 *index = m_window->waveformView()->frameIndex();

    ModalAnswerer answerer;
    m_window->saveFolderEdit()->setText(m_dir.filePath(u"out/busy"_s));
    m_window->findChild<QAction *>(u"actionSlice"_s)->trigger();
    // A drop goes the same way as the dialog and the command line.
    m_window->onDroppedFiles({other});
    QVERIFY(
        QTest::qWaitFor([&] { return !m_window->statusBar()->currentMessage().isEmpty(); }, 20000));
    QVERIFY2(answerer.messages().startsWith(u"Tracks are being written. Open Other.mp3"_s),
             qPrintable(answerer.messages()));
    QCOMPARE(m_window->currentFile(), path);
    QCOMPARE(m_window->waveformView()->frameIndex(), index);
    QCOMPARE(titles(), (QStringList{u"One"_s, u"Two"_s, u"Three"_s}));
    QCOMPARE(mp3sUnder(m_dir.filePath(u"out/busy"_s)).size(), 3);
}

void tst_MainWindowRoad::fileWithoutAudioIsReported()
{
    const QString folder = m_dir.filePath(u"noaudio"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + u"/notes.mp3"_s;
    QVERIFY(writeText(path, QByteArray(4096, 'x')));
    ModalAnswerer answerer;
    // A sheet beside it must not be offered for a file that does not open.
    QVERIFY(writeText(folder + u"/other.cue"_s, sheet(u"notes.mp3"_s)));
    const QString album = albumIn(u"noaudio-album"_s, u"Album.mp3"_s, {u"Album.cue"_s});
    QVERIFY(openAndWait(*m_window, album, 3));
    const CheapMP3 *index = m_window->waveformView()->frameIndex();
    QVERIFY(m_window->openFile(path));
    QVERIFY(QTest::qWaitFor([&] { return !answerer.seen.isEmpty(); }, 10000));
    QCOMPARE(answerer.messages(),
             u"%1 holds no MP3 audio that Mavlor can read."_s.arg(QDir::toNativeSeparators(path)));
    QCOMPARE(answerer.seen.size(), 1);
    // The window is as it was: the album, its tracks and its folder.
    QCOMPARE(m_window->currentFile(), album);
    QCOMPARE(m_window->waveformView()->frameIndex(), index);
    QCOMPARE(titles(), (QStringList{u"One"_s, u"Two"_s, u"Three"_s}));
    QCOMPARE(m_window->saveFolderEdit()->text(),
             QDir::toNativeSeparators(QFileInfo(album).absolutePath()));
    QVERIFY(m_window->findChild<QAction *>(u"actionSlice"_s)->isEnabled());
}

void tst_MainWindowRoad::tracksHoldEveryFrameAtAnyZoom_data()
{
    QTest::addColumn<bool>("bySheet");
    QTest::addColumn<int>("zoomIns");
    QTest::newRow("whole file, opening level") << false << 0;
    QTest::newRow("whole file, finest level") << false << 4;
    QTest::newRow("sheet, opening level") << true << 0;
    QTest::newRow("sheet, finest level") << true << 4;
}

void tst_MainWindowRoad::tracksHoldEveryFrameAtAnyZoom()
{
    QFETCH(bool, bySheet);
    QFETCH(int, zoomIns);
    const QString path = albumIn(u"frames"_s, u"Long.mp3"_s,
                                 bySheet ? QStringList{u"Long.cue"_s} : QStringList{}, m_long);
    QVERIFY(!path.isEmpty());
    const QString folder = QFileInfo(path).absolutePath();
    QVERIFY(openAndWait(*m_window, path, bySheet ? 3 : 1));
    CheapMP3 source(nullptr, nullptr, nullptr);
    source.readFile(path);
    QVERIFY(source.frameCount() > 5000);
    for (int i = 0; i < zoomIns; ++i)
        m_window->waveformView()->zoomIn();

    QVERIFY(sliceAndWait(*m_window, folder + u"/out"_s));
    const QStringList written = QDir(folder + u"/out"_s).entryList(QDir::Files, QDir::Name);
    QCOMPARE(written.size(), bySheet ? 3 : 1);
    if (!bySheet)
        QCOMPARE(written.first(), u"01 - Long - Long.mp3"_s); // as mavlor-cli names it
    int frames = 0;
    for (const QString &name : written) {
        CheapMP3 track(nullptr, nullptr, nullptr);
        track.readFile(folder + u"/out/"_s + name);
        frames += track.frameCount();
    }
    QCOMPARE(frames, source.frameCount());
}

void tst_MainWindowRoad::closingDuringWorkEndsIt_data()
{
    QTest::addColumn<bool>("slicing"); // else reading
    QTest::newRow("during a read") << false;
    QTest::newRow("during a slice") << true;
}

void tst_MainWindowRoad::closingDuringWorkEndsIt()
{
    QFETCH(bool, slicing);
    const QString path = albumIn(u"closing"_s, u"Long.mp3"_s, {u"Long.cue"_s}, m_long);
    QVERIFY(!path.isEmpty());
    const QString folder = QFileInfo(path).absolutePath();
    ModalAnswerer answerer;
    if (slicing) {
        QVERIFY(openAndWait(*m_window, path, 3));
        m_window->saveFolderEdit()->setText(folder + u"/out"_s);
        m_window->findChild<QAction *>(u"actionSlice"_s)->trigger();
    } else {
        QVERIFY(m_window->openFile(path));
    }
    QVERIFY(m_window->session()->isBusy());
    // Exit stays at hand while work runs, and ends it.
    QVERIFY(m_window->findChild<QAction *>(u"actionExit"_s)->isEnabled());
    m_window->findChild<QAction *>(u"actionExit"_s)->trigger();
    QVERIFY(!m_window->isVisible());
    QVERIFY(!Mp3Manager::instance()->isReading() && !Mp3Manager::instance()->isSlicing());
    // The window goes while the manager lives on, as in main().
    m_window.reset();
    QCoreApplication::processEvents();
    const QStringList left = QDir(folder + u"/out"_s).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : left)
        QVERIFY2(name.endsWith(u".mp3"_s), qPrintable(name));
    QCOMPARE(answerer.seen.size(), 0);
}

void tst_MainWindowRoad::silencesProposeTracksAndPlayStopsOnANewFile()
{
    const QString folder = m_dir.filePath(u"gaps"_s);
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + u"/Gaps.mp3"_s;
    QString error;
    QVERIFY2(SilentAlbum::make(path, true, {u"-V2"_s}, &error), qPrintable(error));
    QVERIFY(openAndWait(*m_window, path, 1));

    ModalAnswerer accept([](QWidget *modal) {
        if (auto *dialog = qobject_cast<SilenceDialog *>(modal))
            dialog->accept();
    });
    m_window->findChild<QAction *>(u"actionSilences"_s)->trigger();
    QVERIFY(QTest::qWaitFor(
        [&] { return m_window->statusBar()->currentMessage().contains(u"silences found"_s); },
        20000));
    QCOMPARE(m_window->statusBar()->currentMessage(), u"2 silences found: 3 tracks proposed."_s);
    QCOMPARE(TrackList::instance()->count(), 3);
    QCOMPARE(m_window->waveformView()->shadedRegions(), m_window->session()->silences());
    QVERIFY(m_window->session()->canUndo());

    // Space plays, or says that there is nothing to play on; a new file stops it.
    m_window->findChild<QAction *>(u"actionPlay"_s)->trigger();
    QVERIFY(m_window->player()->isPlaying()
            || m_window->statusBar()->currentMessage() == u"No sound device."_s);
    QVERIFY(openAndWait(*m_window, albumIn(u"after-gaps"_s, u"Album.mp3"_s), 1));
    QVERIFY(!m_window->player()->isPlaying());
    QVERIFY(m_window->waveformView()->shadedRegions().isEmpty());
}

void tst_MainWindowRoad::secondSliceAsksBeforeOverwriting_data()
{
    QTest::addColumn<QString>("answer"); // the button pressed, empty: cancel
    QTest::addColumn<QStringList>("files");
    const QStringList three{u"01 - Band - One.mp3"_s, u"02 - Band - Two.mp3"_s,
                            u"03 - Band - Three.mp3"_s};
    QTest::newRow("overwrite") << u"Overwrite"_s << three;
    QTest::newRow("cancel") << QString() << three;
    QTest::newRow("keep both") << u"Keep both"_s
                               << QStringList{
                                      u"01 - Band - One (2).mp3"_s,   u"01 - Band - One.mp3"_s,
                                      u"02 - Band - Two (2).mp3"_s,   u"02 - Band - Two.mp3"_s,
                                      u"03 - Band - Three (2).mp3"_s, u"03 - Band - Three.mp3"_s};
}

void tst_MainWindowRoad::secondSliceAsksBeforeOverwriting()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, files);
    QVERIFY(openAndWait(*m_window, albumIn(u"again"_s, u"Album.mp3"_s, {u"Album.cue"_s}), 3));
    const QString out = m_dir.filePath(u"again/out"_s);
    QVERIFY(sliceAndWait(*m_window, out));
    m_window->statusBar()->clearMessage();
    QString asked;
    ModalAnswerer answerer([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return;
        asked = box->text() + u'|' + box->informativeText();
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == answer)
                button->click();
        }
    });
    m_window->findChild<QAction *>(u"actionSlice"_s)->trigger();
    QCOMPARE(asked,
             u"3 tracks are already in the folder:|01 - Band - One.mp3\n"
             "02 - Band - Two.mp3\n03 - Band - Three.mp3"_s);
    if (!answer.isEmpty())
        QVERIFY(QTest::qWaitFor([&] { return !m_window->session()->isBusy(); }, 20000));
    QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name), files);
}

void tst_MainWindowRoad::actionsActOnTheHighlightedRow()
{
    QVERIFY(openAndWait(*m_window, albumIn(u"rows"_s, u"Album.mp3"_s, {u"Album.cue"_s}), 3));
    ListView *table = m_window->trackView();
    auto *remove = m_window->findChild<QAction *>(u"actionRemove"_s);
    auto *edit = m_window->findChild<QAction *>(u"actionEdit"_s);
    auto *slice = m_window->findChild<QAction *>(u"actionSlice"_s);
    QVERIFY(!remove->isEnabled() && !edit->isEnabled());
    auto rowCentre = [&](int row) {
        return table->visualRect(m_window->trackModel()->index(row, 2)).center();
    };
    // A left click on one row, a right click on another: the highlighted one goes.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowCentre(0));
    QTest::mouseClick(table->viewport(), Qt::RightButton, {}, rowCentre(1));
    QCOMPARE(m_window->selectedRow(), 1);
    QVERIFY(remove->isEnabled() && edit->isEnabled());
    remove->trigger();
    QCOMPARE(titles(), (QStringList{u"One"_s, u"Three"_s}));
    remove->trigger();
    QCOMPARE(titles(), (QStringList{u"One"_s}));
    // The recent files know the album, and forget what is gone.
    auto *recent = m_window->findChild<QMenu *>(u"menuRecent"_s);
    const QString gone = albumIn(u"gone"_s, u"Gone.mp3"_s);
    QVERIFY(openAndWait(*m_window, gone, 1));
    QVERIFY(QFile::remove(gone));
    emit recent->aboutToShow();
    QStringList names;
    for (QAction *action : recent->actions())
        names << action->text();
    QCOMPARE(names, QStringList{u"Album.mp3"_s});
    QVERIFY(openAndWait(*m_window, albumIn(u"rows"_s, u"Album.mp3"_s, {u"Album.cue"_s}), 3));
    remove->trigger(); // nothing highlighted in a new file
    QCOMPARE(TrackList::instance()->count(), 3);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowCentre(1));
    remove->trigger();
    remove->trigger();

    // One track is still a track to slice; unticked it is not, ticked again it is.
    QVERIFY(!remove->isEnabled());
    QVERIFY(slice->isEnabled());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowCentre(0));
    QVERIFY(slice->isEnabled());
    m_window->trackModel()->setData(m_window->trackModel()->index(0, 0), Qt::Unchecked,
                                    Qt::CheckStateRole);
    QVERIFY(!slice->isEnabled());
    m_window->trackModel()->setData(m_window->trackModel()->index(0, 0), Qt::Checked,
                                    Qt::CheckStateRole);
    QVERIFY(slice->isEnabled());
    QCOMPARE(slice->shortcut(), QKeySequence(u"Ctrl+Return"_s));
}

void tst_MainWindowRoad::freedbDiscReplacesTracks()
{
    CddbTestServer server;
    QVERIFY(server.start());
    // Offsets in CD frames (75 a second) at the album's tone boundaries.
    server.addDisc(
        {"rock", "0a000c03", "Band / Other Album",
         CddbTestServer::entryLines({150, 450, 750}, 12, "Band / Other Album", {"A", "B", "C"})});
    server.addDisc({"jazz", "0b000c03", "Band / Live at the Caf\xe9",
                    CddbTestServer::entryLines({150, 450, 750}, 12, "Band / Live at the Caf\xe9",
                                               {"Intro", "Solo", "Encore"})});

    MainWindow &window = *m_window;
    QAction *search = window.freedbSearchAction();
    QVERIFY(!search->isEnabled());
    QVERIFY(openAndWait(window, albumIn(u"freedb"_s, u"Band.mp3"_s), 1));
    QVERIFY(search->isEnabled());
    FreedbSearchWidget *panel = window.freedbPanel();
    QVERIFY(!panel->isVisible());
    search->trigger();
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->findChild<QLineEdit *>()->text(), u"Band"_s);

    panel->setSource(FreedbSearchWidget::Source::Freedb);
    panel->setServer({"127.0.0.1", server.port()});
    QTest::keyClick(panel->findChild<QLineEdit *>(), Qt::Key_Return);
    auto *results = panel->findChild<QTreeView *>();
    QTRY_COMPARE(results->model()->rowCount(), 2);
    QTRY_VERIFY(!panel->isBusy());
    const QPoint second = results->visualRect(results->model()->index(1, 1)).center();
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, second);

    QTRY_COMPARE(titles(), (QStringList{u"Intro"_s, u"Solo"_s, u"Encore"_s}));
    QCOMPARE(window.trackModel()->rowCount(), 3);
    QCOMPARE(window.trackModel()->index(2, 2).data().toString(), u"Encore"_s);
    QCOMPARE(window.trackModel()->index(2, 1).data().toString(), u"Band"_s);
    QCOMPARE(TrackList::instance()->trackAt(1).start, 4000);
    QCOMPARE(TrackList::instance()->trackAt(2).end, window.session()->totalLength());
    QCOMPARE(window.trackHeader()->checkBoxState(), Qt::Checked);

    // Unchecking the action hides the panel; closing the panel unchecks the action.
    search->trigger();
    QVERIFY(!panel->isVisible() && !search->isChecked());
    search->trigger();
    QVERIFY(panel->close());
    QVERIFY(!search->isChecked());
    QTRY_VERIFY(!panel->isBusy());
}

QTEST_MAIN(tst_MainWindowRoad)
#include "tst_mainwindowroad.moc"
