#include "EntryReader.h"

#include "TagCache.h"

#include <QFile>
#include <QMimeDatabase>
#include <QUrl>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
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
    // The name costs a few microseconds and no I/O; the contents a read of the file.
    QMimeType type = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    if (type.isDefault())
        type = db.mimeTypeForFile(path, QMimeDatabase::MatchContent);
    return type.name();
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
    const int fd = ::openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
        ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    for (int position : positions) {
        const char *rawName = listing->name(position);
        const QString name = QString::fromUtf8(rawName);
        const QString path = prefix + name;
        PreparedEntry entry;
        entry.objectId = childId(folderId, name);
        QVariantMap &meta = entry.metaData;
        meta.insert(Title, name);
        meta.insert(Uri, QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));

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
                if (tags && isAudio(mime)) {
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
