#include "slice/tracktagger.h"

#include <QFile>

#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

using namespace Qt::StringLiterals;

namespace {

TagLib::String tagText(const QString &text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

QString qtText(const TagLib::String &text)
{
    return QString::fromStdString(text.to8Bit(true));
}

QString property(const TagLib::PropertyMap &properties, const char *key)
{
    const auto it = properties.find(key);
    return it == properties.end() || it->second.isEmpty() ? QString() : qtText(it->second.front());
}

// A template, not a Tag pointer: TagLib 1's Tag::properties() is not virtual, and the base
// one knows only the basic fields.
template<typename Tag>
Album albumOf(const Tag *tag)
{
    Album album;
    if (!tag)
        return album;
    const TagLib::PropertyMap properties = tag->properties();
    album.album = property(properties, "ALBUM");
    album.albumArtist = property(properties, "ALBUMARTIST");
    album.year = property(properties, "DATE");
    album.genre = property(properties, "GENRE");
    album.composer = property(properties, "COMPOSER");
    return album;
}

QByteArray bytesOf(const TagLib::ByteVector &vector)
{
    return QByteArray(vector.data(), qsizetype(vector.size()));
}

TrackTagger::Picture id3v2Cover(TagLib::ID3v2::Tag *tag)
{
    using TagLib::ID3v2::AttachedPictureFrame;
    const AttachedPictureFrame *chosen = nullptr;
    for (TagLib::ID3v2::Frame *frame : tag->frameList("APIC")) {
        const auto *picture = dynamic_cast<AttachedPictureFrame *>(frame);
        if (!picture || picture->picture().isEmpty())
            continue;
        if (!chosen
            || (picture->type() == AttachedPictureFrame::FrontCover
                && chosen->type() != AttachedPictureFrame::FrontCover)) {
            chosen = picture;
        }
    }
    if (!chosen)
        return {};
    return {qtText(chosen->mimeType()), qtText(chosen->description()), bytesOf(chosen->picture())};
}

// An APE cover item holds a file name, a zero byte and the image.
TrackTagger::Picture apeCover(TagLib::APE::Tag *tag)
{
    const auto it = tag->itemListMap().find("COVER ART (FRONT)");
    if (it == tag->itemListMap().end())
        return {};
    const QByteArray value = bytesOf(it->second.binaryData());
    const qsizetype zero = value.indexOf('\0');
    if (zero < 0 || zero + 1 >= value.size())
        return {};
    const QByteArray data = value.sliced(zero + 1);
    const QString mimeType = data.startsWith("\x89PNG") ? u"image/png"_s : u"image/jpeg"_s;
    return {mimeType, QString(), data};
}

void put(TagLib::PropertyMap &properties, const char *key, const QString &value)
{
    if (!value.isEmpty())
        properties.replace(key, TagLib::StringList(tagText(value)));
}

QString position(int number, int total)
{
    return total > 0 ? u"%1/%2"_s.arg(number).arg(total) : QString::number(number);
}

} // namespace

TrackTagger::TrackTagger(const QString &sourcePath, const Album &album, int trackTotal)
    : m_trackTotal(trackTotal)
{
    m_album = album.filledFrom(readSourceAlbum(sourcePath, &m_cover));
}

Album TrackTagger::readSourceAlbum(const QString &sourcePath, Picture *cover)
{
    *cover = {};
    if (sourcePath.isEmpty())
        return {};
    // Read-only by construction: the source is never written.
    TagLib::FileStream stream(QFile::encodeName(sourcePath).constData(), true);
    if (!stream.isOpen())
        return {};
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid())
        return {};
    TagLib::ID3v2::Tag *id3v2 = file.hasID3v2Tag() ? file.ID3v2Tag() : nullptr;
    TagLib::APE::Tag *ape = file.hasAPETag() ? file.APETag() : nullptr;
    TagLib::ID3v1::Tag *id3v1 = file.hasID3v1Tag() ? file.ID3v1Tag() : nullptr;
    if (id3v2)
        *cover = id3v2Cover(id3v2);
    if (cover->data.isEmpty() && ape)
        *cover = apeCover(ape);
    return albumOf(id3v2).filledFrom(albumOf(ape)).filledFrom(albumOf(id3v1));
}

bool TrackTagger::tag(const QString &path, const Track &track) const
{
    // By type, not by file name: the track is tagged before it takes its name.
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid())
        return false;
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    TagLib::PropertyMap properties;
    put(properties, "TITLE", track.title);
    put(properties, "ARTIST", track.artist);
    put(properties, "ALBUM", m_album.album);
    put(properties, "ALBUMARTIST", m_album.albumArtist);
    put(properties, "TRACKNUMBER",
        track.number > 0 ? position(track.number, m_trackTotal) : QString());
    // A disc position only where the release has several discs; a track of a release read
    // whole knows its own.
    const int disc = track.disc > 0 ? track.disc : m_album.discNumber;
    if (disc > 0 && (m_album.discCount > 1 || disc > 1))
        put(properties, "DISCNUMBER", position(disc, m_album.discCount));
    put(properties, "DATE", m_album.year);
    put(properties, "GENRE", m_album.genre);
    put(properties, "COMPOSER", m_album.composer);
    put(properties, "COMMENT", m_album.comment);
    put(properties, "DISCID", m_album.discId);
    tag->setProperties(properties);
    if (!m_cover.data.isEmpty()) {
        auto *picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setMimeType(tagText(m_cover.mimeType));
        picture->setDescription(tagText(m_cover.description));
        picture->setPicture(TagLib::ByteVector(m_cover.data.constData(),
                                               static_cast<unsigned int>(m_cover.data.size())));
        tag->addFrame(picture);
    }
    // ID3v2.3: Windows Explorer and many car and portable players read only 2.3 well; ffprobe
    // and TagLib read both. Text that is not Latin-1 goes out as UTF-16.
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                     TagLib::File::DoNotDuplicate);
}
