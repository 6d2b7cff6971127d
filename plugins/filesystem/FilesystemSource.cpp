#include "FilesystemSource.h"

#include "FileName.h"
#include "TreeSearch.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcFilesystem, "tuvo.plugin.filesystem", QtWarningMsg)

namespace {
// The first slice is small so that the first results arrive quickly; later ones are
// larger so that the worker threads are not woken for every few entries.
constexpr int FirstSliceSize = 50;
constexpr int SliceSize = 250;
// Slices looked up ahead of delivery: one more than the worker threads, so that a
// thread that finished early finds the next slice waiting; few enough that memory
// stays bounded whatever the size of the folder.
constexpr int SlicesInFlight = 3;
constexpr int ListingCacheSize = 4;
// Beyond this, older listings go even when fewer are kept: four folders of a million
// entries would hold some 90 MB. The latest listing stays whatever its size, so that
// paging through one large folder still lists it once.
constexpr qint64 ListingCacheBytes = 24 * 1024 * 1024;
// Entries ordered before the first results go out; the rest is sorted meanwhile.
constexpr int FirstOrdered = 1000;
// Copying an album into a folder is one change, not twelve.
constexpr int ChangeDelayMs = 100;

const QString RootProperty = QStringLiteral("root");
const QString RootsProperty = QStringLiteral("roots");

QString sanitized(const QString &text)
{
    QString result;
    for (const QChar c : text) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            result.append(c.toLower());
        else if (!result.endsWith(QLatin1Char('_')))
            result.append(QLatin1Char('_'));
    }
    return result.left(24);
}
} // namespace

FilesystemSource::FilesystemSource(const QString &root, const FilesystemConfig::Settings &settings,
                                   QObject *parent)
    : TuvoSource(uuidForRoot(root), QStringLiteral("Filesystem"),
                 root == QLatin1String("/") ? root : QFileInfo(root).fileName(), parent)
    , m_root(FileName::fromBytes(root.toUtf8()))
    , m_rootsWritable(settings.rootsWritable)
    , m_linksAnywhere(settings.linksAnywhere)
    , m_links(settings.roots, settings.linksAnywhere)
{
    declareProperty(RootProperty, root, false);
    declareProperty(RootsProperty, settings.roots);
    m_pool.setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
    connect(&m_watcher, &FolderWatcher::folderChanged, this, &FilesystemSource::handleFolderChanged);
    connect(&m_watcher, &FolderWatcher::fileChanged, this, &FilesystemSource::handleFileChanged);
    connect(&m_watcher, &FolderWatcher::overflowed, this, &FilesystemSource::handleOverflow);
    m_watcher.watch(m_root);
    m_changeTimer.setSingleShot(true);
    m_changeTimer.setInterval(ChangeDelayMs);
    connect(&m_changeTimer, &QTimer::timeout, this, &FilesystemSource::reportChanges);
}

FilesystemSource::~FilesystemSource()
{
    // Worker threads run this plugin's code: they must be done before it is unloaded.
    for (const Query &query : qAsConst(m_queries))
        query.watcher->future().cancel();
    m_browses.clear();
    m_queries.clear();
    m_pool.clear();
    m_pool.waitForDone();
}

QString FilesystemSource::uuidForRoot(const QString &root)
{
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(root),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(8);
    QString name = sanitized(QFileInfo(root).fileName());
    if (name.isEmpty() || name == QLatin1String("_"))
        name = QStringLiteral("root");
    return QStringLiteral("filesystem_") + name + QLatin1Char('_') + QLatin1String(hash);
}

QString FilesystemSource::pathForId(const QString &objectId) const
{
    if (objectId.isEmpty())
        return m_root;
    // Ids are relative paths made by this source: anything that could step outside
    // the root, or that no listing produces, names nothing.
    if (objectId.startsWith(QLatin1Char('/')) || objectId.endsWith(QLatin1Char('/'))
        || objectId.contains(QChar(0))) {
        return QString();
    }
    const QStringList parts = objectId.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")
            || part.startsWith(QLatin1Char('.'))) {
            return QString();
        }
    }
    return m_root == QLatin1String("/") ? m_root + objectId : m_root + QLatin1Char('/') + objectId;
}

QString FilesystemSource::idForPath(const QString &path) const
{
    if (path == m_root)
        return QString();
    if (m_root == QLatin1String("/"))
        return path.mid(1);
    return path.mid(m_root.size() + 1);
}

