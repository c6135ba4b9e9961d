#include "tracks/trackdatadialog.h"

#include "tracks/timetext.h"
#include "tracks/tracklist.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
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
    resize(355, 195);
    setMinimumSize(355, 195);
    setMaximumSize(355, 195);

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

    m_problemLabel = new QLabel(this);
    m_problemLabel->setObjectName(u"problemLabel"_s);
    QPalette warning = m_problemLabel->palette();
    warning.setColor(QPalette::WindowText, QColor(190, 0, 0));
    m_problemLabel->setPalette(warning);
    verticalLayout->addWidget(m_problemLabel);

    auto *buttonBox = new QDialogButtonBox(this);
    buttonBox->setObjectName(u"buttonBox"_s);
    buttonBox->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    verticalLayout->addWidget(buttonBox);

    m_okButton = buttonBox->button(QDialogButtonBox::Ok);

    setWindowTitle(tr("Add"));
    connect(buttonBox, &QDialogButtonBox::accepted, this, &TrackDataDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_startLineEdit, &QLineEdit::textChanged, this, &TrackDataDialog::checkFields);
    connect(m_endLineEdit, &QLineEdit::textChanged, this, &TrackDataDialog::checkFields);
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
    const int fileLength = list->fileLength();
    QString shownArtist = artist;
    QString shownTitle = title;
    QString shownStart = start;
    QString shownEnd = end;
    // Taken as unsigned, "no row" and -1 both fall past the end of the list.
    const bool editing =
        row != NoRow && static_cast<unsigned>(row) < static_cast<unsigned>(list->count());
    if (editing) {
        const Track track = list->trackAt(row);
        shownArtist = track.artist;
        shownTitle = track.title;
        shownStart = TimeText::format(track.start, fileLength);
        shownEnd = TimeText::format(track.end, fileLength);
    }

    QPointer<TrackDataDialog> dialog = new TrackDataDialog(parent);
    dialog->setWindowTitle(windowTitle);
    dialog->setFileLength(fileLength);
    dialog->setArtist(shownArtist);
    dialog->setTitle(shownTitle);
    dialog->setStart(shownStart);
    dialog->setEnd(shownEnd);
    bool applied = false;
    dialog->m_apply = [&](const Track &track, QString *why) {
        const bool sameTexts = dialog->artist() == shownArtist && dialog->title() == shownTitle
            && dialog->start() == shownStart && dialog->end() == shownEnd;
        // Only what the fields show counts: not the number, not the tick.
        Track before = list->trackAt(row);
        before.number = track.number;
        before.ticked = track.ticked;
        if ((sameTexts && !addUnchanged) || (editing && track == before))
            return true;
        applied = editing ? list->editTrack(row, track, why) : list->addTrack(track);
        if (!applied && !editing && why)
            *why = tr("The track could not be added.");
        return applied;
    };
    dialog->exec();
    // The parent may have gone while the dialog ran, taking the dialog with it.
    delete dialog;
    return applied;
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
    const int length = list->fileLength();
    return run(parent, windowTitle, -1, artist, title, TimeText::format(ms, length),
               TimeText::format(end, length), true);
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

void TrackDataDialog::setFileLength(int ms)
{
    m_fileLength = ms;
    checkFields();
}

QString TrackDataDialog::problem() const
{
    return m_problemLabel->text();
}

bool TrackDataDialog::readFields(Track *track, QString *problem, QLineEdit **field) const
{
    track->artist = artist();
    track->title = title();
    bool startOk = false;
    bool endOk = false;
    track->start = TimeText::parse(start(), &startOk);
    track->end = TimeText::parse(end(), &endOk);
    const QString forms = tr("a time such as 4:30, 1:05:00 or 75.5");
    if (!startOk) {
        *problem = tr("Start needs %1.").arg(forms);
        *field = m_startLineEdit;
    } else if (!endOk) {
        *problem = tr("End needs %1.").arg(forms);
        *field = m_endLineEdit;
    } else if (m_fileLength > 0 && track->start >= m_fileLength) {
        *problem = tr("Start is past the file's end (%1).")
                       .arg(TimeText::format(m_fileLength, m_fileLength));
        *field = m_startLineEdit;
    } else if (track->end <= track->start) {
        *problem = tr("Start must be before End.");
        *field = m_startLineEdit;
    } else if (m_fileLength > 0 && track->end > m_fileLength) {
        *problem = tr("End is past the file's end (%1).")
                       .arg(TimeText::format(m_fileLength, m_fileLength));
        *field = m_endLineEdit;
    } else {
        return true;
    }
    return false;
}

void TrackDataDialog::checkFields()
{
    Track track;
    QString problem;
    QLineEdit *field = nullptr;
    readFields(&track, &problem, &field);
    showProblem(problem, field);
    m_okButton->setEnabled(problem.isEmpty());
}

void TrackDataDialog::accept()
{
    Track track;
    QString problem;
    QLineEdit *field = nullptr;
    if (!readFields(&track, &problem, &field)) {
        showProblem(problem, field);
        return;
    }
    if (m_apply && !m_apply(track, &problem)) {
        showProblem(problem, nullptr);
        return;
    }
    QDialog::accept();
}

void TrackDataDialog::showProblem(const QString &problem, QLineEdit *field)
{
    m_problemLabel->setText(problem);
    for (QLineEdit *edit : {m_startLineEdit, m_endLineEdit}) {
        QPalette marked = palette();
        if (edit == field)
            marked.setColor(QPalette::Text, QColor(190, 0, 0));
        edit->setPalette(marked);
    }
}
