#include "work/session.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "cue/cuesheetwriter.h"
#include "decode/mp3decoder.h"
#include "slice/trackname.h"
#include "tracks/tracklist.h"
#include "work/callbackcommand.h"
#include "work/mp3manager.h"

using namespace Qt::StringLiterals;

namespace {

// The name without its last suffix: "Live 2024.05.01.mp3" gives "Live 2024.05.01".
QString baseName(const QString &path)
{
    return QFileInfo(path).completeBaseName();
}

// The one track that spans the whole file: number 1, titled and by the file's base name.
Track wholeFileTrack(const QString &path, int lengthMs)
{
    const QString name = baseName(path);
    return Track{name, name, 1, 0, lengthMs};
}

} // namespace

Session::Session(Mp3Manager *manager, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
{
    Q_ASSERT(m_manager);
    connect(m_manager, &Mp3Manager::readyCheapMP3, this, &Session::onReadyCheapMP3);
    connect(m_manager, &Mp3Manager::readProgress, this,
            [this](float percent) { emit readProgress(static_cast<int>(percent)); });
    connect(m_manager, &Mp3Manager::readyCueFiles, this, &Session::onReadyCueFiles);
    connect(m_manager, &Mp3Manager::cueSearchEnded, this, &Session::onCueSearchEnded);
    connect(m_manager, &Mp3Manager::readyTracks, this, &Session::onReadyTracks);
    connect(m_manager, &Mp3Manager::readyAlbum, this, &Session::onReadyAlbum);
    connect(m_manager, &Mp3Manager::silenceProgress, this, &Session::silenceProgress);
    connect(m_manager, &Mp3Manager::silencesFound, this, &Session::onSilencesFound);
    connect(m_manager, &Mp3Manager::silenceSearchFailed, this,
            [this](const QString &reason) { m_silenceFailure = reason; });
    connect(m_manager, &Mp3Manager::silenceSearchEnded, this, &Session::onSilenceSearchEnded);
    connect(m_manager, &Mp3Manager::cueParseEnded, this, &Session::onCueParseEnded);
    connect(m_manager, &Mp3Manager::sliceProgress, this, &Session::onSliceProgress);
    connect(m_manager, &Mp3Manager::trackWritten, this, &Session::onTrackWritten);
    connect(m_manager, &Mp3Manager::trackFailed, this, &Session::onTrackFailed);
    m_manager->addCommand(
        std::make_unique<CallbackCommand>(EndRead, this, [this] { onReadEnded(); }));
    m_manager->addCommand(
        std::make_unique<CallbackCommand>(EndSlice, this, [this] { onSliceEnded(); }));
    TrackList::instance()->setCalculater(this);
    TrackList::instance()->setHistoryListener(this);
}

Session::~Session()
{
    TrackList::instance()->setCalculater(nullptr);
    TrackList::instance()->setHistoryListener(nullptr);
}

int Session::totalLength() const
{
    return m_index ? m_index->lengthMs() : 0;
}

bool Session::open(const QString &path, QString *why)
{
    const QString name = QFileInfo(path).fileName();
    if (m_state == State::Reading || m_state == State::Slicing) {
        if (why) {
            *why = m_state == State::Slicing
                ? tr("Tracks are being written. Open %1 when they are done.").arg(name)
                : tr("A file is being read. Open %1 when it is done.").arg(name);
        }
        return false;
    }
    m_pendingFile = QFileInfo(path).absoluteFilePath();
    m_pendingIndex.reset();
    m_foundSheets.clear();
    m_searchEnded = false;
    m_readEnded = false;
    m_stateBeforeRead = m_state;
    setState(State::Reading);
    m_manager->openMp3(m_pendingFile);
    return true;
}

void Session::onReadyCheapMP3(CheapMP3Ptr index)
{
    if (m_state == State::Reading)
        m_pendingIndex = std::move(index);
}

void Session::onReadEnded()
{
    if (m_state != State::Reading)
        return;
    m_readEnded = true;
    if (!m_pendingIndex || m_pendingIndex->frameCount() == 0 || m_pendingIndex->sampleRate() <= 0) {
        const QString path = m_pendingFile;
        const QString reason = m_pendingIndex
            ? tr("%1 holds no MP3 audio that Mavlor can read.").arg(QDir::toNativeSeparators(path))
            : QString();
        // The sheet search belongs to the file that did not open.
        m_manager->onStopAnyWork();
        m_pendingFile.clear();
        m_pendingIndex.reset();
        m_foundSheets.clear();
        setState(m_stateBeforeRead);
        emit openFailed(path, reason);
        return;
    }
    if (m_searchEnded)
        settleOpen();
}

void Session::onReadyCueFiles(const FileFinder::FileList &files)
{
    if (m_state == State::Reading)
        m_foundSheets = files;
}

void Session::onCueSearchEnded()
{
    if (m_state != State::Reading)
        return;
    m_searchEnded = true;
    if (m_readEnded && m_pendingIndex)
        settleOpen();
}

void Session::settleOpen()
{
    m_index = std::move(m_pendingIndex);
    m_currentFile = m_pendingFile;
    m_pendingFile.clear();
    m_sheet.clear();
    TrackList::instance()->setSourcePath(m_currentFile);
    m_state = State::Ready;
    m_undo.clear();
    m_redo.clear();
    emit historyChanged();
    m_sourceAlbum = {};
    m_albumEdits = {};
    emit albumChanged();
    m_silences.clear();

    const QString own = baseName(m_currentFile);
    QStringList others;
    for (const QString &sheet : std::as_const(m_foundSheets)) {
        if (baseName(sheet) == own && QFileInfo(sheet).suffix() == u"cue"_s)
            m_sheet = sheet;
        else
            others << sheet;
    }
    m_foundSheets.clear();
    if (m_sheetRule == SheetRule::None)
        m_sheet.clear();
    // An own sheet is taken without asking; without one, the others are offered.
    m_sheetPending = m_sheet.isEmpty() && m_sheetRule == SheetRule::Ask && !others.isEmpty();
    emit fileOpened();
    emit stateChanged();
    if (m_sheetPending)
        emit sheetChoiceNeeded(others);
    else
        buildTracks();
}

void Session::chooseSheet(const QString &sheet)
{
    if (m_sheetPending && m_sheet.isEmpty())
        takeSheet(sheet);
}

void Session::takeSheet(const QString &sheet)
{
    if (!m_index || m_state != State::Ready)
        return;
    m_sheetPending = false;
    m_sheet = sheet;
    buildTracks();
}

void Session::buildTracks()
{
    if (!m_sheet.isEmpty()) {
        m_sheetPending = true;
        emit stateChanged();
        m_manager->parseCue(m_sheet);
        return;
    }
    setOpeningTracks({wholeFileTrack(m_currentFile, totalLength())});
    emit stateChanged();
    emit tracksBuilt(QString());
}

void Session::setOpeningTracks(const TrackContainer &tracks)
{
    m_recording = false;
    TrackList::instance()->setTracks(tracks);
    m_recording = true;
}

void Session::onReadyTracks(const TrackContainer &tracks)
{
    if (!m_sheetPending || m_sheet.isEmpty())
        return;
    m_sheetPending = false;
    setOpeningTracks(tracks);
    emit stateChanged();
    emit tracksBuilt(QString());
}

void Session::onReadyAlbum(const Album &album)
{
    if (!m_sheetPending || m_sheet.isEmpty())
        return;
    m_sourceAlbum = album;
    emit albumChanged();
}

void Session::setAlbumEdits(const Album &edits)
{
    if (edits == m_albumEdits)
        return;
    m_albumEdits = edits;
    emit albumChanged();
}

QByteArray Session::sheetText() const
{
    return CueSheetWriter::sheet(TrackList::instance()->allTracks(), album(),
                                 QFileInfo(m_currentFile).fileName());
}

bool Session::saveSheet(const QString &path, QString *error) const
{
    return CueSheetWriter::write(path, m_currentFile, TrackList::instance()->allTracks(), album(),
                                 error);
}

void Session::onCueParseEnded()
{
    if (!m_sheetPending || m_sheet.isEmpty())
        return;
    // A sheet without a single track would leave the previous file's tracks behind.
    const QString name = QFileInfo(m_sheet).fileName();
    m_sheetPending = false;
    m_sheet.clear();
    setOpeningTracks({wholeFileTrack(m_currentFile, totalLength())});
    emit stateChanged();
    emit tracksBuilt(tr("%1 holds no tracks; the whole file is one track.").arg(name));
}

void Session::replaceTracks(const TrackContainer &tracks, QList<int> *leftOut, const Album &album)
{
    if (!m_index || m_state != State::Ready)
        return;
    const int total = totalLength();
    TrackContainer kept;
    for (const Track &track : tracks) {
        if (track.start < total)
            kept.append(track);
        else if (leftOut)
            leftOut->append(track.number);
    }
    if (kept.isEmpty())
        return;
    // A sheet still being parsed must not overwrite what the user takes now.
    if (m_sheetPending)
        m_sheet.clear();
    m_sheetPending = false;
    m_sourceAlbum = album;
    TrackList::instance()->setTracks(kept);
    emit albumChanged();
    emit stateChanged();
}

bool Session::cutAt(const QList<int> &times, QString *why)
{
    const int total = totalLength();
    QList<int> cuts;
    for (int t : times) {
        if (t >= total) {
            if (why)
                *why = tr("the cut at %1 s is at or past the end of the file (%2 s)")
                           .arg(t / 1000.0, 0, 'f', 3)
                           .arg(total / 1000.0, 0, 'f', 3);
            return false;
        }
        if (t > 0 && !cuts.contains(t))
            cuts.append(t);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.prepend(0);
    cuts.append(total);
    const Track whole = wholeFileTrack(m_currentFile, total);
    TrackContainer tracks;
    for (int i = 0; i + 1 < cuts.size(); ++i)
        tracks.append(Track{whole.title, whole.artist, i + 1, cuts[i], cuts[i + 1]});
    replaceTracks(tracks);
    return true;
}

QString Session::resolveFolder(const QString &text) const
{
    QString folder = QDir::fromNativeSeparators(text.trimmed());
    if (folder == u"~"_s || folder.startsWith(u"~/"_s))
        folder = QDir::homePath() + folder.mid(1);
    folder = QDir::cleanPath(folder);
    // A relative folder is taken beside the MP3, not wherever Mavlor was started from.
    if (!folder.isEmpty() && QDir::isRelativePath(folder) && !m_currentFile.isEmpty())
        folder = QDir::cleanPath(QFileInfo(m_currentFile).absoluteDir().filePath(folder));
    return folder;
}

bool Session::prepareFolder(const QString &folder, QString *error)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        *error = tr("Cannot save the tracks in %1: it is a file, not a folder.")
                     .arg(QDir::toNativeSeparators(folder));
        return false;
    }
    if (info.isDir())
        return true;
    std::error_code code;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(folder).toStdString()), code);
    if (code || !QFileInfo(folder).isDir()) {
        const QString reason =
            code ? QString::fromLocal8Bit(code.message().c_str()) : tr("it could not be made");
        *error =
            tr("Cannot create the folder %1: %2").arg(QDir::toNativeSeparators(folder), reason);
        return false;
    }
    return true;
}