uint FilesystemSource::browse(const QString &objectId, const QString &predicate,
                              const QStringList &additionalPredicates, uint skipCount,
                              uint itemCount, QObject *receiver, const char *resultMember,
                              const char *errorMember)
{
    Browse browse;
    browse.reply = TuvoBrowseReply(nextOperationId(), receiver, resultMember, errorMember);
    if (!browse.reply.isValid())
        return 0;
    const uint id = browse.reply.id();
    browse.folderId = objectId;
    browse.folderPath = pathForId(objectId);
    browse.predicate = predicate;
    browse.skip = skipCount;
    browse.count = itemCount;
    m_browses.insert(id, browse);
    qCDebug(lcFilesystem) << "browse" << id << objectId << skipCount << itemCount;

    // Errors too come through the event loop, like results.
    if (!additionalPredicates.isEmpty()) {
        QTimer::singleShot(0, this, [this, id, additionalPredicates] {
            failBrowse(id, UnsupportedPredicate,
                       QStringLiteral("additional predicates are not supported: ")
                           + additionalPredicates.join(QLatin1String(", ")));
        });
    } else if (browse.folderPath.isEmpty()) {
        QTimer::singleShot(0, this, [this, id, objectId] {
            failBrowse(id, NoSuchContainer, QStringLiteral("no such folder: \"%1\"").arg(objectId));
        });
    } else {
        startListing(id);
    }
    return id;
}

void FilesystemSource::cancelBrowse(uint browseId)
{
    m_browses.remove(browseId);
}

void FilesystemSource::failBrowse(uint browseId, uint code, const QString &message)
{
    const auto it = m_browses.constFind(browseId);
    if (it == m_browses.constEnd())
        return;
    const TuvoBrowseReply reply = it->reply;
    m_browses.remove(browseId);
    reply.sendError(code, message);
}

void FilesystemSource::startListing(uint browseId)
{
    const Browse &browse = m_browses[browseId];
    const QString path = browse.folderPath;
    const QString predicate = browse.predicate;
    // The first results need their entries in order, not the whole folder sorted:
    // the rest is ordered while they are delivered (completeListing()).
    const qint64 needed = browse.count == 0 ? qint64(INT_MAX) : qint64(browse.skip) + browse.count;
    const int ordered =
        !predicate.isEmpty() ? -1 : int(qMin(needed, qMin(qint64(browse.skip) + FirstOrdered, qint64(INT_MAX))));
    const LinkPolicy links = m_links;

    std::shared_ptr<const FolderListing> cached;
    if (m_watcher.isWatching(path)) {
        for (const auto &entry : qAsConst(m_listings)) {
            if (entry.first == path)
                cached = entry.second;
        }
    }
    // Watch before reading, so that a change during the read is not missed.
    m_watcher.watch(path);
    const quint64 generation = m_generations.value(path);

    auto *watcher = new QFutureWatcher<ListingResult>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, browseId, generation] {
        handleListing(browseId, generation, watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(&m_pool, [path, predicate, cached, ordered, links] {
        ListingResult result;
        const QByteArray encoded = FileName::toBytes(path);
        struct stat st;
        if (!links.allows(encoded)) {
            // Reached through a link that leads where the source does not go.
            result.error = ENOENT;
            return result;
        }
        if (cached && ::stat(encoded.constData(), &st) == 0 && cached->isCurrent(st)) {
            result.listing = cached;
            if (ordered < 0 ? cached->sortedCount() < cached->size() : cached->sortedCount() < ordered)
                result.listing = FolderListing::complete(cached);
        } else {
            result.listing = FolderListing::read(encoded, &result.error, &links, ordered);
        }
        if (result.listing && !predicate.isEmpty()) {
            result.selection = result.listing->matching(predicate);
            result.filtered = true;
        }
        return result;
    }));
}

void FilesystemSource::handleListing(uint browseId, quint64 generation, const ListingResult &result)
{
    const auto found = m_browses.find(browseId);
    const QString path = found != m_browses.end() ? found->folderPath : QString();
    if (found == m_browses.end())
        return;

    keepListing(path, generation, result.listing);

    if (!result.listing) {
        const QString id = found->folderId;
        switch (result.error) {
        case ENOENT:
            failBrowse(browseId, NoSuchContainer, QStringLiteral("no such folder: \"%1\"").arg(id));
            break;
        case ENOTDIR:
            failBrowse(browseId, NotAContainer, QStringLiteral("not a folder: \"%1\"").arg(id));
            break;
        case EACCES:
        case EPERM:
            failBrowse(browseId, AccessDenied,
                       QStringLiteral("no permission to read \"%1\"").arg(id));
            break;
        default:
            failBrowse(browseId, ReadFailed,
                       QStringLiteral("cannot read \"%1\": %2")
                           .arg(id, QString::fromLocal8Bit(std::strerror(result.error))));
        }
        return;
    }

    Browse &browse = found.value();
    browse.listing = result.listing;
    browse.selection = result.selection;
    browse.filtered = result.filtered;
    const qint64 total = browse.filtered ? browse.selection.size() : browse.listing->size();
    browse.begin = int(qMin<qint64>(browse.skip, total));
    browse.end = browse.count == 0 ? int(total) : int(qMin<qint64>(total, qint64(browse.begin) + browse.count));
    browse.nextPrepared = browse.begin;
    browse.nextDelivered = browse.begin;
    browse.generation = generation;
    if (browse.begin == browse.end) {
        // Nothing there: one empty last result tells the receiver that it ended.
        const TuvoBrowseReply reply = browse.reply;
        const uint index = browse.skip;
        m_browses.remove(browseId);
        reply.sendResult(QString(), QVariantMap(), index, 0);
        return;
    }
    if (browse.listing->sortedCount() < browse.end)
        completeListing(browseId);
    prepareSlices(browseId);
}

