#pragma once

#include "tracks/track.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// Fixed-size dialog for one track: artist, title, start and end as texts, in any form
// TimeText reads. A time that does not read, a start not before its end or a time past the
// file's end is named below the fields and OK is disabled; a change the track list refuses
// is named there too and the dialog stays open, so nothing typed is lost.
class TrackDataDialog final : public QDialog
{
    Q_OBJECT

public:
    // The row value meaning "no row": fields keep the given initial texts.
    static constexpr int NoRow = 2147483647;

    explicit TrackDataDialog(QWidget *parent = nullptr);
    ~TrackDataDialog() override;

    // Fills a dialog (from the track at row when the row is valid), runs it modally and
    // hands a changed result to TrackList::editTrack for that row, or to addTrack without
    // one. Returns whether the list took it.
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
    // Times past this (ms) are refused; 0 means unknown.
    void setFileLength(int ms);
    // What keeps OK from taking the fields; empty when nothing does.
    QString problem() const;

public slots:
    // Closes only when the fields read and the track list took them.
    void accept() override;

private:
    // Called by OK with the fields read; false keeps the dialog open with *why shown.
    using Apply = std::function<bool(const Track &track, QString *why)>;

    bool readFields(Track *track, QString *problem, QLineEdit **field) const;
    void checkFields();
    void showProblem(const QString &problem, QLineEdit *field);

    static bool run(QWidget *parent, const QString &windowTitle, int row, const QString &artist,
                    const QString &title, const QString &start, const QString &end,
                    bool addUnchanged);

    QLineEdit *m_artistLineEdit = nullptr;
    QLineEdit *m_titleLineEdit = nullptr;
    QLineEdit *m_startLineEdit = nullptr;
    QLineEdit *m_endLineEdit = nullptr;
    QLabel *m_problemLabel = nullptr;
    QPushButton *m_okButton = nullptr;
    int m_fileLength = 0;
    Apply m_apply;
};
