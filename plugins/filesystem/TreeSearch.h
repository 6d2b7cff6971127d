#ifndef TREESEARCH_H
#define TREESEARCH_H

#include <QPromise>
#include <QString>
#include <QStringList>

class LinkPolicy;
class TagCache;

/*!
 * A query of the filesystem source: walks the tree below a root, depth first in
 * browse order, and reports every item whose title, artist or album contains all
 * words of the query (ignoring case and accents) as a row (object id, title, uri, MIME type).
 * The title is the tag title of audio files that have one, the file name otherwise.
 * An empty query matches every item. Runs in a worker thread; stops soon after the
 * promise is cancelled. Folders reached twice through links are walked once.
 */
class TreeSearch
{
public:
    static void run(QPromise<QStringList> &promise, const QString &root, const QString &query,
                    TagCache *tags, const LinkPolicy &links);

    static QStringList words(const QString &query);
    /*! Whether every word of \a words, folded (TextFold), is in one of the texts. */
    static bool matches(const QStringList &words, const QString &title, const QString &artist,
                        const QString &album);
};

#endif
