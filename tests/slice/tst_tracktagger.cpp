#include <QDir>
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
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include "encodedaudio.h"
#include "slice/trackname.h"
#include "slicerun.h"

using namespace Qt::StringLiterals;

namespace {

TagLib::String text(const QString &value)
{
    return TagLib::String(value.toUtf8().constData(), TagLib::String::UTF8);
}

QString qtText(const TagLib::String &value)
{
    return QString::fromStdString(value.to8Bit(true));
}

// Any bytes will do for a picture: they must arrive unchanged, not decode.
const QByteArray coverBytes = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(3000, 'c');

// Tags the source as a ripper or a player would: album fields, a front cover, and the whole
// file's replay gain, which must not reach a track.
bool tagSource(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    TagLib::PropertyMap properties;
    properties["TITLE"] = text(u"Whole Album"_s);
    properties["ALBUM"] = text(u"Source Album"_s);
    properties["DATE"] = text(u"1987"_s);
    properties["GENRE"] = text(u"Jazz"_s);
    properties["COMPOSER"] = text(u"Composer"_s);
    properties["REPLAYGAIN_TRACK_GAIN"] = text(u"-7.5 dB"_s);
    tag->setProperties(properties);
    auto *cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    cover->setMimeType("image/jpeg");
    cover->setPicture(TagLib::ByteVector(coverBytes.constData(), uint(coverBytes.size())));
    tag->addFrame(cover);
    auto *volume = new TagLib::ID3v2::RelativeVolumeFrame;
    volume->setVolumeAdjustment(-7.5f);
    tag->addFrame(volume);
    return file.save(TagLib::MPEG::File::ID3v2);
}

bool tagSourceId3v1(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    TagLib::ID3v1::Tag *tag = file.ID3v1Tag(true);
    tag->setAlbum("Old Album");
    tag->setYear(1975);
    tag->setGenre("Blues");
    return file.save(TagLib::MPEG::File::ID3v1);
}

// An APE cover item is a file name, a zero byte and the image.
bool tagSourceApe(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    TagLib::APE::Tag *tag = file.APETag(true);
    tag->setAlbum("Ape Album");
    tag->setYear(1980);
    tag->setData("COVER ART (FRONT)",
                 TagLib::ByteVector("front.jpg", 10)
                     + TagLib::ByteVector(coverBytes.constData(), uint(coverBytes.size())));
    return file.save(TagLib::MPEG::File::APE);
}

// The format tags ffprobe reads, lower-cased keys.
QJsonObject probedTags(const QString &path)
{
    QProcess probe;
    probe.start(
        u"ffprobe"_s,
        {u"-v"_s, u"error"_s, u"-show_entries"_s, u"format_tags"_s, u"-of"_s, u"json"_s, path});
    if (!probe.waitForFinished(30000))
        return {};
    const QJsonObject tags =
        QJsonDocument::fromJson(probe.readAllStandardOutput())[u"format"_s][u"tags"_s].toObject();
    QJsonObject lower;
    for (auto it = tags.begin(); it != tags.end(); ++it)
        lower.insert(it.key().toLower(), it.value());
    return lower;
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
    QTest::addColumn<int>(
        "sourceTags"); // 0 none, 1 ID3v2 with a cover, 2 ID3v1, 3 APE with a cover
    QTest::addColumn<Album>("album");
    QTest::addColumn<QStringList>("expected"); // album, album artist, year, genre, composer

    Album sheet;
    sheet.album = u"Sheet \u00c4lbum \u65e5\u672c"_s;
    sheet.albumArtist = u"Sheet Band"_s;
    sheet.year = u"2001"_s;
    sheet.genre = u"Rock"_s;
    QTest::newRow("a sheet with every field, untagged source")
        << 0 << sheet
        << QStringList{u"Sheet \u00c4lbum \u65e5\u672c"_s, u"Sheet Band"_s, u"2001"_s, u"Rock"_s,
                       QString()};
    QTest::newRow("no sheet: the source's tags and cover")
        << 1 << Album()
        << QStringList{u"Source Album"_s, QString(), u"1987"_s, u"Jazz"_s, u"Composer"_s};
    Album titleOnly;
    titleOnly.album = u"Sheet Title"_s;
    QTest::newRow("the sheet's TITLE wins over the source's album")
        << 1 << titleOnly
        << QStringList{u"Sheet Title"_s, QString(), u"1987"_s, u"Jazz"_s, u"Composer"_s};
    QTest::newRow("an ID3v1 source")
        << 2 << Album() << QStringList{u"Old Album"_s, QString(), u"1975"_s, u"Blues"_s, QString()};
    QTest::newRow("an APE source with a cover")
        << 3 << Album() << QStringList{u"Ape Album"_s, QString(), u"1980"_s, QString(), QString()};
}

void tst_TrackTagger::everyTrackCarriesTheAlbum()
{
    QFETCH(int, sourceTags);
    QFETCH(Album, album);
    QFETCH(QStringList, expected);
    if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffprobe"_s))
        QSKIP("lame and ffprobe are needed");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(u"album.mp3"_s);
    QString error;
    QVERIFY2(EncodedAudio::encode(source, {{2.0, 440.0}, {2.0, 660.0}, {2.0, 880.0}}, 44100, 2,
                                  {u"-V2"_s}, &error),
             qPrintable(error));
    if (sourceTags == 1)
        QVERIFY(tagSource(source));
    if (sourceTags == 2)
        QVERIFY(tagSourceId3v1(source));
    if (sourceTags == 3)
        QVERIFY(tagSourceApe(source));
    const bool withCover = sourceTags == 1 || sourceTags == 3;
    QFile sourceFile(source);
    QVERIFY(sourceFile.open(QIODevice::ReadOnly));
    const QByteArray sourceBytes = sourceFile.readAll();

    // Tracks 1 and 3 of a list of three are ticked: N is still 3.
    const TrackContainer tracks{Track{u"One"_s, u"Band"_s, 1, 0, 2000},
                                Track{u"Three"_s, u"Band"_s, 3, 4000, 6000}};
    SliceRun run;
    QVERIFY(run.open(source));
    run.object.setAlbum(album);
    run.object.setTrackTotal(3);
    run.begin(dir.path(), tracks);
    QVERIFY(run.waitForEnd());
    QVERIFY(sourceFile.seek(0));
    QCOMPARE(sourceFile.readAll(), sourceBytes);

    for (const Track &track : tracks) {
        const QString path =
            dir.filePath(TrackName::fileName(TrackName{track.artist, track.title, track.number}));
        const QString position = u"%1/3"_s.arg(track.number);
        const QStringList probeKeys{u"album"_s, u"album_artist"_s, u"date"_s, u"genre"_s,
                                    u"composer"_s};
        const QJsonObject probed = probedTags(path);
        QCOMPARE(probed.value(u"track"_s).toString(), position);
        QCOMPARE(probed.value(u"title"_s).toString(), track.title);
        for (qsizetype i = 0; i < probeKeys.size(); ++i)
            QCOMPARE(probed.value(probeKeys.at(i)).toString(), expected.at(i));

        TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
        QVERIFY(file.hasID3v2Tag());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
        QCOMPARE(tag->header()->majorVersion(), 3u);
        const TagLib::PropertyMap properties = tag->properties();
        QCOMPARE(qtText(tag->album()), expected.at(0));
        QCOMPARE(qtText(properties["ALBUMARTIST"].toString()), expected.at(1));
        QCOMPARE(qtText(properties["TRACKNUMBER"].toString()), position);
        QCOMPARE(QString::number(tag->year()), expected.at(2));
        QCOMPARE(qtText(tag->genre()), expected.at(3));
        // The whole file's gain and title describe another piece of audio.
        QVERIFY(!properties.contains("REPLAYGAIN_TRACK_GAIN"));
        QVERIFY(tag->frameList("RVA2").isEmpty());
        const TagLib::ID3v2::FrameList pictures = tag->frameList("APIC");
        QCOMPARE(pictures.size(), withCover ? 1u : 0u);
        if (withCover) {
            const auto *picture =
                dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(pictures.front());
            QVERIFY(picture);
            const TagLib::ByteVector bytes = picture->picture();
            QCOMPARE(QByteArray(bytes.data(), qsizetype(bytes.size())), coverBytes);
        } else if (sourceTags == 0) {
            // Filled in place: the reserved kilobyte is still the whole tag.
            QCOMPARE(tag->header()->completeTagSize(), 1034u);
        }
    }
}

QTEST_GUILESS_MAIN(tst_TrackTagger)
#include "tst_tracktagger.moc"
