#ifndef TESTMEDIA_H
#define TESTMEDIA_H

#include <QByteArray>
#include <QString>

/*! Media files the tests write for themselves. */
namespace TestMedia {
struct Tags
{
    QString title;
    QString artist;
    QString album;
    QString genre;
    int track = 0;
    int year = 0;
};

/*! A mono 16-bit WAV file of \a durationMs of a sine tone. */
bool writeWav(const QString &path, int durationMs, int frequency = 440, int sampleRate = 8000);
/*! Writes \a tags into an audio file with TagLib. */
bool tag(const QString &path, const Tags &tags);
/*! A WAV file with tags. */
bool writeTaggedWav(const QString &path, int durationMs, const Tags &tags);
/*! Any file, creating its folder. */
bool writeFile(const QString &path, const QByteArray &content = QByteArray());

/*! Where the build put the shipped plugins. */
QString filesystemPlugin();
QString gstreamerPlugin();
}

#endif
