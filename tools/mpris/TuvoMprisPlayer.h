#ifndef TUVOMPRISPLAYER_H
#define TUVOMPRISPLAYER_H

#include "TuvoMprisActivePlaylistDBusStruct.h"
#include "TuvoMprisPlaylistDBusStruct.h"
#include "TuvoMprisPositionClock.h"

#include <TuvoClientObjectInfo.h>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QVariantMap>

class TuvoClientRenderer;
class TuvoMprisPlayerAdaptor;
struct TuvoMediaInfoDBusStruct;

/*!
 * One published renderer as an MPRIS player: it owns the well-known name
 * TuvoMprisNames::busName() of the renderer on a bus connection of its own (an MPRIS
 * player must be /org/mpris/MediaPlayer2 of the connection that owns its name), and
 * carries the adaptors of org.mpris.MediaPlayer2, .Player and .Playlists there.
 *
 * It keeps the renderer's state, item, media info and volume as the renderer's signals
 * tell them, answers reads from that copy, and tells clients of every change with
 * PropertiesChanged. The position comes from a local clock that asks the renderer at
 * most once a second while clients poll it.
 */
class TuvoMprisPlayer : public QObject
{
    Q_OBJECT
public:
    static const char *const ObjectPath; // "/org/mpris/MediaPlayer2"

    TuvoMprisPlayer(const TuvoClientObjectInfo &renderer, const QDBusConnection &clientBus,
                    QObject *parent = nullptr);
    ~TuvoMprisPlayer() override;

    /*! Takes the name on a connection of its own; false (and a warning) when that fails. */
    bool publish();
    QString busName() const { return m_busName; }
    TuvoClientObjectInfo renderer() const { return m_info; }
    void setIdentity(const QString &identity);
    /*!
     * Reads the renderer's state, item, position and volume again. A renderer's name
     * can be seen on the bus a moment before its object answers; its hello says it does.
     */
    void refresh();

    // org.mpris.MediaPlayer2
    QString identity() const { return m_identity; }
    // org.mpris.MediaPlayer2.Player
    QString playbackStatus() const;
    QVariantMap metadata() const;
    double volume() const { return m_volume; }
    void setVolume(double volume);
    qlonglong position();
    bool canGoNext() const;
    bool canGoPrevious() const;
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    void seek(qlonglong offsetUs);
    void setPosition(const QString &trackId, qlonglong positionUs);
    void openUri(const QString &uri);
    // org.mpris.MediaPlayer2.Playlists
    uint playlistCount() const;
    TuvoMprisActivePlaylistDBusStruct activePlaylist() const;
    TuvoMprisPlaylistDBusList playlists(uint index, uint maxCount, const QString &order, bool reverse) const;
    void activatePlaylist(const QString &path);

Q_SIGNALS:
    /*! The renderer's process left the bus. */
    void vanished();

private:
    void handleState(int state);
    void handleMedia(int index, const QString &objectId);
    void handlePlaylist(const QString &playlistId);
    void handleMetadata(const QString &key, const QVariantList &values);
    void handleError(int code, const QString &message);
    void handleProperty(const QString &name, const QVariant &value);

    void refreshStatus();
    void refreshMediaInfo();
    void resyncPosition();
    void takeMediaInfo(const TuvoMediaInfoDBusStruct &info);
    /*! Tells clients what changed of \a interface, when anything did. */
    void notify(const QString &interface, const QVariantMap &before, const QVariantMap &after);
    QVariantMap playerProperties() const;
    void emitSeeked();
    qint64 now() const { return m_time.elapsed(); }

    TuvoClientObjectInfo m_info;
    QString m_busName;
    QString m_connectionName;
    QDBusConnection m_bus;
    TuvoClientRenderer *m_renderer;
    TuvoMprisPlayerAdaptor *m_playerAdaptor;
    bool m_published = false;

    QString m_identity;
    int m_state = 0;
    QString m_playlistId;
    int m_index = -1;
    QString m_objectId;
    QMap<QString, QVariantList> m_media; // the renderer's media info, by key
    double m_volume = 1.0;
    TuvoMprisPositionClock m_clock;
    QElapsedTimer m_time;
    bool m_positionPending = false;
};

#endif
