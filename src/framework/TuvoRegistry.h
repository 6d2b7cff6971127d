#ifndef TUVOREGISTRY_H
#define TUVOREGISTRY_H

#include "TuvoFrameworkGlobal.h"

#include <QMap>
#include <QObject>
#include <QStringList>

class TuvoPlaylist;

/*!
 * The framework's public registry: the playlists known in this process.
 *
 * A playlist added under an id that exists already updates that playlist in place,
 * so pointers handed out by findPlaylist() stay valid until the id is removed.
 */
class TUVO_FRAMEWORK_EXPORT TuvoRegistry : public QObject
{
    Q_OBJECT
public:
    static TuvoRegistry *instance();
    ~TuvoRegistry() override;

    /*! The playlist with \a id, or null when there is none. */
    TuvoPlaylist *findPlaylist(const QString &id) const;
    QStringList playlistIds() const;

    /*!
     * Adds \a playlist and takes ownership. When the id is known already, the known
     * playlist takes over the entries and name of \a playlist, which is deleted, and
     * the known one is returned; otherwise \a playlist itself is returned.
     */
    TuvoPlaylist *addPlaylist(TuvoPlaylist *playlist);
    /*! Removes and deletes the playlist with \a id (later, through the event loop). */
    bool removePlaylist(const QString &id);

Q_SIGNALS:
    void playlistAdded(const QString &id);
    void playlistRemoved(const QString &id);

private:
    TuvoRegistry();
    QMap<QString, TuvoPlaylist *> m_playlists;
};

#endif
