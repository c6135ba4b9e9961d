#include "app/albumpane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <utility>

using namespace Qt::StringLiterals;

AlbumPane::AlbumPane(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"albumPane"_s);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    const std::array<std::pair<const char *, QString>, 4> fields{{
        {"albumEdit", tr("Album")},
        {"albumArtistEdit", tr("Album artist")},
        {"yearEdit", tr("Year")},
        {"genreEdit", tr("Genre")},
    }};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        auto *label = new QLabel(fields[i].second, this);
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(fields[i].first));
        edit->setPlaceholderText(tr("from the source"));
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit, i == 2 ? 1 : 3);
        connect(edit, &QLineEdit::editingFinished, this, &AlbumPane::edited);
        m_edits[i] = edit;
    }
}

void AlbumPane::setAlbum(const Album &album)
{
    const QString texts[] = {album.album, album.albumArtist, album.year, album.genre};
    for (std::size_t i = 0; i < m_edits.size(); ++i) {
        if (m_edits[i]->text() != texts[i])
            m_edits[i]->setText(texts[i]);
    }
}

Album AlbumPane::applyTo(Album album) const
{
    album.album = m_edits[0]->text().trimmed();
    album.albumArtist = m_edits[1]->text().trimmed();
    album.year = m_edits[2]->text().trimmed();
    album.genre = m_edits[3]->text().trimmed();
    return album;
}