QStringList Session::existingFiles(const QString &folderText, const TrackContainer &tracks) const
{
    const QDir folder(resolveFolder(folderText));
    QStringList existing;
    for (const Track &track : tracks) {
        const QString name =
            TrackName::fileName(TrackName{track.artist, track.title, track.number});
        if (QFileInfo(folder.filePath(name)).isFile())
            existing << name;
    }
    return existing;
}

bool Session::slice(const QString &folderText, const TrackContainer &tracks, QString *why,
                    bool keepExisting)
{
    QString error;
    const QString folder = resolveFolder(folderText);
    if (!canSlice())
        error = isBusy() ? tr("Mavlor is busy; slice when it is done.") : tr("Open a file first.");
    else if (tracks.isEmpty())
        error = tr("Tick the tracks to write first.");
    else if (folder.isEmpty())
        error = tr("Choose a folder to save the tracks in.");
    else
        prepareFolder(folder, &error);
    if (!error.isEmpty()) {
        if (why)
            *why = error;
        return false;
    }
    m_sliceTracks = tracks;
    m_summary = SliceSummary{folder, static_cast<int>(tracks.size()), 0, false, {}, {}};
    setState(State::Slicing);
    m_manager->slice(folder, tracks, m_index, album(), TrackList::instance()->count(), keepExisting,
                     m_sampleExact);
    return true;
}

