#ifndef TUVOSHARED_H
#define TUVOSHARED_H

#include "TuvoFrameworkGlobal.h"

#include <QFlags>
#include <QObject>

class TuvoPlaylistStore;

/*!
 * Services shared by the renderers of a process. The host initialises them once,
 * before the first renderer is published, with the kinds of renderer activity it
 * wants tracked; renderers ask trackFlags() whether a kind is wanted.
 */
class TUVO_FRAMEWORK_EXPORT TuvoShared : public QObject
{
    Q_OBJECT
public:
    enum TrackFlag : int {
        TrackNothing = 0x00,
        TrackPlaybackState = 0x02, //!< state and position changes
        TrackMediaChanges = 0x08,  //!< current item and its metadata
        TrackPlaylists = 0x20,     //!< playlists from the playlist store
    };
    Q_DECLARE_FLAGS(TrackFlags, TrackFlag)
    Q_FLAG(TrackFlags)

    static TuvoShared *instance();
    ~TuvoShared() override;

    /*!
     * Starts the shared services for \a flags. Refused (false) for bits that name no
     * service. Further calls add flags.
     */
    bool initialize(QFlags<TrackFlag> flags);
    bool isInitialized() const { return m_initialized; }
    TrackFlags trackFlags() const { return m_flags; }
    /*!
     * The store that feeds TuvoRegistry from the user's playlist files, started by
     * TrackPlaylists; null before.
     */
    TuvoPlaylistStore *playlistStore() const { return m_playlistStore; }

Q_SIGNALS:
    void initialized(TuvoShared::TrackFlags flags);

private:
    TuvoShared();
    bool m_initialized = false;
    TrackFlags m_flags;
    TuvoPlaylistStore *m_playlistStore = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TuvoShared::TrackFlags)

#endif
