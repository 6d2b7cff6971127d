#ifndef ENTRYREADER_H
#define ENTRYREADER_H

#include "FolderListing.h"

#include <QString>
#include <QVariantMap>
#include <QVector>

#include <memory>

class QMimeDatabase;
class TagCache;
struct AudioTags;

/*! One browse result, ready to be handed to the framework. */
struct PreparedEntry
{
    QString objectId;
    QVariantMap metaData;
};

/*!
 * Looks up what a browse shows of a listed entry: title, uri, MIME type, size,
 * modification time, whether it is a container and how many entries it has, and the
 * tags of audio files. Pure functions of the file system (and the tag cache), run in
 * worker threads a slice at a time.
 */
class EntryReader
{
public:
    /*! Metadata keys of browse results. */
    static const QString Title, Uri, MimeType, Size, Modified, IsContainer, ChildCount,
        Artist, Album, Genre, TrackNumber, Year, Duration;
    static const QString DirectoryMimeType;

    /*!
     * The entries at \a positions of \a listing, the listing of \a folderPath whose
     * object id is \a folderId.
     */
    static QVector<PreparedEntry> read(const QString &folderPath, const QString &folderId,
                                       const std::shared_ptr<const FolderListing> &listing,
                                       const QVector<int> &positions, TagCache *tags);

    /*!
     * The MIME type of a file: by its extension when that says anything, by its
     * contents otherwise (of regular files only: anything else is
     * application/octet-stream).
     */
    static QString mimeType(const QMimeDatabase &db, const QString &name, const QString &path);
    static QString contentType(const QMimeDatabase &db, const QString &path);
    /*! Extensions each worker thread remembers the MIME type of, at most. */
    static constexpr int MaxExtensions = 1024;
    static bool isAudio(const QString &mimeType)
    {
        return mimeType.startsWith(QLatin1String("audio/"));
    }
    /*! The object id of \a name in the folder \a folderId. */
    static QString childId(const QString &folderId, const QString &name)
    {
        return folderId.isEmpty() ? name : folderId + QLatin1Char('/') + name;
    }
    /*! Adds what \a tags know to \a meta; a tag title replaces the file name. */
    static void addTags(const AudioTags &tags, QVariantMap *meta);
    /*! The number of listed entries in the folder \a name under \a folderFd. */
    static uint countEntries(int folderFd, const char *name);
};

#endif
