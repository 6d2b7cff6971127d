#ifndef GSTTAGMAP_H
#define GSTTAGMAP_H

#include <TuvoMediaInfo.h>

#include <QVariant>

#include <gst/gst.h>

/*!
 * The renderer's metadata keys for GStreamer's tags: "title", "artist", "album",
 * "album_artist", "genre", "composer", "comment", "track_number", "track_count",
 * "disc_number", "year", "audio_codec", "video_codec", "container_format" and
 * "bitrate" (nominal, bits per second). Tags with several values (several artists)
 * keep all of them, in order. Other tags are left out: they are technical, and some
 * (the running bitrate) change all the time.
 */
class GstTagMap
{
public:
    static TuvoMediaInfo::MetaData toMetaData(const GstTagList *tags);
    /*! A tag value as a plain QVariant (string, number, year of a date); invalid if none. */
    static QVariant toVariant(const GValue *value);
};

#endif
