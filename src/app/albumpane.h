#pragma once

#include <QWidget>

#include <array>

#include "tracks/album.h"

class QLineEdit;

// One row of the album fields the next slice tags: album, album artist, year and genre.
// Shows an album; tells when the user has finished editing one of its fields.
class AlbumPane final : public QWidget
{
    Q_OBJECT

public:
    explicit AlbumPane(QWidget *parent = nullptr);

    // Shows the album's fields; a field being typed in is left as it is when unchanged.
    void setAlbum(const Album &album);
    // The given album with the four fields as they stand in the pane.
    Album applyTo(Album album) const;

signals:
    void edited();

private:
    // Album, album artist, year, genre.
    std::array<QLineEdit *, 4> m_edits{};
};
