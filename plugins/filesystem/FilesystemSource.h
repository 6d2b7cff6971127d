#ifndef FILESYSTEMSOURCE_H
#define FILESYSTEMSOURCE_H

#include "EntryReader.h"
#include "FilesystemConfig.h"
#include "FolderListing.h"
#include "FolderWatcher.h"
#include "LinkPolicy.h"
#include "TagCache.h"

#include <TuvoBrowseReply.h>
#include <TuvoQueryReply.h>
#include <TuvoSource.h>

#include <QFutureWatcher>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QThreadPool>
#include <QTimer>

#include <memory>

/*!
 * A media source over one folder tree (its root).
 *
 * Object ids are paths relative to the root, "/"-separated; "" is the root itself.
 * Names that are not valid UTF-8 are escaped (FileName), so every id names one file.
 * Links are followed as the LinkPolicy of the configuration allows; those it does
 * not are not listed, and an id through one names nothing.
 * Browsing a folder lists folders first, then files, each in natural name order
 * (FolderListing), honouring skip and count; a non-empty predicate keeps the entries
 * whose names contain it. An empty folder gives one result with an empty object id
 * and remaining count 0. Results come through the event loop in slices: names are
 * listed once in a worker thread, and each slice is looked up there (EntryReader)
 * just before it is delivered, so memory does not grow with the folder.
 *
 * A query walks the tree (TreeSearch) and answers rows of (object id, title, uri,
 * MIME type); rows carry remaining count -1 while the walk goes on, the last one 0.
 *
 * Folders that were browsed are watched: entries appearing or going are reported as
 * containerChanged() of the folder, written files as metadataChanged() of the file.
 *
 * Properties: "root" (string, read-only) and "roots" (string list: every root of
 * the plugin, one source each; see FilesystemPlugin). A write of "roots" is refused
 * unless the configuration allows it ("roots_writable=true").
 */
class FilesystemSource : public TuvoSource
{
    Q_OBJECT
public:
    enum ErrorCode {
        NoSuchContainer = 1, //!< the object id names nothing in this source
        NotAContainer = 2,   //!< the object id names a file
        AccessDenied = 3,    //!< the folder cannot be read
        UnsupportedPredicate = 4,
        ReadFailed = 5,
    };

    FilesystemSource(const QString &root, const FilesystemConfig::Settings &settings,
                     QObject *parent = nullptr);
    ~FilesystemSource() override;

    /*! The uuid of the source for \a root: stable for a path. */
    static QString uuidForRoot(const QString &root);
    QString root() const { return m_root; }

    uint browse(const QString &objectId, const QString &predicate,
                const QStringList &additionalPredicates, uint skipCount, uint itemCount,
                QObject *receiver, const char *resultMember, const char *errorMember) override;
    void cancelBrowse(uint browseId) override;
    uint query(const QString &query, QObject *receiver, const char *resultMember,
               const char *errorMember) override;
    void cancelQuery(uint queryId) override;

    /*! The path of \a objectId, or an empty string when it names nothing below the root. */
    QString pathForId(const QString &objectId) const;
    QString idForPath(const QString &path) const;

    const TagCache &tagCache() const { return m_tags; }
    /*! Shows the plugin's current roots in the "roots" property. */
    void showRoots(const QStringList &roots);

protected:
    bool acceptPropertyWrite(const QString &name, const QVariant &value) override;

private Q_SLOTS:
    void handleFolderChanged(const QString &folder);
    void handleFileChanged(const QString &folder, const QString &name);
    void handleOverflow();
    void reportChanges();

private:
    struct ListingResult
    {
        std::shared_ptr<const FolderListing> listing;
        int error = 0;
        QVector<int> selection; // positions kept by the predicate
        bool filtered = false;
    };
    struct Browse
    {
        TuvoBrowseReply reply;
        QString folderId;
        QString folderPath;
        QString predicate;
        uint skip = 0;
        uint count = 0;
        std::shared_ptr<const FolderListing> listing;
        QVector<int> selection;
        bool filtered = false;
        int begin = 0;       // range of the listing (or selection) to deliver
        int end = 0;
        int nextPrepared = 0;
        int nextDelivered = 0;
        int slicesInFlight = 0;
        quint64 generation = 0; // of the folder when it was listed
        QMap<int, QVector<PreparedEntry>> ready; // prepared slices by first position
    };
    struct Query
    {
        TuvoQueryReply reply;
        QFutureWatcher<QStringList> *watcher = nullptr;
        int nextRow = 0;   // rows of the future handed on so far
        QStringList held;  // the latest row, sent once it is known whether more follow
        bool holding = false;
        uint index = 0;
    };

    void startListing(uint browseId);
    void handleListing(uint browseId, quint64 generation, const ListingResult &result);
    void keepListing(const QString &path, quint64 generation,
                     const std::shared_ptr<const FolderListing> &listing);
    void completeListing(uint browseId);
    void prepareSlices(uint browseId);
    void deliverSlices(uint browseId);
    void failBrowse(uint browseId, uint code, const QString &message);
    void handleQueryResults(uint queryId, int end);
    void finishQuery(uint queryId);
    void forgetListing(const QString &folder);

    QString m_root; // as paths here write it (FileName)
    const bool m_rootsWritable;
    const bool m_linksAnywhere;
    LinkPolicy m_links;
    QThreadPool m_pool;
    TagCache m_tags;
    FolderWatcher m_watcher;
    QHash<uint, Browse> m_browses;
    QHash<uint, Query> m_queries;

    // Listings of recently browsed folders, while they are watched and unchanged, so
    // that paging through a large folder lists it once.
    QList<QPair<QString, std::shared_ptr<const FolderListing>>> m_listings;
    QHash<QString, quint64> m_generations; // folder -> changes seen so far

    QSet<QString> m_changedContainers;
    QSet<QString> m_changedItems;
    QTimer m_changeTimer;
};

#endif
