// mavlor-cli's album side end to end: the sheet command on a file made by lame, and a split
// that carries the source's own tags and cover to every track, read back with TagLib.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include "clirun.h"
#include "encodedaudio.h"

using namespace Qt::StringLiterals;

namespace {

const QByteArray coverBytes = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(2000, 'p');

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString qtText(const TagLib::String &text)
{
    return QString::fromStdString(text.to8Bit(true));
}

} // namespace

class tst_MavlorCliAlbum : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sheetCommand_data();
    void sheetCommand();
    void savedSheetReadsBackToItself();
    void splitWithoutSheetCarriesSourceTags();

private:
    QTemporaryDir m_dir;
    QString m_album;
    QString m_sheet;
};

void tst_MavlorCliAlbum::initTestCase()
{
    m_album = m_dir.filePath(u"album.mp3"_s);
    QString error;
    QVERIFY2(EncodedAudio::encode(m_album, {{4.0, 330.0}, {4.0, 550.0}, {4.0, 770.0}}, 44100, 2,
                                  {u"-V2"_s}, &error),
             qPrintable(error));
    TagLib::MPEG::File file(QFile::encodeName(m_album).constData(), false);
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    tag->setAlbum("Source Album");
    tag->setYear(1987);
    tag->setGenre("Jazz");
    auto *cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setMimeType("image/png");
    cover->setPicture(TagLib::ByteVector(coverBytes.constData(), uint(coverBytes.size())));
    tag->addFrame(cover);
    QVERIFY(file.save(TagLib::MPEG::File::ID3v2));

    m_sheet = m_dir.filePath(u"given.cue"_s);
    QFile sheet(m_sheet);
    QVERIFY(sheet.open(QIODevice::WriteOnly));
    sheet.write("REM GENRE Jazz\nREM DATE 1999\nPERFORMER \"Sheet Band\"\nTITLE \"Sheet "
                "\xC3\x84lbum\"\nFILE \"album.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Say \"Hi\"\"\n"
                "    INDEX 01 00:04:00\n");
}

void tst_MavlorCliAlbum::sheetCommand_data()
{
    QTest::addColumn<QStringList>("arguments"); // after "sheet album.mp3"; %cue is the sheet
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines"); // standard output lines, or the error's text

    QTest::newRow("a sheet with every field")
        << QStringList{u"--cue"_s, u"%cue"_s} << 0
        << QStringList{u"REM GENRE Jazz"_s,           u"REM DATE 1999"_s,
                       u"PERFORMER \"Sheet Band\""_s, u"TITLE \"Sheet \u00c4lbum\""_s,
                       u"FILE \"album.mp3\" MP3"_s,   u"  TRACK 01 AUDIO"_s,
                       u"    TITLE \"One\""_s,        u"    INDEX 01 00:00:00"_s,
                       u"  TRACK 02 AUDIO"_s,         u"    TITLE \"Say \u201cHi\u201d\""_s,
                       u"    INDEX 01 00:04:00"_s};
    QTest::newRow("--album and --year win over the sheet")
        << QStringList{u"--cue"_s, u"%cue"_s, u"--album"_s, u"Given"_s, u"--year"_s, u"2020"_s} << 0
        << QStringList{u"REM GENRE Jazz"_s, u"REM DATE 2020"_s, u"PERFORMER \"Sheet Band\""_s,
                       u"TITLE \"Given\""_s};
    QTest::newRow("cut times and a genre")
        << QStringList{u"--at"_s, u"4"_s, u"--at"_s, u"0:08.00"_s, u"--genre"_s, u"Hard Rock"_s}
        << 0
        << QStringList{u"REM GENRE \"Hard Rock\""_s, u"    INDEX 01 00:00:00"_s,
                       u"    INDEX 01 00:04:00"_s, u"    INDEX 01 00:08:00"_s};
    QTest::newRow("no source: the whole file")
        << QStringList{} << 0 << QStringList{u"    INDEX 01 00:00:00"_s};
    QTest::newRow("a cut past the end, as split refuses it")
        << QStringList{u"--at"_s, u"99"_s} << 2 << QStringList{u"past the end"_s};
    QTest::newRow("never over the MP3")
        << QStringList{u"--out"_s, u"%mp3"_s} << 2 << QStringList{u"the MP3 itself"_s};
}

void tst_MavlorCliAlbum::sheetCommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, lines);

    // The MP3 by another spelling of its path.
    arguments.replaceInStrings(u"%cue"_s, m_sheet)
        .replaceInStrings(u"%mp3"_s, m_dir.path() + u"/./album.mp3"_s);
    const QByteArray before = readAll(m_album);
    const CliResult result = runCli(QStringList{u"sheet"_s, m_album} + arguments);
    QCOMPARE(result.status, status);
    QCOMPARE(readAll(m_album), before);
    if (status != 0) {
        QVERIFY2(result.err.contains(lines.first()), qPrintable(result.err));
        return;
    }
    const QStringList written = result.out.split(u"\r\n"_s);
    for (const QString &line : std::as_const(lines))
        QVERIFY2(written.contains(line), qPrintable(line + u" not in:\n"_s + result.out));
    QCOMPARE(written.count(u"  TRACK 04 AUDIO"_s), 0);
}

void tst_MavlorCliAlbum::savedSheetReadsBackToItself()
{
    const QString saved = m_dir.filePath(u"saved.cue"_s);
    const CliResult toFile = runCli({u"sheet"_s, m_album, u"--cue"_s, m_sheet, u"--out"_s, saved});
    QCOMPARE(toFile.status, 0);
    const CliResult again = runCli({u"sheet"_s, m_album, u"--cue"_s, saved});
    QCOMPARE(again.status, 0);
    QCOMPARE(again.out.toUtf8(), readAll(saved));
}

void tst_MavlorCliAlbum::splitWithoutSheetCarriesSourceTags()
{
    const QString out = m_dir.filePath(u"split"_s);
    const CliResult result =
        runCli({u"split"_s, m_album, u"--out"_s, out, u"--at"_s, u"4"_s, u"--at"_s, u"8"_s});
    QCOMPARE(result.status, 0);
    const QStringList tracks = QDir(out).entryList({u"*.mp3"_s}, QDir::Files, QDir::Name);
    QCOMPARE(tracks.size(), 3);
    for (const QString &name : tracks) {
        TagLib::MPEG::File file(QFile::encodeName(QDir(out).filePath(name)).constData(), false);
        QVERIFY(file.hasID3v2Tag());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
        QCOMPARE(qtText(tag->album()), u"Source Album"_s);
        QCOMPARE(tag->year(), 1987u);
        QCOMPARE(qtText(tag->genre()), u"Jazz"_s);
        const TagLib::ID3v2::FrameList pictures = tag->frameList("APIC");
        QCOMPARE(pictures.size(), 1u);
        const auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(pictures.front());
        QVERIFY(picture);
        QCOMPARE(QByteArray(picture->picture().data(), qsizetype(picture->picture().size())),
                 coverBytes);
    }
}

QTEST_GUILESS_MAIN(tst_MavlorCliAlbum)
#include "tst_mavlorcli_album.moc"
