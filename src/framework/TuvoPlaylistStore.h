#ifndef TUVOPLAYLISTSTORE_H
#define TUVOPLAYLISTSTORE_H

#include "TuvoContent.h"
#include "TuvoFrameworkGlobal.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTimer>

/*!
 * Keeps TuvoRegistry's playlists in step with the M3U files of a folder: by default
 * "tuvo/playlists" in the user's data folder ($XDG_DATA_HOME, ~/.local/share). Every
 * "<id>.m3u" (or "<id>.m3u8") file becomes the playlist <id>; relative entries are
 * taken relative to the file's folder. The folder and its files are watched: a new,
 * changed or removed file updates the registry shortly after (a changed playlist is
 * updated in place, so renderers keep their pointer). Playlists that did not come
 * from the folder are left alone.
 *
 * TuvoShared starts one when it is initialised with TuvoShared::TrackPlaylists.
 */
class TUVO_FRAMEWORK_EXPORT TuvoPlaylistStore : public QObject
{
    Q_OBJECT
public:
    /*! A store on defaultFolder(); loads it at once. */
    explicit TuvoPlaylistStore(QObject *parent = nullptr);
    /*! A store on \a folder; loads it at once. */
    TuvoPlaylistStore(const QString &folder, QObject *parent = nullptr);
    ~TuvoPlaylistStore() override;

    /*!
     * The most entries a playlist file yields: the lines after them are left out,
     * with a warning, so that a huge file cannot take the process's memory and time.
     */
    static constexpr int MaxEntries = 10000;

    static QString defaultFolder();
    QString folder() const { return m_folder; }

    /*! The ids of the playlists read from the folder. */
    QStringList playlistIds() const;

    /*!
     * Parses M3U or extended M3U text (UTF-8, or Latin-1 when it is not valid UTF-8).
     * Each entry becomes a content item whose uuid is its uri (relative paths resolved
     * against \a baseFolder), with "title" and "duration" (seconds) from #EXTINF when
     * given (durations beyond the int range are held at its top). A "#PLAYLIST:"
     * line names the list in \a name. At most MaxEntries entries are read.
     */
    static QList<TuvoContent> parseM3u(const QByteArray &data, const QString &baseFolder,
                                       QString *name = nullptr);

public Q_SLOTS:
    /*! Reads the folder again now. */
    void reload();

Q_SIGNALS:
    /*! The registry has been brought in step with the folder. */
    void reloaded();

private:
    struct FileState {
        QDateTime modified;
        qint64 size = -1;
    };
    void watch();

    QString m_folder;
    QFileSystemWatcher m_watcher;
    QTimer m_reloadTimer;
    QHash<QString, FileState> m_files; // playlist id -> state of the file it came from
};

#endif
