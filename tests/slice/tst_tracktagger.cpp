#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/relativevolumeframe.h>
#include <taglib/tpropertymap.h>

#include "encodedaudio.h"
#include "slice/trackname.h"
#include "slicerun.h"

using namespace Qt::StringLiterals;

namespace {

// Any bytes will do for a picture: they must arrive unchanged, not decode.
const QByteArray coverBytes = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(3000, 'c');
const TagLib::ByteVector cover(coverBytes.constData(), uint(coverBytes.size()));

enum class SourceTags {
    None,
    Id3v2,
    Id3v1,
    Ape
};

// Tags the source as rippers and players do; the ID3v2 tag also holds the whole file's title
// and replay gain, which must not reach a track.
bool tagSource(const QString &path, SourceTags kind)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (kind == SourceTags::Id3v2) {
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        TagLib::PropertyMap properties;
        for (const auto &[key, value] : {std::pair{"TITLE", "Whole"},
                                         {"ALBUM", "Source Album"},
                                         {"DATE", "1987"},
                                         {"GENRE", "Jazz"},
                                         {"COMPOSER", "Composer"},
                                         {"REPLAYGAIN_TRACK_GAIN", "-7 dB"}})
            properties[key] = TagLib::String(value);
        tag->setProperties(properties);
        auto *picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setPicture(cover);
        tag->addFrame(picture);
        tag->addFrame(new TagLib::ID3v2::RelativeVolumeFrame);
    } else if (kind == SourceTags::Id3v1) {
        file.ID3v1Tag(true)->setAlbum("Old Album");
        file.ID3v1Tag()->setYear(1975);
        file.ID3v1Tag()->setGenre("Blues");
    } else if (kind == SourceTags::Ape) {
        file.APETag(true)->setAlbum("Ape Album");
        file.APETag()->setYear(1980);
        // A file name, a zero byte and the image.
        file.APETag()->setData("COVER ART (FRONT)", TagLib::ByteVector("f.jpg", 6) + cover);
    }
    return file.save();
}

QString text(const TagLib::String &value)
{
    return QString::fromStdString(value.to8Bit(true));
}

// album, album artist, track, year, genre, composer as ffprobe reads them.
QStringList probed(const QString &path)
{
    QProcess probe;
    probe.start(
        u"ffprobe"_s,
        {u"-v"_s, u"error"_s, u"-show_entries"_s, u"format_tags"_s, u"-of"_s, u"json"_s, path});
    probe.waitForFinished(30000);
    const QJsonObject tags =
        QJsonDocument::fromJson(probe.readAllStandardOutput())[u"format"_s][u"tags"_s].toObject();
    QStringList values;
    for (const char *key : {"album", "album_artist", "track", "date", "genre", "composer"})
        values << tags.value(QLatin1StringView(key)).toString();
    return values;
}

} // namespace

class tst_TrackTagger : public QObject
{
    Q_OBJECT

private slots:
    void everyTrackCarriesTheAlbum_data();
    void everyTrackCarriesTheAlbum();
};

void tst_TrackTagger::everyTrackCarriesTheAlbum_data()
{
    QTest::addColumn<SourceTags>("sourceTags");
    QTest::addColumn<Album>("album");
    // album, album artist, year, genre, composer
    QTest::addColumn<QStringList>("expected");

    Album sheet;
    sheet.album = u"Sheet \u00c4lbum \u65e5\u672c"_s;
    sheet.albumArtist = u"Sheet Band"_s;
    sheet.year = u"2001"_s;
    sheet.genre = u"Rock"_s;
    QTest::newRow("a sheet with every field, untagged source")
        << SourceTags::None << sheet
        << QStringList{sheet.album, u"Sheet Band"_s, u"2001"_s, u"Rock"_s, {}};
    QTest::newRow("no sheet: the source's ID3v2 tags and cover")
        << SourceTags::Id3v2 << Album()
        << QStringList{u"Source Album"_s, {}, u"1987"_s, u"Jazz"_s, u"Composer"_s};
    Album titleOnly;
    titleOnly.album = u"Sheet Title"_s;
    QTest::newRow("the sheet's TITLE wins over the source's album")
        << SourceTags::Id3v2 << titleOnly
        << QStringList{u"Sheet Title"_s, {}, u"1987"_s, u"Jazz"_s, u"Composer"_s};
    QTest::newRow("an ID3v1 source") << SourceTags::Id3v1 << Album()
                                     << QStringList{u"Old Album"_s, {}, u"1975"_s, u"Blues"_s, {}};
    QTest::newRow("an APE source with a cover")
        << SourceTags::Ape << Album() << QStringList{u"Ape Album"_s, {}, u"1980"_s, {}, {}};
}

void tst_TrackTagger::everyTrackCarriesTheAlbum()
{
    QFETCH(SourceTags, sourceTags);
    QFETCH(Album, album);
    QFETCH(QStringList, expected);
    if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffprobe"_s))
        QSKIP("lame and ffprobe are needed");

    QTemporaryDir dir;
    const QString source = dir.filePath(u"album.mp3"_s);
    QVERIFY(EncodedAudio::encode(source, {{2.0, 440.0}, {2.0, 660.0}, {2.0, 880.0}}, 44100, 2,
                                 {u"-V2"_s}));
    QVERIFY(sourceTags == SourceTags::None || tagSource(source, sourceTags));
    const bool withCover = sourceTags == SourceTags::Id3v2 || sourceTags == SourceTags::Ape;

    // Tracks 1 and 3 of a list of three are ticked: N is still 3.
    const TrackContainer tracks{Track{u"One"_s, u"Band"_s, 1, 0, 2000},
                                Track{u"Three"_s, u"Band"_s, 3, 4000, 6000}};
    SliceRun run;
    QVERIFY(run.open(source));
    run.object.setAlbum(album);
    run.object.setTrackTotal(3);
    run.begin(dir.path(), tracks);
    QVERIFY(run.waitForEnd());

    for (const Track &track : tracks) {
        const QString path =
            dir.filePath(TrackName::fileName(TrackName{track.artist, track.title, track.number}));
        QStringList wanted = expected;
        wanted.insert(2, u"%1/3"_s.arg(track.number));
        QCOMPARE(probed(path), wanted);

        TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
        QVERIFY(file.hasID3v2Tag());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
        QCOMPARE(tag->header()->majorVersion(), 3u);
        const TagLib::PropertyMap read = tag->properties();
        QStringList values;
        for (const char *key : {"ALBUM", "ALBUMARTIST", "TRACKNUMBER", "DATE", "GENRE", "COMPOSER"})
            values << (read.contains(key) ? text(read[key].front()) : QString());
        QCOMPARE(values, wanted);
        // The whole file's title and gain describe other audio.
        QCOMPARE(text(tag->title()), track.title);
        QVERIFY(!read.contains("REPLAYGAIN_TRACK_GAIN") && tag->frameList("RVA2").isEmpty());
        const TagLib::ID3v2::FrameList pictures = tag->frameList("APIC");
        QCOMPARE(pictures.size(), withCover ? 1u : 0u);
        if (withCover)
            QVERIFY(static_cast<TagLib::ID3v2::AttachedPictureFrame *>(pictures.front())->picture()
                    == cover);
        // Filled in place: without a cover the reserved kilobyte is still the whole tag.
        if (sourceTags == SourceTags::None)
            QCOMPARE(tag->header()->completeTagSize(), 1034u);
    }
}

QTEST_GUILESS_MAIN(tst_TrackTagger)
#include "tst_tracktagger.moc"
