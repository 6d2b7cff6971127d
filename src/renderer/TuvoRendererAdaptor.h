#ifndef TUVORENDERERADAPTOR_H
#define TUVORENDERERADAPTOR_H

#include "TuvoRendererIntrospection.h"

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

class TuvoPlaylist;
class TuvoRegistry;
class TuvoReplyQueue;

/*!
 * The face of one renderer on the bus: interface "com.oxbel.tuvo.renderer" on the
 * renderer's object path.
 *
 * Commands go straight to the renderer and always get the empty reply; what the
 * renderer makes of them shows in its signals and in the log. The three queries are
 * answered with delayed replies once the renderer answers: one renderer request
 * serves every waiting position or status call, while media info calls are asked for
 * one at a time, because each may name a different key. Playlist navigation and the
 * renderer errors 41, 42, 326 and 327 end waiting queries with
 * "com.oxbel.tuvo.renderer.cancelled".
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
    /*! Ends all waiting queries with the cancellation error. */
    void cancelMessages();

    TuvoRenderer *renderer;
    TuvoRegistry *registry;
    // Only a guard: tells whether a playlist was assigned through this adaptor.
    TuvoPlaylist *assignedPlaylist = nullptr;
    // One renderer answer serves every waiting position or status call, but only the
    // oldest media info call: each may name a different key.
    TuvoReplyQueue *positionCalls;
    TuvoReplyQueue *statusCalls;
    TuvoReplyQueue *mediaInfoCalls;
};

#endif
