#ifndef TUVOMPRISPLAYLISTFOLDER_H
#define TUVOMPRISPLAYLISTFOLDER_H

#include <QList>
#include <QString>

/*!
 * The playlists of the store the wrappers share: every "<id>.m3u" or "<id>.m3u8" of
 * "tuvo/playlists" in the user's data folder is the playlist <id>. Read afresh on every
 * call; the bridge only needs the ids, names and lengths.
 */
class TuvoMprisPlaylistFolder
{
public:
    struct Entry {
        QString id;
        QString name; // the "#PLAYLIST:" line, else the id
        int count = 0;
    };

    /*! The store's folder: $XDG_DATA_HOME (or ~/.local/share) + "/tuvo/playlists". */
    static QString defaultFolder();

    explicit TuvoMprisPlaylistFolder(const QString &folder = defaultFolder()) : m_folder(folder) {}

    /*! By id. */
    QList<Entry> playlists() const;
    /*! The playlist \a id; an entry with an empty id when there is none. */
    Entry playlist(const QString &id) const;

    static Entry parse(const QString &id, const QByteArray &data);

private:
    QString m_folder;
};

#endif
