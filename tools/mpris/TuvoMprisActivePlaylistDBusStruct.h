#ifndef TUVOMPRISACTIVEPLAYLISTDBUSSTRUCT_H
#define TUVOMPRISACTIVEPLAYLISTDBUSSTRUCT_H

#include "TuvoMprisPlaylistDBusStruct.h"

/*!
 * ActivePlaylist of org.mpris.MediaPlayer2.Playlists, D-Bus (b(oss)): whether a
 * playlist is active, and which.
 */
struct TuvoMprisActivePlaylistDBusStruct
{
    bool valid = false;
    TuvoMprisPlaylistDBusStruct playlist;
};

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoMprisActivePlaylistDBusStruct &active);
const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoMprisActivePlaylistDBusStruct &active);

Q_DECLARE_METATYPE(TuvoMprisActivePlaylistDBusStruct)

#endif
