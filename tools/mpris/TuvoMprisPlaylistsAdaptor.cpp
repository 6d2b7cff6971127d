#include "TuvoMprisPlaylistsAdaptor.h"

#include "TuvoMprisPlayer.h"

TuvoMprisPlaylistsAdaptor::TuvoMprisPlaylistsAdaptor(TuvoMprisPlayer *player)
    : QDBusAbstractAdaptor(player)
    , m_player(player)
{
}

uint TuvoMprisPlaylistsAdaptor::playlistCount() const { return m_player->playlistCount(); }

TuvoMprisActivePlaylistDBusStruct TuvoMprisPlaylistsAdaptor::activePlaylist() const
{
    return m_player->activePlaylist();
}

void TuvoMprisPlaylistsAdaptor::ActivatePlaylist(const QDBusObjectPath &PlaylistId)
{
    m_player->activatePlaylist(PlaylistId.path());
}

TuvoMprisPlaylistDBusList TuvoMprisPlaylistsAdaptor::GetPlaylists(uint Index, uint MaxCount, const QString &Order,
                                                                  bool ReverseOrder)
{
    return m_player->playlists(Index, MaxCount, Order, ReverseOrder);
}
