#include "app/freedbsearchwidget.h"

#include "app/buttonlineedit.h"
#include "freedb/freedbsearchthreadobject.h"
#include "threads/thread.h"
#include "tracks/listitem.h"
#include "tracks/listview.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int numberColumnWidth = 20;
}

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
{
    setObjectName(QStringLiteral("freedbSearchWidget"));
    setWindowTitle(tr("Search"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);

    auto *content = new DockContentWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_searchField = new ButtonLineEdit(tr("Search"), content);
    m_model = new ListModel({}, this);
    m_model->setHeaderListener(this);
    m_view = new ListView(content);
    m_view->setModel(m_model);
    m_status = new QLabel(content);
    m_status->setObjectName(QStringLiteral("freedbStatusLabel"));
    m_status->setWordWrap(true);
    m_status->hide();
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
    connect(m_thread.get(), &Thread::stopped, this, &FreedbSearchWidget::onFreedbSearchFinish);
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
    m_threadObject.reset();
    m_thread.reset();
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
        return section == 1 ? tr("Artist") : tr("Genre");
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
    if (m_thread->isRunning())
        return;
    setBusy(true);
    showStatus({});
    m_searching = true;
    m_threadObject->setSearchRequest(text);
    m_thread->startWork();
}

void FreedbSearchWidget::onListDoubleClick(const QModelIndex &index)
{
    if (!index.isValid() || m_thread->isRunning())
        return;
    setBusy(true);
    showStatus({});
    m_searching = false;
    m_threadObject->setReadRequest(index.row());
    m_thread->startWork();
}

void FreedbSearchWidget::onDiscsReady(const Freedb::CDContainer &discs)
{
    m_model->clear();
    for (qsizetype i = 0; i < discs.size(); ++i) {
        const Freedb::CD &disc = discs.at(i);
        auto item = std::make_unique<ListItem>(QList<QVariant>{
            int(i + 1), QString::fromLatin1(disc.title), QString::fromLatin1(disc.genre)});
        m_model->appendItem(std::move(item));
    }
    fixNumberColumn();
    if (discs.isEmpty())
        showStatus(tr("No disc found."));
}

void FreedbSearchWidget::onFailed(const QString &reason)
{
    showStatus(m_searching ? tr("No answer from the server: %1.").arg(reason)
                           : tr("The disc was not read: %1.").arg(reason));
}

void FreedbSearchWidget::onFreedbSearchFinish()
{
    setBusy(false);
}

void FreedbSearchWidget::onClose()
{
    if (m_thread->isRunning())
        m_threadObject->stop();
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
