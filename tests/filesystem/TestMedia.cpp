#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>

#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

namespace TestMedia {

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool writeWav(const QString &path, int durationMs, int frequency, int sampleRate)
{
    const quint32 samples = quint32(qint64(sampleRate) * durationMs / 1000);
    QByteArray data;
    data.reserve(int(samples * 2));
    for (quint32 i = 0; i < samples; ++i) {
        const qint16 value = qint16(8000 * std::sin(2 * M_PI * frequency * i / sampleRate));
        char bytes[2];
        qToLittleEndian(value, bytes);
        data.append(bytes, 2);
    }
    QByteArray wav;
    const auto u32 = [&wav](quint32 v) { char b[4]; qToLittleEndian(v, b); wav.append(b, 4); };
    const auto u16 = [&wav](quint16 v) { char b[2]; qToLittleEndian(v, b); wav.append(b, 2); };
    wav.append("RIFF");
    u32(quint32(36 + data.size()));
    wav.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(quint32(sampleRate));
    u32(quint32(sampleRate * 2));
    u16(2);
    u16(16);
    wav.append("data");
    u32(quint32(data.size()));
    wav.append(data);
    return writeFile(path, wav);
}

namespace {
void setTags(TagLib::Tag *tag, const Tags &tags)
{
    tag->setTitle(TagLib::String(tags.title.toStdString(), TagLib::String::UTF8));
    tag->setArtist(TagLib::String(tags.artist.toStdString(), TagLib::String::UTF8));
    tag->setAlbum(TagLib::String(tags.album.toStdString(), TagLib::String::UTF8));
    tag->setGenre(TagLib::String(tags.genre.toStdString(), TagLib::String::UTF8));
    tag->setTrack(uint(tags.track));
    tag->setYear(uint(tags.year));
}
} // namespace

bool tag(const QString &path, const Tags &tags)
{
    const QByteArray name = QFile::encodeName(path);
    if (path.endsWith(QLatin1String(".wav"))) {
        // Both kinds of WAV tags: TagLib reads ID3v2 first, GStreamer only RIFF INFO.
        TagLib::RIFF::WAV::File file(name.constData());
        if (!file.isValid())
            return false;
        setTags(file.ID3v2Tag(), tags);
        setTags(file.InfoTag(), tags);
        return file.save(TagLib::RIFF::WAV::File::AllTags);
    }
    TagLib::FileRef file(name.constData());
    if (file.isNull() || !file.tag())
        return false;
    setTags(file.tag(), tags);
    return file.save();
}

bool writeTaggedWav(const QString &path, int durationMs, const Tags &tags)
{
    return writeWav(path, durationMs) && tag(path, tags);
}

QString filesystemPlugin()
{
    return QStringLiteral(TUVO_FILESYSTEM_PLUGIN);
}

QString gstreamerPlugin()
{
    return QStringLiteral(TUVO_GSTREAMER_PLUGIN);
}

} // namespace TestMedia
