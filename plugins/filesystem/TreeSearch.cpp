#include "TreeSearch.h"

#include "EntryReader.h"
#include "FileName.h"
#include "FolderListing.h"
#include "LinkPolicy.h"
#include "TagCache.h"
#include "TextFold.h"

#include <QMimeDatabase>
#include <QSet>

#include <sys/stat.h>

QStringList TreeSearch::words(const QString &query)
{
    return query.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool TreeSearch::matches(const QStringList &words, const QString &title, const QString &artist,
                         const QString &album)
{
    for (const QString &word : words) {
        if (!TextFold::contains(title, word) && !TextFold::contains(artist, word)
            && !TextFold::contains(album, word)) {
            return false;
        }
    }
    return true;
}

void TreeSearch::run(QPromise<QStringList> &promise, const QString &root, const QString &query,
                     TagCache *tags, const LinkPolicy &links)
{
    QStringList wanted = words(query);
    for (QString &word : wanted)
        word = TextFold::fold(word);
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
        const QByteArray encoded = FileName::toBytes(folder.path);
        struct stat st;
        if (::stat(encoded.constData(), &st) != 0 || !links.allows(encoded))
            continue;
        const QPair<quint64, quint64> identity(quint64(st.st_dev), quint64(st.st_ino));
        if (visited.contains(identity))
            continue;
        visited.insert(identity);
        int error = 0;
        const auto listing = FolderListing::read(encoded, &error, &links);
        if (!listing)
            continue;
        // Sub-folders are walked after this folder's items, in browse order.
        for (int i = listing->containerCount() - 1; i >= 0; --i) {
            const QString name = listing->idName(i);
            pending.append({folder.path + QLatin1Char('/') + name,
                            EntryReader::childId(folder.id, name)});
        }
        for (int i = listing->containerCount(); i < listing->size(); ++i) {
            if (promise.isCanceled())
                return;
            const QString name = listing->idName(i);
            const QString path = folder.path + QLatin1Char('/') + name;
            const QString mime = EntryReader::mimeType(db, name, path);
            QString title = listing->displayName(i);
            QString artist;
            QString album;
            struct stat file;
            if (EntryReader::isAudio(mime) && tags
                && ::stat(FileName::toBytes(path).constData(), &file) == 0 && S_ISREG(file.st_mode)
                && TagCache::canHoldTags(name, file.st_size)) {
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
                                          FileName::uri(path),
                                          mime});
        }
    }
}
