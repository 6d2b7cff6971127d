#ifndef TUVOMPRISPLAYLISTSADAPTOR_H
#define TUVOMPRISPLAYLISTSADAPTOR_H

#include "TuvoMprisActivePlaylistDBusStruct.h"
#include "TuvoMprisPlaylistDBusStruct.h"

#include <QDBusAbstractAdaptor>
#include <QStringList>

class TuvoMprisPlayer;

/*! org.mpris.MediaPlayer2.Playlists of a player: the M3U playlists of the store. */
class TuvoMprisPlaylistsAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Playlists")
    Q_PROPERTY(uint PlaylistCount READ playlistCount)
    Q_PROPERTY(QStringList Orderings READ orderings)
    Q_PROPERTY(TuvoMprisActivePlaylistDBusStruct ActivePlaylist READ activePlaylist)
public:
    explicit TuvoMprisPlaylistsAdaptor(TuvoMprisPlayer *player);

    uint playlistCount() const;
    QStringList orderings() const { return {QStringLiteral("Alphabetical")}; }
    TuvoMprisActivePlaylistDBusStruct activePlaylist() const;

public Q_SLOTS:
    void ActivatePlaylist(const QDBusObjectPath &PlaylistId);
    TuvoMprisPlaylistDBusList GetPlaylists(uint Index, uint MaxCount, const QString &Order, bool ReverseOrder);

Q_SIGNALS:
    void PlaylistChanged(const TuvoMprisPlaylistDBusStruct &Playlist);

private:
    TuvoMprisPlayer *m_player;
};

#endif
