#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

namespace TestMedia {

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool writeWav(const QString &path, int durationMs)
{
    constexpr int Rate = 8000;
    QByteArray wav;
    const auto put = [&wav](quint32 value, int size) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        wav.append(bytes, size);
    };
    const quint32 samples = quint32(Rate * durationMs / 1000);
    wav.append("RIFF");
    put(36 + samples * 2, 4);
    wav.append("WAVEfmt ");
    put(16, 4), put(1, 2), put(1, 2), put(Rate, 4), put(Rate * 2, 4), put(2, 2), put(16, 2); // PCM, mono
    wav.append("data");
    put(samples * 2, 4);
    for (quint32 i = 0; i < samples; ++i)
        put(quint16(qint16(8000 * std::sin(2 * M_PI * 440 * i / Rate))), 2);
    return writeFile(path, wav);
}

bool tag(const QString &path, const Tags &tags)
{
    TagLib::RIFF::WAV::File file(QFile::encodeName(path).constData());
    if (!file.isValid())
        return false;
    for (TagLib::Tag *tag : {static_cast<TagLib::Tag *>(file.ID3v2Tag()), static_cast<TagLib::Tag *>(file.InfoTag())}) {
        tag->setTitle(TagLib::String(tags.title.toStdString(), TagLib::String::UTF8));
        tag->setArtist(TagLib::String(tags.artist.toStdString(), TagLib::String::UTF8));
        tag->setAlbum(TagLib::String(tags.album.toStdString(), TagLib::String::UTF8));
        tag->setGenre(TagLib::String(tags.genre.toStdString(), TagLib::String::UTF8));
        tag->setTrack(uint(tags.track));
        tag->setYear(uint(tags.year));
    }
    return file.save(TagLib::RIFF::WAV::File::AllTags);
}

bool writeTaggedWav(const QString &path, int durationMs, const Tags &tags)
{
    return writeWav(path, durationMs) && tag(path, tags);
}

} // namespace TestMedia
