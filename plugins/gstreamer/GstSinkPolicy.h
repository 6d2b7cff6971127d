#ifndef GSTSINKPOLICY_H
#define GSTSINKPOLICY_H

#include <QString>

/*!
 * What a bus peer may choose as the renderer's sink: the name of one GStreamer
 * element whose class is an audio (or video) sink and that has no "location", so that
 * nobody can make the renderer write files or run a pipeline of their choosing. An
 * empty name is the automatic choice. The user's own configuration file is not held
 * to this: it may give a whole gst-launch description.
 */
class GstSinkPolicy
{
public:
    enum Kind { Audio, Video };

    /*! True when \a name may be set as the \a kind sink; otherwise \a problem says why. */
    static bool accepts(const QString &name, Kind kind, QString *problem);
};

#endif