void FilesystemSource::keepListing(const QString &path, quint64 generation,
                                   const std::shared_ptr<const FolderListing> &listing)
{
    if (!listing || !m_watcher.isWatching(path) || m_generations.value(path) != generation)
        return;
    forgetListing(path);
    m_listings.append({path, listing});
    qint64 bytes = 0;
    for (const auto &kept : qAsConst(m_listings))
        bytes += kept.second->memoryUse();
    while (m_listings.size() > ListingCacheSize || (m_listings.size() > 1 && bytes > ListingCacheBytes)) {
        bytes -= m_listings.first().second->memoryUse();
        m_listings.removeFirst();
    }
}

void FilesystemSource::completeListing(uint browseId)
{
    const Browse &browse = m_browses[browseId];
    const std::shared_ptr<const FolderListing> partial = browse.listing;
    auto *watcher = new QFutureWatcher<std::shared_ptr<const FolderListing>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, browseId] {
        watcher->deleteLater();
        const auto found = m_browses.find(browseId);
        if (found == m_browses.end())
            return;
        // The ordered head is the same in both: slices under way stay valid.
        found->listing = watcher->result();
        keepListing(found->folderPath, found->generation, found->listing);
        prepareSlices(browseId);
    });
    watcher->setFuture(QtConcurrent::run(&m_pool, [partial] { return FolderListing::complete(partial); }));
}

void FilesystemSource::prepareSlices(uint browseId)
{
    Browse &browse = m_browses[browseId];
    const int ready = qMin(browse.end, browse.listing->sortedCount());
    while (browse.slicesInFlight < SlicesInFlight && browse.nextPrepared < ready) {
        const int from = browse.nextPrepared;
        const int size = from == browse.begin ? FirstSliceSize : SliceSize;
        const int to = qMin(ready, from + size);
        QVector<int> positions;
        positions.reserve(to - from);
        for (int i = from; i < to; ++i)
            positions.append(browse.filtered ? browse.selection.at(i) : i);
        browse.nextPrepared = to;
        ++browse.slicesInFlight;

        auto *watcher = new QFutureWatcher<QVector<PreparedEntry>>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, browseId, from] {
            watcher->deleteLater();
            const auto found = m_browses.find(browseId);
            if (found == m_browses.end())
                return;
            --found->slicesInFlight;
            found->ready.insert(from, watcher->result());
            deliverSlices(browseId);
            if (m_browses.contains(browseId))
                prepareSlices(browseId);
        });
        watcher->setFuture(QtConcurrent::run(&m_pool, &EntryReader::read, browse.folderPath,
                                             browse.folderId, browse.listing, positions, &m_tags));
    }
}

void FilesystemSource::deliverSlices(uint browseId)
{
    for (;;) {
        const auto found = m_browses.find(browseId);
        if (found == m_browses.end())
            return;
        if (!found->reply.isAlive()) {
            m_browses.erase(found);
            return;
        }
        if (!found->ready.contains(found->nextDelivered))
            return;
        const QVector<PreparedEntry> entries = found->ready.take(found->nextDelivered);
        const int from = found->nextDelivered;
        const int end = found->end;
        const TuvoBrowseReply reply = found->reply;
        found->nextDelivered = from + int(entries.size());
        // The receiver may cancel this browse, or start others, from inside a callback.
        for (int k = 0; k < entries.size(); ++k) {
            const int position = from + k;
            const int remaining = end - position - 1;
            const bool sent = reply.sendResult(entries.at(k).objectId, entries.at(k).metaData,
                                               uint(position), remaining);
            if (!sent || remaining == 0) {
                m_browses.remove(browseId);
                return;
            }
            if (!m_browses.contains(browseId))
                return;
        }
    }
}

