#ifndef GSTRENDERER_H
#define GSTRENDERER_H

#include "GstRendererConfig.h"

#include <TuvoRenderer.h>

#include <QList>
#include <QPair>
#include <QPointer>
#include <QTimer>

#include <gst/gst.h>

#include <mutex>

class QSocketNotifier;
class TuvoPlaylist;

/*!
 * A renderer on GStreamer's playbin: plays any uri GStreamer can (local files
 * first), alone or from a playlist, with the next playlist entry queued when the
 * current one is about to finish, so that entries follow each other without a gap.
 *
 * GStreamer's bus is read on the main thread (through its poll descriptor), so every
 * signal and answer of the renderer comes from there. Only the about-to-finish
 * handler runs on a streaming thread; it hands the queued uri to playbin under a
 * mutex of its own.
 *
 * Metadata keys: the tags of GstTagMap, merged over the stream (several tag messages
 * of one stream are one set of values, and only changed values are signalled), plus
 * "duration" (seconds). Media info adds "uri", "position" (seconds) and "position_ms".
 *
 * Properties: "audio_sink" and "video_sink" (strings; empty: automatic; used from the
 * next item on), "volume" (int 0-100) and "mute" (bool). The configuration file may
 * give the sinks as GStreamer descriptions such as "fakesink sync=false"; over the bus
 * only what GstSinkPolicy accepts is taken.
 */
class GstRenderer : public TuvoRenderer
{
    Q_OBJECT
public:
    static const char *const Uuid;

    explicit GstRenderer(const GstRendererConfig &config = GstRendererConfig(),
                         QObject *parent = nullptr);
    ~GstRenderer() override;

    bool play() override;
    bool playUri(const QUrl &url, uint startPosition) override;
    bool playUriWithContentType(const QUrl &url, const QString &contentType) override;
    bool stop() override;
    bool pause() override;
    bool pauseAt(uint position) override;
    bool resume() override;
    bool setPosition(int seconds, int mode) override;
    bool assignPlaylist(TuvoPlaylist *playlist) override;
    bool next() override;
    bool previous() override;
    bool gotoIndex(uint index) override;
    bool getStatus(QObject *receiver, const char *member) override;
    bool getPosition(QObject *receiver, const char *member) override;
    bool getCurrentMediaInfo(QObject *receiver, const char *member, const QString &key) override;

    State state() const { return m_state; }
    /*! The position in the current item, in milliseconds; 0 when stopped. */
    qint64 positionMs() const;

protected:
    bool acceptPropertyWrite(const QString &name, const QVariant &value) override;

private Q_SLOTS:
    void handleBusMessages();
    void handlePropertyChanged(const QString &name, const QVariant &value);
    void checkPauseAt();
    void queueNext();
    void checkEndBeforeFailedEntry();

private:
    bool playItem(const QUrl &url, int index, uint startPosition, const QVariantMap &meta);
    void fail(int code, const QString &message);
    void resetStream();
    void applySinks();
    void setState(State state);
    void handleMessage(GstMessage *message);
    void handleError(GstMessage *message);
    void handleTags(GstMessage *message);
    void handlePrerolled();
    void handleStreamStart();
    void handleEndOfStream();
    bool takeFailedSwitch(GstMessage *message);
    void updateDuration();
    QVariantMap entryMetaData(int index) const;
    static void aboutToFinish(GstElement *playbin, gpointer self);

    GstElement *m_playbin = nullptr;
    GstBus *m_bus = nullptr;
    QSocketNotifier *m_busNotifier = nullptr;
    gulong m_aboutToFinishHandler = 0;
    bool m_sinksChanged = false;

    State m_state = Stopped;
    State m_target = Stopped; // what the pipeline is on its way to
    bool m_prerolled = false;
    bool m_failed = false;    // an error ended the current item
    QString m_uri;
    int m_index = -1;
    QPointer<TuvoPlaylist> m_playlist;
    qint64 m_startMs = 0;     // where to seek once prerolled
    qint64 m_durationMs = -1;
    GstTagList *m_tags = nullptr;
    TuvoMediaInfo::MetaData m_metaData;
    qint64 m_pauseAtMs = -1;
    QTimer m_pauseAtTimer;

    // Shared with the streaming thread that runs about-to-finish.
    std::mutex m_queueMutex;
    // The playlist entries after the current one, (uri, index): about-to-finish hands
    // the first to playbin. All of them, not just the next one, because a short entry
    // can be decoded to its end before the main thread hears that it started.
    QList<QPair<QByteArray, int>> m_upcoming;
    // Entries playbin was given by about-to-finish, oldest first: each is announced
    // when its stream starts.
    QList<QPair<QByteArray, int>> m_switches;
    bool m_awaitingFirstStart = false; // the stream of playItem() has not started yet

    // A queued entry whose stream failed before it started, (uri, index): it is played
    // on its own once the current entry has ended, which m_endWatch looks out for.
    QPair<QByteArray, int> m_failedNext{QByteArray(), -1};
    QTimer m_endWatch;
    qint64 m_lastWatchedMs = -1;
};

#endif
