#ifndef TAGCACHE_H
#define TAGCACHE_H

#include <QHash>
#include <QMutex>
#include <QString>

/*! The tags of one audio file that browse and query show. */
struct AudioTags
{
    bool valid = false; //!< TagLib could read the file
    QString title;
    QString artist;
    QString album;
    QString genre;
    int trackNumber = 0;
    int year = 0;
    int durationMs = 0;
};

/*!
 * Tags already read, keyed by path and checked against the file's size and
 * modification time, so that browsing a folder again reads no file again. Shared by
 * the worker threads of one source.
 *
 * Files are opened read-only: TagLib's FileRef on a path opens read-write, and the
 * close of a file opened for writing is a change to anyone watching the folder,
 * the plugin's own watch included.
 */
class TagCache
{
public:
    explicit TagCache(int capacity = 100000);

    /*! The tags of \a path, from memory when its size and time are unchanged. */
    AudioTags tags(const QString &path, qint64 size, qint64 modifiedNs);
    int count() const;
    void clear();

    /*! Reads the tags of \a path with TagLib, without caching. */
    static AudioTags read(const QString &path);

private:
    struct Entry
    {
        qint64 size = -1;
        qint64 modifiedNs = 0;
        AudioTags tags;
    };
    const int m_capacity;
    mutable QMutex m_mutex;
    QHash<QString, Entry> m_entries;
};

#endif
