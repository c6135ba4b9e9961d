#include "tracks/trackdatadialog.h"

#include "tracks/timetext.h"
#include "tracks/tracklist.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLineEdit *addRow(QWidget *container, QFormLayout *form, int row, const QString &name,
                  const QString &text)
{
    auto *label = new QLabel(text, container);
    label->setObjectName(name + u"Label"_s);
    auto *field = new QLineEdit(container);
    field->setObjectName(name + u"LineEdit"_s);
    form->setWidget(row, QFormLayout::LabelRole, label);
    form->setWidget(row, QFormLayout::FieldRole, field);
    return field;
}

} // namespace

TrackDataDialog::TrackDataDialog(QWidget *parent)
    : QDialog(parent, Qt::MSWindowsFixedSizeDialogHint)
{
    if (objectName().isEmpty())
        setObjectName(u"TrackDataDialog"_s);
    setModal(false);
    resize(355, 170);
    setMinimumSize(355, 170);
    setMaximumSize(355, 170);

    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(u"verticalLayout"_s);

    auto *groupBox = new QGroupBox(this);
    groupBox->setObjectName(u"groupBox"_s);
    groupBox->setFlat(false);
    groupBox->setTitle(QString());

    // A fixed geometry inside the group box, not a layout: the dialog never resizes.
    auto *formLayoutWidget = new QWidget(groupBox);
    formLayoutWidget->setObjectName(u"formLayoutWidget"_s);
    formLayoutWidget->setGeometry(QRect(12, 9, 313, 109));

    auto *formLayout = new QFormLayout(formLayoutWidget);
    formLayout->setObjectName(u"formLayout"_s);
    formLayout->setSizeConstraint(QLayout::SetDefaultConstraint);
    formLayout->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    formLayout->setVerticalSpacing(4);
    formLayout->setContentsMargins(0, 3, 0, 0);

    m_artistLineEdit = addRow(formLayoutWidget, formLayout, 0, u"artist"_s, tr("Artist:"));
    m_titleLineEdit = addRow(formLayoutWidget, formLayout, 1, u"title"_s, tr("Title:"));
    m_startLineEdit = addRow(formLayoutWidget, formLayout, 2, u"start"_s, tr("Start:"));
    m_startLineEdit->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_endLineEdit = addRow(formLayoutWidget, formLayout, 3, u"end"_s, tr("End:"));
    m_endLineEdit->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    verticalLayout->addWidget(groupBox);

    auto *buttonBox = new QDialogButtonBox(this);
    buttonBox->setObjectName(u"buttonBox"_s);
    buttonBox->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    verticalLayout->addWidget(buttonBox);

    setWindowTitle(tr("Add"));
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TrackDataDialog::~TrackDataDialog() = default;

bool TrackDataDialog::editTrack(QWidget *parent, const QString &windowTitle, int row,
                                const QString &artist, const QString &title, const QString &start,
                                const QString &end)
{
    return run(parent, windowTitle, row, artist, title, start, end, false);
}

bool TrackDataDialog::run(QWidget *parent, const QString &windowTitle, int row,
                          const QString &artist, const QString &title, const QString &start,
                          const QString &end, bool addUnchanged)
{
    TrackList *list = TrackList::instance();
    QString shownArtist = artist;
    QString shownTitle = title;
    QString shownStart = start;
    QString shownEnd = end;
    // Taken as unsigned, "no row" and -1 both fall past the end of the list.
    if (row != NoRow && static_cast<unsigned>(row) < static_cast<unsigned>(list->count())) {
        const Track track = list->trackAt(row);
        shownArtist = track.artist;
        shownTitle = track.title;
        shownStart = TimeText::format(track.start);
        shownEnd = TimeText::format(track.end);
    }

    QPointer<TrackDataDialog> dialog = new TrackDataDialog(parent);
    dialog->setWindowTitle(windowTitle);
    dialog->setArtist(shownArtist);
    dialog->setTitle(shownTitle);
    dialog->setStart(shownStart);
    dialog->setEnd(shownEnd);
    const int result = dialog->exec();
    // The parent may have gone while the dialog ran, taking the dialog with it.
    if (!dialog)
        return false;

    const QString newArtist = dialog->artist();
    const QString newTitle = dialog->title();
    const QString newStart = dialog->start();
    const QString newEnd = dialog->end();
    delete dialog;

    if (result != QDialog::Accepted)
        return false;
    if (!addUnchanged && newArtist == shownArtist && newTitle == shownTitle
        && newStart == shownStart && newEnd == shownEnd)
        return false;

    Track track;
    track.title = newTitle;
    track.artist = newArtist;
    track.number = 0;
    bool startOk = false;
    bool endOk = false;
    track.start = TimeText::parse(newStart, &startOk);
    track.end = TimeText::parse(newEnd, &endOk);
    if (!startOk || !endOk)
        return false;
    return list->addTrack(track);
}

bool TrackDataDialog::editTrackAt(QWidget *parent, const QString &windowTitle, int ms)
{
    const TrackList *list = TrackList::instance();
    QString artist;
    QString title;
    int end = ms;
    for (int i = 0; i < list->count(); ++i) {
        const Track track = list->trackAt(i);
        const bool last = i == list->count() - 1;
        if (ms < track.start) {
            end = track.start;
            break;
        }
        if (ms < track.end || last) {
            artist = track.artist;
            title = track.title;
            end = track.end;
            break;
        }
    }
    return run(parent, windowTitle, -1, artist, title, TimeText::format(ms), TimeText::format(end),
               true);
}

QString TrackDataDialog::artist() const
{
    return m_artistLineEdit->text();
}

void TrackDataDialog::setArtist(const QString &artist)
{
    m_artistLineEdit->setText(artist);
}

QString TrackDataDialog::title() const
{
    return m_titleLineEdit->text();
}

void TrackDataDialog::setTitle(const QString &title)
{
    m_titleLineEdit->setText(title);
}

QString TrackDataDialog::start() const
{
    return m_startLineEdit->text();
}

void TrackDataDialog::setStart(const QString &start)
{
    m_startLineEdit->setText(start);
}

QString TrackDataDialog::end() const
{
    return m_endLineEdit->text();
}

void TrackDataDialog::setEnd(const QString &end)
{
    m_endLineEdit->setText(end);
}