void Session::stop()
{
    if (m_state == State::Slicing)
        m_summary.stopped = true;
    m_manager->onStopAnyWork();
}

bool Session::findSilences(double thresholdDb, double minimumSeconds, QString *why)
{
    if (m_state != State::Ready || !m_index) {
        if (why)
            *why = isBusy() ? tr("Mavlor is busy; look for silences when it is done.")
                            : tr("Open a file first.");
        return false;
    }
    m_silenceFailure.clear();
    m_silencesDelivered = false;
    if (!m_manager->findSilences(m_index, thresholdDb, minimumSeconds))
        return false;
    setState(State::Searching);
    return true;
}

void Session::onSilencesFound(const SilenceList &silences, const QList<int> &cuts)
{
    if (m_state != State::Searching)
        return;
    // The detector counts played samples; the waveform and the tracks count the index's,
    // which start the encoder's delay and the decoder's earlier.
    Mp3Decoder decoder(*m_index);
    decoder.open();
    const qint64 lead = decoder.leadingSamples();
    const qint64 rate = std::max(1, m_index->sampleRate());
    m_silences.clear();
    for (const SilenceDetector::Silence &silence : silences)
        m_silences.append(
            {int((silence.start + lead) * 1000 / rate), int((silence.end + lead) * 1000 / rate)});
    m_silencesDelivered = true;
    m_silenceCuts = cuts;
}

