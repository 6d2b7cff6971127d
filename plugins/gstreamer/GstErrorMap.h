#ifndef GSTERRORMAP_H
#define GSTERRORMAP_H

#include <QString>

#include <glib.h>

/*!
 * Turns a GStreamer error (its GError domain and code) into the renderer's error code
 * (TuvoError::Code) and a message that tells the user what is wrong with the media.
 * GStreamer says "Resource not found", "... is a directory" (an open-read error of
 * the file source) and "Could not determine type of stream": a missing file, a folder
 * and a file that is not media become three different codes.
 */
class GstErrorMap
{
public:
    /*! \a isDirectory: the uri is a local folder (GStreamer has no code of its own for it). */
    static int code(GQuark domain, int code, bool isDirectory);
    /*! A message for the user: what happened to \a uri, with GStreamer's words. */
    static QString message(int tuvoCode, const QString &uri, const QString &detail);
};

#endif
