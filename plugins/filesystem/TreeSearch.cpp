#include "TreeSearch.h"

#include "EntryReader.h"
#include "FolderListing.h"
#include "TagCache.h"

#include <QFile>
#include <QMimeDatabase>
#include <QSet>
#include <QUrl>

#include <sys/stat.h>

QStringList TreeSearch::words(const QString &query)
{
    return query.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool TreeSearch::matches(const QStringList &words, const QString &title, const QString &artist,
                         const QString &album)
{
    for (const QString &word : words) {
        if (!title.contains(word, Qt::CaseInsensitive) && !artist.contains(word, Qt::CaseInsensitive)
            && !album.contains(word, Qt::CaseInsensitive)) {
            return false;
        }
    }
    return true;
}

void TreeSearch::run(QPromise<QStringList> &promise, const QString &root, const QString &query,
                     TagCache *tags)
{
    const QStringList wanted = words(query);
    const QMimeDatabase db;
    struct Folder
    {
        QString path;
        QString id;
    };
    QList<Folder> pending{{root, QString()}};
    QSet<QPair<quint64, quint64>> visited;

    while (!pending.isEmpty() && !promise.isCanceled()) {
        const Folder folder = pending.takeLast();
        const QByteArray encoded = QFile::encodeName(folder.path);
        struct stat st;
        if (::stat(encoded.constData(), &st) != 0)
            continue;
        const QPair<quint64, quint64> identity(quint64(st.st_dev), quint64(st.st_ino));
        if (visited.contains(identity))
            continue;
        visited.insert(identity);
        int error = 0;
        const auto listing = FolderListing::read(encoded, &error);
        if (!listing)
            continue;
        // Sub-folders are walked after this folder's items, in browse order.
        for (int i = listing->containerCount() - 1; i >= 0; --i) {
            const QString name = listing->displayName(i);
            pending.append({folder.path + QLatin1Char('/') + name,
                            EntryReader::childId(folder.id, name)});
        }
        for (int i = listing->containerCount(); i < listing->size(); ++i) {
            if (promise.isCanceled())
                return;
            const QString name = listing->displayName(i);
            const QString path = folder.path + QLatin1Char('/') + name;
            const QString mime = EntryReader::mimeType(db, name, path);
            QString title = name;
            QString artist;
            QString album;
            struct stat file;
            if (EntryReader::isAudio(mime) && tags
                && ::stat(QFile::encodeName(path).constData(), &file) == 0) {
                const AudioTags found = tags->tags(
                    path, file.st_size, qint64(file.st_mtim.tv_sec) * 1000000000 + file.st_mtim.tv_nsec);
                if (!found.title.isEmpty())
                    title = found.title;
                artist = found.artist;
                album = found.album;
            }
            if (!matches(wanted, title, artist, album))
                continue;
            promise.addResult(QStringList{EntryReader::childId(folder.id, name), title,
                                          QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded),
                                          mime});
        }
    }
}
