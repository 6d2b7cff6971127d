#ifndef TUVORENDERERADAPTOR_H
#define TUVORENDERERADAPTOR_H

#include "TuvoRendererIntrospection.h"
#include "TuvoRendererPolicy.h"

#include <TuvoBusNames.h>
#include <TuvoContent.h>
#include <TuvoError.h>
#include <TuvoMediaInfo.h>
#include <TuvoRenderer.h>

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

class TuvoPlaylist;
class TuvoRegistry;
class TuvoReplyQueue;

/*!
 * The face of one renderer on the bus: interface "com.oxbel.tuvo.renderer" on the
 * renderer's object path.
 *
 * Commands go straight to the renderer and always get the empty reply; what the
 * renderer makes of them shows in its signals and in the log. The three queries are
 * answered with delayed replies once the renderer answers, as TuvoRendererPolicy
 * says; the queries it says an event ends fail with "com.oxbel.tuvo.renderer.cancelled".
 *
 * A D-Bus string ends at its first NUL, so nothing holding a text with a NUL character
 * goes out cut: such a signal is dropped and such an answer becomes
 * org.freedesktop.DBus.Error.Failed, each with a warning.
 *
 * A child of its renderer, which owns it.
 */
class TuvoRendererAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TUVO_RENDERER_INTERFACE)
    Q_CLASSINFO("D-Bus Introspection", TUVO_RENDERER_INTROSPECTION)
public:
    static const QString CancelledErrorName;
    static const QString CancelledErrorText;

    explicit TuvoRendererAdaptor(TuvoRenderer *renderer);
    /*! Waiting calls are dropped unanswered: their callers run into their own time-outs. */
    ~TuvoRendererAdaptor() override;

Q_SIGNALS:
    void state_changed(int state);
    void media_changed(int index, const QString &objectId);
    void playback_completed();
    void playlist_changed(const QString &playlistId);
    void metadata_changed(const QString &key, const QList<QVariant> &values);
    void buffering_info(double status);
    void scanning_info(double status);
    void error(int code, const QString &message);

public Q_SLOTS:
    void play();
    void play_uri(const QString &url, uint startPos);
    void play_uri(const QString &url);
    void play_uri_content_type(const QString &url, const QString &contentType);
    void stop();
    void pause();
    void pause_at(uint position);
    void resume();
    void set_position(int seconds, int mode);
    void set_position(int seconds);
    void get_position(const QDBusMessage &message);
    void get_status(const QDBusMessage &message);
    void get_current_media_info(const QString &metadataKey, const QDBusMessage &message);
    void assign_playlist(const QString &id);
    void next();
    void previous();
    void goto_index(uint index);

private Q_SLOTS:
    void getPositionCallback(uint position);
    void getStatusCallback(QString playlistId, uint playlistIndex, int state, QString objectId);
    void getCurrentMediaInfoCallback(const TuvoMediaInfo &mediaInfo);

    void rendererError(const TuvoError &tuvoError);
    void rendererStateChangedSlot(TuvoRenderer::State state);
    void rendererMediaChangedSlot(int index, const TuvoContent &content);
    void rendererPlaylistChangedSlot(TuvoPlaylist *playlist);
    void rendererMetadataChangedSlot(const QString &key, const QList<QVariant> &values);
    void bufferingInfoSlot(float status);
    void scanningInfoSlot(float status);

private:
    bool askPosition();
    bool askStatus();
    bool askMediaInfo();
    /*! The reply with \a mediaInfo, or its one entry for the key that \a message names. */
    QDBusMessage mediaInfoReply(const QDBusMessage &message, const TuvoMediaInfo &mediaInfo);
    TuvoReplyQueue *newQueue(TuvoRendererPolicy::Query query, std::function<bool()> ask,
                             const QString &refusal);
    /*! False when the renderer refuses the \a command that was let through. */
    bool navigate(TuvoRendererPolicy::Navigation navigation, const std::function<bool()> &command);
    /*! Ends the waiting calls of \a queries with the cancellation error. */
    void cancel(const QList<TuvoRendererPolicy::Query> &queries);

    TuvoRenderer *renderer;
    TuvoRegistry *registry;
    TuvoRendererPolicy policy;
    TuvoReplyQueue *positionCalls;
    TuvoReplyQueue *statusCalls;
    TuvoReplyQueue *mediaInfoCalls;
};

#endif
