#ifndef GSTRENDERERCONFIG_H
#define GSTRENDERERCONFIG_H

#include <QByteArray>
#include <QString>
#include <QStringList>

/*!
 * The renderer's configuration file, "tuvo/gstreamer-plugin.conf" in the user's
 * configuration folder ($XDG_CONFIG_HOME, ~/.config): plain text, one setting a line,
 * "#" starts a comment.
 *
 *     # GStreamer descriptions of the sinks, as gst-launch-1.0 takes them.
 *     audio_sink=pulsesink
 *     video_sink=fakesink
 *
 * An empty or missing sink means the automatic choice (autoaudiosink,
 * autovideosink), with a sink that still runs the clock when no device is usable.
 */
struct GstRendererConfig
{
    QString audioSink;
    QString videoSink;

    static QString defaultPath();
    static GstRendererConfig parse(const QByteArray &text, QStringList *warnings = nullptr);
    static GstRendererConfig load(const QString &path);
};

#endif