void Session::onSilenceSearchEnded()
{
    if (m_state != State::Searching)
        return;
    setState(State::Ready);
    if (m_silencesDelivered)
        emit silencesFound(m_silenceCuts);
    else
        emit silenceSearchFailed(m_silenceFailure);
}

void Session::onSliceProgress(SliceProgress progress)
{
    if (m_state != State::Slicing || m_sliceTracks.isEmpty())
        return;
    // The share of the tracks before this one in the slice, not its number in the list.
    qsizetype position = 0;
    while (position < m_sliceTracks.size() && m_sliceTracks.at(position).number != progress.track)
        ++position;
    if (position == m_sliceTracks.size())
        return;
    const double share = 100.0 / m_sliceTracks.size();
    const double percent = share * position + std::clamp(progress.percent, 0, 100) / 100.0 * share;
    emit sliceProgress(static_cast<int>(percent), progress.track);
}

void Session::onTrackWritten(int track, const QString &path, const QString &warning)
{
    if (m_state != State::Slicing)
        return;
    ++m_summary.written;
    if (!warning.isEmpty())
        m_summary.warnings.append(
            tr("Track %1 (%2): %3").arg(track).arg(QFileInfo(path).fileName(), warning));
    emit trackWritten(track, path, warning);
}

void Session::onTrackFailed(int track, const QString &path, const QString &reason)
{
    if (m_state != State::Slicing)
        return;
    m_summary.failures.append(
        tr("Track %1 (%2): %3").arg(track).arg(QFileInfo(path).fileName(), reason));
    emit trackFailed(track, path, reason);
}

void Session::onSliceEnded()
{
    if (m_state != State::Slicing)
        return;
    m_sliceTracks.clear();
    setState(State::Ready);
    emit sliceEnded();
}

void Session::tracksAboutToChange(const TrackContainer &before, Change change, int index)
{
    if (!m_recording || m_state != State::Ready)
        return;
    const bool sameDrag = change == Change::Move && m_gestureOpen && m_lastChange == Change::Move
        && m_lastIndex == index;
    m_gestureOpen = change == Change::Move;
    m_lastChange = change;
    m_lastIndex = index;
    if (sameDrag || m_turnOpen)
        return;
    m_turnOpen = true;
    QMetaObject::invokeMethod(
        this, [this] { m_turnOpen = false; }, Qt::QueuedConnection);
    constexpr qsizetype kSteps = 200;
    m_undo.append(before);
    if (m_undo.size() > kSteps)
        m_undo.removeFirst();
    m_redo.clear();
    emit historyChanged();
}

void Session::undo()
{
    if (!canUndo())
        return;
    m_redo.append(TrackList::instance()->allTracks());
    TrackList::instance()->restore(m_undo.takeLast());
    m_gestureOpen = false;
    emit historyChanged();
}

void Session::redo()
{
    if (!canRedo())
        return;
    m_undo.append(TrackList::instance()->allTracks());
    TrackList::instance()->restore(m_redo.takeLast());
    m_gestureOpen = false;
    emit historyChanged();
}

void Session::setState(State state)
{
    m_state = state;
    emit stateChanged();
}