uint FilesystemSource::query(const QString &text, QObject *receiver, const char *resultMember,
                             const char *errorMember)
{
    Query query;
    query.reply = TuvoQueryReply(nextOperationId(), receiver, resultMember, errorMember);
    if (!query.reply.isValid())
        return 0;
    const uint id = query.reply.id();
    qCDebug(lcFilesystem) << "query" << id << text;
    query.watcher = new QFutureWatcher<QStringList>(this);
    connect(query.watcher, &QFutureWatcherBase::resultsReadyAt, this,
            [this, id](int, int end) { handleQueryResults(id, end); });
    connect(query.watcher, &QFutureWatcherBase::finished, this, [this, id] { finishQuery(id); });
    m_queries.insert(id, query);
    const QString root = m_root;
    TagCache *tags = &m_tags;
    const LinkPolicy links = m_links;
    query.watcher->setFuture(QtConcurrent::run(&m_pool, [root, text, tags, links](QPromise<QStringList> &promise) {
        TreeSearch::run(promise, root, text, tags, links);
    }));
    return id;
}

void FilesystemSource::cancelQuery(uint queryId)
{
    const auto found = m_queries.find(queryId);
    if (found == m_queries.end())
        return;
    found->watcher->future().cancel();
    found->watcher->deleteLater();
    m_queries.erase(found);
}

void FilesystemSource::handleQueryResults(uint queryId, int end)
{
    for (;;) {
        const auto found = m_queries.find(queryId);
        if (found == m_queries.end())
            return;
        if (found->nextRow >= end)
            return;
        const QStringList row = found->watcher->future().resultAt(found->nextRow++);
        // A row goes out once the next one is found, so that the last one can carry 0.
        if (!found->holding) {
            found->held = row;
            found->holding = true;
            continue;
        }
        const QStringList previous = found->held;
        const uint index = found->index++;
        found->held = row;
        const TuvoQueryReply reply = found->reply;
        if (!reply.sendResult(previous, index, -1)) {
            cancelQuery(queryId);
            return;
        }
    }
}

void FilesystemSource::finishQuery(uint queryId)
{
    auto found = m_queries.find(queryId);
    if (found == m_queries.end())
        return;
    handleQueryResults(queryId, found->watcher->future().resultCount());
    found = m_queries.find(queryId);
    if (found == m_queries.end())
        return;
    const Query query = found.value();
    found->watcher->deleteLater();
    m_queries.erase(found);
    if (query.holding)
        query.reply.sendResult(query.held, query.index, 0);
    else
        query.reply.sendResult(QStringList(), 0, 0);
}

void FilesystemSource::showRoots(const QStringList &roots)
{
    m_links = LinkPolicy(roots, m_linksAnywhere);
    updateDeclaredProperty(RootsProperty, roots);
}

bool FilesystemSource::acceptPropertyWrite(const QString &name, const QVariant &value)
{
    if (name != RootsProperty)
        return true;
    if (!m_rootsWritable) {
        qCWarning(lcFilesystem) << "roots refused: the configuration does not allow writing them"
                                << "(roots_writable=true)";
        return false;
    }
    QString error;
    const QStringList roots = FilesystemConfig::checkRoots(value.toStringList(), &error);
    if (roots.isEmpty()) {
        qCWarning(lcFilesystem) << "roots refused:" << error;
        return false;
    }
    return true;
}

void FilesystemSource::handleFolderChanged(const QString &folder)
{
    ++m_generations[folder];
    forgetListing(folder);
    m_changedContainers.insert(idForPath(folder));
    if (!m_changeTimer.isActive())
        m_changeTimer.start();
}

void FilesystemSource::handleFileChanged(const QString &folder, const QString &name)
{
    m_changedItems.insert(EntryReader::childId(idForPath(folder), name));
    if (!m_changeTimer.isActive())
        m_changeTimer.start();
}

void FilesystemSource::handleOverflow()
{
    const QStringList folders = m_watcher.folders();
    for (const QString &folder : folders)
        handleFolderChanged(folder);
}

void FilesystemSource::forgetListing(const QString &folder)
{
    for (int i = int(m_listings.size()) - 1; i >= 0; --i) {
        if (m_listings.at(i).first == folder)
            m_listings.removeAt(i);
    }
}

void FilesystemSource::reportChanges()
{
    QStringList containers(m_changedContainers.cbegin(), m_changedContainers.cend());
    QStringList items(m_changedItems.cbegin(), m_changedItems.cend());
    m_changedContainers.clear();
    m_changedItems.clear();
    std::sort(containers.begin(), containers.end());
    std::sort(items.begin(), items.end());
    for (const QString &id : qAsConst(containers))
        Q_EMIT containerChanged(TuvoContent(id));
    // A client browses a changed folder again anyway: its new files need no report.
    for (const QString &id : qAsConst(items)) {
        const int slash = int(id.lastIndexOf(QLatin1Char('/')));
        const QString folder = slash < 0 ? QString() : id.left(slash);
        if (!containers.contains(folder))
            Q_EMIT metadataChanged(TuvoContent(id));
    }
}
