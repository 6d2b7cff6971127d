#ifndef TAGCACHE_H
#define TAGCACHE_H

#include <QHash>
#include <QMutex>
#include <QString>

#include <list>

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
 * The cache holds at most a number of bytes (the tags, the path and the cache's own
 * bookkeeping of each entry); the least recently used entry makes room, at constant
 * cost, for a new one.
 *
 * Files are opened read-only: TagLib's FileRef on a path opens read-write, and the
 * close of a file opened for writing is a change to anyone watching the folder,
 * the plugin's own watch included.
 */
class TagCache
{
public:
    static constexpr qint64 DefaultCapacity = 8 * 1024 * 1024;
    explicit TagCache(qint64 capacityBytes = DefaultCapacity);

    /*! The tags of \a path, from memory when its size and time are unchanged. */
    AudioTags tags(const QString &path, qint64 size, qint64 modifiedNs);
    int count() const;
    bool contains(const QString &path) const;
    /*! The bytes the entries held now take, as counted against the capacity. */
    qint64 bytes() const;
    void clear();

    /*!
     * Whether a file named \a name of \a size bytes may hold tags: TagLib knows its
     * extension, and it is not smaller than MinimumSize, below which no audio
     * container holds a stream and a tag.
     */
    static bool canHoldTags(const QString &name, qint64 size);
    static constexpr qint64 MinimumSize = 128;

    /*!
     * Reads the tags of \a path with TagLib, without caching. Anything but a regular
     * file (a FIFO, a device) is not opened for reading.
     */
    static AudioTags read(const QString &path);

private:
    struct Entry
    {
        QString path;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        AudioTags tags;
        qint64 cost = 0;
    };
    using Order = std::list<Entry>; // most recently used first
    static qint64 costOf(const Entry &entry);

    const qint64 m_capacity;
    mutable QMutex m_mutex;
    Order m_order;
    QHash<QString, Order::iterator> m_entries;
    qint64 m_bytes = 0;
};

#endif
