#include "EntryReader.h"

#include "FileName.h"
#include "TagCache.h"

#include <QFile>
#include <QHash>
#include <QMimeDatabase>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const QString EntryReader::Title = QStringLiteral("title");
const QString EntryReader::Uri = QStringLiteral("uri");
const QString EntryReader::MimeType = QStringLiteral("mime_type");
const QString EntryReader::Size = QStringLiteral("size");
const QString EntryReader::Modified = QStringLiteral("modified");
const QString EntryReader::IsContainer = QStringLiteral("is_container");
const QString EntryReader::ChildCount = QStringLiteral("child_count");
const QString EntryReader::Artist = QStringLiteral("artist");
const QString EntryReader::Album = QStringLiteral("album");
const QString EntryReader::Genre = QStringLiteral("genre");
const QString EntryReader::TrackNumber = QStringLiteral("track_number");
const QString EntryReader::Year = QStringLiteral("year");
const QString EntryReader::Duration = QStringLiteral("duration");
const QString EntryReader::DirectoryMimeType = QStringLiteral("inode/directory");

QString EntryReader::mimeType(const QMimeDatabase &db, const QString &name, const QString &path)
{
    // By the extension: one look-up in the database per extension and thread, then
    // a hash of this thread's own, with no lock between the workers.
    // Files of a folder mostly share one extension: the last one is kept apart, so
    // that it needs neither a copy of the extension nor a hash look-up.
    thread_local QHash<QString, QString> byExtension;
    thread_local QString lastExtension;
    thread_local QString lastType;
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    QString type;
    if (dot > 0 && dot < name.size() - 1) {
        const QStringView extensionView = QStringView(name).mid(dot + 1);
        if (!lastExtension.isEmpty() && extensionView == lastExtension)
            return lastType.isEmpty() ? contentType(db, path) : lastType;
        const QString extension = extensionView.toString();
        const auto known = byExtension.constFind(extension);
        if (known != byExtension.constEnd()) {
            type = known.value();
        } else {
            const QMimeType found =
                db.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
            type = found.isDefault() ? QString() : found.name();
            if (byExtension.size() < MaxExtensions)
                byExtension.insert(extension, type);
        }
        lastExtension = extension;
        lastType = type;
    } else {
        const QMimeType found = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        if (!found.isDefault())
            type = found.name();
    }
    if (!type.isEmpty())
        return type;
    return contentType(db, path);
}

QString EntryReader::contentType(const QMimeDatabase &db, const QString &path)
{
    // Only a regular file is read: a FIFO would block the open, a device the read.
    const int fd = ::open(FileName::toBytes(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return db.mimeTypeForName(QStringLiteral("application/octet-stream")).name();
    struct stat st;
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return db.mimeTypeForName(QStringLiteral("application/octet-stream")).name();
    }
    return db.mimeTypeForData(&file).name();
}

void EntryReader::addTags(const AudioTags &tags, QVariantMap *meta)
{
    if (!tags.valid)
        return;
    if (!tags.title.isEmpty())
        meta->insert(Title, tags.title);
    if (!tags.artist.isEmpty())
        meta->insert(Artist, tags.artist);
    if (!tags.album.isEmpty())
        meta->insert(Album, tags.album);
    if (!tags.genre.isEmpty())
        meta->insert(Genre, tags.genre);
    if (tags.trackNumber > 0)
        meta->insert(TrackNumber, tags.trackNumber);
    if (tags.year > 0)
        meta->insert(Year, tags.year);
    if (tags.durationMs > 0)
        meta->insert(Duration, uint((tags.durationMs + 500) / 1000));
}

uint EntryReader::countEntries(int folderFd, const char *name)
{
    const int fd = ::openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    uint count = 0;
    while (struct dirent *entry = ::readdir(dir)) {
        if (FolderListing::isListed(entry->d_name))
            ++count;
    }
    ::closedir(dir);
    return count;
}

QVector<PreparedEntry> EntryReader::read(const QString &folderPath, const QString &folderId,
                                         const std::shared_ptr<const FolderListing> &listing,
                                         const QVector<int> &positions, TagCache *tags)
{
    const QMimeDatabase db;
    QVector<PreparedEntry> entries;
    entries.reserve(positions.size());
    const QString prefix = folderPath.endsWith(QLatin1Char('/')) ? folderPath
                                                                 : folderPath + QLatin1Char('/');
    const int folderFd =
        ::open(FileName::toBytes(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    for (int position : positions) {
        const char *rawName = listing->name(position);
        const QString name = listing->idName(position);
        const QString path = prefix + name;
        PreparedEntry entry;
        entry.objectId = childId(folderId, name);
        QVariantMap &meta = entry.metaData;
        // A plain ASCII name reads the same in ids and for people.
        const char *byte = rawName;
        while (*byte && static_cast<unsigned char>(*byte) < 0x80)
            ++byte;
        meta.insert(Title, *byte ? listing->displayName(position) : name);
        meta.insert(Uri, FileName::uri(path));

        // The time comes from stat itself: QFileInfo would ask the time zone per file.
        struct stat st;
        const bool known = folderFd >= 0 && ::fstatat(folderFd, rawName, &st, 0) == 0;
        const bool container = known ? S_ISDIR(st.st_mode) : listing->isContainer(position);
        meta.insert(IsContainer, container);
        if (known)
            meta.insert(Modified, qlonglong(st.st_mtim.tv_sec));
        if (container) {
            meta.insert(MimeType, DirectoryMimeType);
            meta.insert(ChildCount, countEntries(folderFd, rawName));
        } else {
            const QString mime = mimeType(db, name, path);
            meta.insert(MimeType, mime);
            if (known) {
                meta.insert(Size, qulonglong(st.st_size));
                if (tags && isAudio(mime) && S_ISREG(st.st_mode)
                    && TagCache::canHoldTags(name, st.st_size)) {
                    const qint64 modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
                    addTags(tags->tags(path, st.st_size, modifiedNs), &meta);
                }
            }
        }
        entries.append(entry);
    }
    if (folderFd >= 0)
        ::close(folderFd);
    return entries;
}
