#ifndef TESTMEDIA_H
#define TESTMEDIA_H

#include <QByteArray>
#include <QString>

/*! Media files the tests write for themselves, and where the build put the plugins. */
namespace TestMedia {
struct Tags
{
    Tags(const QString &title = {}, const QString &artist = {}, const QString &album = {},
         const QString &genre = {}, int track = 0, int year = 0)
        : title(title), artist(artist), album(album), genre(genre), track(track), year(year) {}
    QString title, artist, album, genre;
    int track, year;
};

/*! Any file, creating its folder. */
bool writeFile(const QString &path, const QByteArray &content = QByteArray());
/*! A mono 16-bit WAV file of \a durationMs of a sine tone. */
bool writeWav(const QString &path, int durationMs);
/*! Writes \a tags into a WAV file, as ID3v2 (TagLib reads it) and RIFF INFO (GStreamer does). */
bool tag(const QString &path, const Tags &tags);
bool writeTaggedWav(const QString &path, int durationMs, const Tags &tags);
inline QString filesystemPlugin() { return QStringLiteral(TUVO_FILESYSTEM_PLUGIN); }
inline QString gstreamerPlugin() { return QStringLiteral(TUVO_GSTREAMER_PLUGIN); }
}

#endif
