#pragma once

#include <QDialog>

class QLineEdit;

// Fixed-size dialog for one track: artist, title, start and end as texts. Keeps no data
// besides its four fields; times are in the TimeText form.
class TrackDataDialog final : public QDialog
{
    Q_OBJECT

public:
    // The row value meaning "no row": fields keep the given initial texts.
    static constexpr int NoRow = 2147483647;

    explicit TrackDataDialog(QWidget *parent = nullptr);
    ~TrackDataDialog() override;

    // Fills a dialog (from the track at row when the row is valid), runs it modally and
    // hands a changed, parseable result to TrackList::addTrack. Returns whether it did.
    static bool editTrack(QWidget *parent, const QString &windowTitle, int row,
                          const QString &artist, const QString &title, const QString &start,
                          const QString &end);

    // The waveform click: offers a track from ms to the end of the track under the click
    // (the last track when the click lies past it), named like that track. In a gap
    // between tracks it offers the gap, unnamed, rather than swallowing the next track.
    // The offer is a new track, so OK adds it even when no field was changed.
    static bool editTrackAt(QWidget *parent, const QString &windowTitle, int ms);

    QString artist() const;
    void setArtist(const QString &artist);
    QString title() const;
    void setTitle(const QString &title);
    QString start() const;
    void setStart(const QString &start);
    QString end() const;
    void setEnd(const QString &end);

private:
    static bool run(QWidget *parent, const QString &windowTitle, int row, const QString &artist,
                    const QString &title, const QString &start, const QString &end,
                    bool addUnchanged);

    QLineEdit *m_artistLineEdit = nullptr;
    QLineEdit *m_titleLineEdit = nullptr;
    QLineEdit *m_startLineEdit = nullptr;
    QLineEdit *m_endLineEdit = nullptr;
};
