#ifndef TUVOMPRISNAMES_H
#define TUVOMPRISNAMES_H

#include <QString>

/*!
 * The names a renderer's player goes by on the bus: its well-known name, the object
 * paths of its tracks and of the playlists it offers. Each is derived from the
 * renderer's or item's own id alone, so it is the same on every run.
 */
namespace TuvoMprisNames {
extern const char *const BusNamePrefix;    // "org.mpris.MediaPlayer2.tuvo."
extern const char *const NoTrack;          // "/org/mpris/MediaPlayer2/TrackList/NoTrack"

/*!
 * "org.mpris.MediaPlayer2.tuvo." + the renderer's uuid with everything but letters,
 * digits and '_' replaced by '_'; a uuid that had to change gets a hash of itself
 * appended, so that two renderers never share a name.
 */
QString busName(const QString &rendererUuid);
/*! An object path for an item id; NoTrack for none. */
QString trackId(const QString &itemId);
/*! The object path of the playlist \a id. */
QString playlistPath(const QString &id);
/*! Reverses playlistPath(); empty for a path it did not make. */
QString playlistId(const QString &path);
}

#endif
