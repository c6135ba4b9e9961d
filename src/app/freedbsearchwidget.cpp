#include "app/freedbsearchwidget.h"

#include "app/buttonlineedit.h"
#include "freedb/freedbsearchthreadobject.h"
#include "musicbrainz/musicbrainzthreadobject.h"
#include "threads/thread.h"
#include "tracks/listitem.h"
#include "tracks/listview.h"
#include "tracks/timetext.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
constexpr int numberColumnWidth = 20;
const QString sourceKey = u"search/source"_s;
const QString freedbName = u"freedb"_s;
} // namespace

FreedbSearchWidget::DockContentWidget::DockContentWidget(QWidget *parent)
    : QWidget(parent)
{
}

QSize FreedbSearchWidget::DockContentWidget::sizeHint() const
{
    return {150, 0};
}

FreedbSearchWidget::FreedbSearchWidget(QWidget *parent)
    : QDockWidget(parent)
    , m_threadObject(std::make_unique<FreedbSearchThreadObject>())
    , m_thread(std::make_unique<Thread>(m_threadObject.get()))
    , m_musicBrainzObject(std::make_unique<MusicBrainzThreadObject>())
    , m_musicBrainzThread(std::make_unique<Thread>(m_musicBrainzObject.get()))
{
    setObjectName(QStringLiteral("freedbSearchWidget"));
    setWindowTitle(tr("Search"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);

    auto *content = new DockContentWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_sourceBox = new QComboBox(content);
    m_sourceBox->setObjectName(QStringLiteral("searchSourceBox"));
    m_sourceBox->addItem(tr("MusicBrainz"));
    m_sourceBox->addItem(tr("freedb"));
    m_sourceBox->setToolTip(tr("Where the search looks for albums"));
    m_sourceBox->setCurrentIndex(QSettings().value(sourceKey).toString() == freedbName
                                     ? int(Source::Freedb)
                                     : int(Source::MusicBrainz));
    m_shownSource = source();
    m_searchField = new ButtonLineEdit(tr("Search"), content);
    m_model = new ListModel({}, this);
    m_model->setHeaderListener(this);
    m_view = new ListView(content);
    m_view->setModel(m_model);
    m_status = new QLabel(content);
    m_status->setObjectName(QStringLiteral("freedbStatusLabel"));
    m_status->setWordWrap(true);
    m_status->hide();
    layout->addWidget(m_sourceBox);
    layout->addWidget(m_searchField);
    layout->addWidget(m_view);
    layout->addWidget(m_status);
    setWidget(content);

    connect(m_searchField, &ButtonLineEdit::clicked, this, &FreedbSearchWidget::onClick);
    connect(m_searchField, &ButtonLineEdit::enterPressed, this, &FreedbSearchWidget::onClick);
    connect(this, &FreedbSearchWidget::search, this, &FreedbSearchWidget::onSearch);
    connect(m_view, &QAbstractItemView::doubleClicked, this,
            &FreedbSearchWidget::onListDoubleClick);
    connect(m_threadObject.get(), &FreedbSearchThreadObject::tracksReady, this,
            &FreedbSearchWidget::tracksReady, Qt::QueuedConnection);
    connect(m_threadObject.get(), &FreedbSearchThreadObject::discsReady, this,
            &FreedbSearchWidget::onDiscsReady, Qt::QueuedConnection);
    connect(m_threadObject.get(), &FreedbSearchThreadObject::failed, this,
            &FreedbSearchWidget::onFailed, Qt::QueuedConnection);
    connect(m_threadObject.get(), &FreedbSearchThreadObject::discListCut, this, [this](int kept) {
        m_cutNote = tr("The server listed more discs; the first %1 are shown.").arg(kept);
    });
    connect(m_musicBrainzObject.get(), &MusicBrainzThreadObject::releasesReady, this,
            &FreedbSearchWidget::onReleasesReady, Qt::QueuedConnection);
    connect(m_musicBrainzObject.get(), &MusicBrainzThreadObject::releaseReady, this,
            &FreedbSearchWidget::onReleaseReady, Qt::QueuedConnection);
    connect(m_musicBrainzObject.get(), &MusicBrainzThreadObject::failed, this,
            &FreedbSearchWidget::onFailed, Qt::QueuedConnection);
    connect(m_thread.get(), &Thread::stopped, this, &FreedbSearchWidget::onFreedbSearchFinish);
    connect(m_musicBrainzThread.get(), &Thread::stopped, this,
            &FreedbSearchWidget::onFreedbSearchFinish);
    connect(m_sourceBox, &QComboBox::activated, this, &FreedbSearchWidget::onSourceChosen);
    connect(this, &FreedbSearchWidget::closed, this, &FreedbSearchWidget::onClose);
}

FreedbSearchWidget::~FreedbSearchWidget()
{
    // The base destructor still closes the window and may repaint the header, which must
    // then no longer ask this half-destroyed panel for its titles.
    m_model->setHeaderListener(nullptr);
    // The object may still be inside a network wait on its thread: stop it (the wait ends
    // within a slice), let the thread end, and only then delete the object and the thread.
    m_thread->stopAndWait();
    m_musicBrainzThread->stopAndWait();
    m_threadObject.reset();
    m_thread.reset();
    m_musicBrainzObject.reset();
    m_musicBrainzThread.reset();
}

void FreedbSearchWidget::setSearchText(const QString &baseName)
{
    QString text = baseName;
    text.replace(u'_', u' ').replace(u'-', u' ');
    text.removeIf([](QChar c) { return c.isDigit(); });
    m_searchField->setText(text);
}

void FreedbSearchWidget::setSourceFile(const QString &mp3Path)
{
    setSearchText(QFileInfo(mp3Path).completeBaseName());
}

void FreedbSearchWidget::setServer(const Freedb::Server &server)
{
    if (!m_thread->isRunning())
        m_threadObject->setServer(server);
}

void FreedbSearchWidget::setMusicBrainzServer(const MusicBrainz::Server &server)
{
    if (!m_musicBrainzThread->isRunning())
        m_musicBrainzObject->setServer(server);
}

void FreedbSearchWidget::setFileLength(int ms)
{
    m_fileLength = ms;
}

void FreedbSearchWidget::setSource(Source source)
{
    m_sourceBox->setCurrentIndex(int(source));
    onSourceChosen(int(source));
}

FreedbSearchWidget::Source FreedbSearchWidget::source() const
{
    return m_sourceBox->currentIndex() == int(Source::Freedb) ? Source::Freedb
                                                              : Source::MusicBrainz;
}

void FreedbSearchWidget::onSourceChosen(int index)
{
    QSettings().setValue(sourceKey, index == int(Source::Freedb) ? freedbName : u"musicbrainz"_s);
}

bool FreedbSearchWidget::anyRunning() const
{
    return m_thread->isRunning() || m_musicBrainzThread->isRunning();
}

bool FreedbSearchWidget::isBusy() const
{
    return !m_searchField->isEnabled();
}

QString FreedbSearchWidget::statusText() const
{
    return m_status->text();
}

QVariant FreedbSearchWidget::headerData(int section, int role) const
{
    if (role == Qt::DisplayRole) {
        if (section == 0)
            return tr("#");
        if (m_shownSource == Source::Freedb)
            return section == 1 ? tr("Artist") : tr("Genre");
        switch (section) {
        case 1:
            return tr("Artist");
        case 2:
            return tr("Title");
        case 3:
            return tr("Year");
        default:
            return tr("Tracks");
        }
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

void FreedbSearchWidget::onClick()
{
    if (!m_searchField->text().isEmpty())
        emit search(m_searchField->text());
}

void FreedbSearchWidget::onSearch(const QString &text)
{
    if (anyRunning())
        return;
    setBusy(true);
    showStatus({});
    m_searching = true;
    m_cutNote.clear();
    if (source() == Source::MusicBrainz) {
        m_musicBrainzObject->setSearchRequest(text);
        m_musicBrainzThread->startWork();
    } else {
        m_threadObject->setSearchRequest(text);
        m_thread->startWork();
    }
}

void FreedbSearchWidget::onListDoubleClick(const QModelIndex &index)
{
    if (!index.isValid() || anyRunning())
        return;
    setBusy(true);
    showStatus({});
    m_searching = false;
    if (m_shownSource == Source::MusicBrainz) {
        if (index.row() >= m_releases.size()) {
            setBusy(false);
            return;
        }
        m_musicBrainzObject->setReadRequest(m_releases.at(index.row()).id);
        m_musicBrainzThread->startWork();
    } else {
        m_threadObject->setReadRequest(index.row());
        m_thread->startWork();
    }
}

void FreedbSearchWidget::onReleasesReady(const MusicBrainz::ReleaseList &releases)
{
    m_model->clear();
    m_shownSource = Source::MusicBrainz;
    m_releases = releases;
    for (qsizetype i = 0; i < releases.size(); ++i) {
        const MusicBrainz::ReleaseSummary &release = releases.at(i);
        m_model->appendItem(std::make_unique<ListItem>(QList<QVariant>{
            int(i + 1), release.artist, release.title, release.year(), release.trackCount}));
    }
    fixNumberColumn();
    if (releases.isEmpty())
        showStatus(tr("No release found."));
}

void FreedbSearchWidget::onReleaseReady(const MusicBrainz::Release &release)
{
    TrackContainer tracks;
    QString reason;
    if (!release.toTracks(&tracks, &reason)) {
        showStatus(tr("The release was not taken: %1.").arg(reason));
        return;
    }
    emit tracksReady(tracks, release.album());
    const qint64 total = release.totalLength();
    if (m_fileLength > 0 && total >= 0 && qAbs(total - m_fileLength) > lengthToleranceMs)
        showStatus(tr("The release lasts %1, the MP3 %2: drag the boundaries to fit.")
                       .arg(TimeText::format(int(total)), TimeText::format(m_fileLength)));
}

void FreedbSearchWidget::onDiscsReady(const Freedb::CDContainer &discs)
{
    m_model->clear();
    m_shownSource = Source::Freedb;
    m_releases.clear();
    for (qsizetype i = 0; i < discs.size(); ++i) {
        const Freedb::CD &disc = discs.at(i);
        auto item = std::make_unique<ListItem>(QList<QVariant>{
            int(i + 1), QString::fromLatin1(disc.title), QString::fromLatin1(disc.genre)});
        m_model->appendItem(std::move(item));
    }
    fixNumberColumn();
    if (discs.isEmpty())
        showStatus(tr("No disc found."));
    else if (!m_cutNote.isEmpty())
        showStatus(m_cutNote);
}

void FreedbSearchWidget::onFailed(const QString &reason)
{
    showStatus(m_searching ? tr("No answer from the server: %1.").arg(reason)
                           : tr("The album was not read: %1.").arg(reason));
}

void FreedbSearchWidget::onFreedbSearchFinish()
{
    setBusy(false);
}

void FreedbSearchWidget::onClose()
{
    if (m_thread->isRunning())
        m_threadObject->stop();
    if (m_musicBrainzThread->isRunning())
        m_musicBrainzObject->stop();
}

void FreedbSearchWidget::paintEvent(QPaintEvent *event)
{
    fixNumberColumn();
    QDockWidget::paintEvent(event);
}

void FreedbSearchWidget::closeEvent(QCloseEvent *event)
{
    emit closed();
    QDockWidget::closeEvent(event);
}

void FreedbSearchWidget::setBusy(bool busy)
{
    m_searchField->setEnabled(!busy);
    m_view->setEnabled(!busy);
}

void FreedbSearchWidget::showStatus(const QString &text)
{
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

void FreedbSearchWidget::fixNumberColumn()
{
    QHeaderView *header = m_view->header();
    if (header->count() == 0)
        return;
    if (header->sectionResizeMode(0) != QHeaderView::Fixed)
        header->setSectionResizeMode(0, QHeaderView::Fixed);
    // The style's minimum section size is wider than the number column.
    if (header->minimumSectionSize() > numberColumnWidth)
        header->setMinimumSectionSize(numberColumnWidth);
    if (header->sectionSize(0) != numberColumnWidth)
        header->resizeSection(0, numberColumnWidth);
}
