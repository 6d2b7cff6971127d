#ifndef SAMPLESOURCE_H
#define SAMPLESOURCE_H

#include <TuvoBrowseReply.h>
#include <TuvoQueryReply.h>
#include <TuvoSource.h>

#include <QList>
#include <QMap>
#include <QTimer>

/*!
 * The sample source: browses and searches the built-in catalogue.
 *
 * Results are delivered through the event loop, a slice at a time, never inside the
 * browse() or query() call. The predicate of a browse, when not empty, keeps only the
 * entries whose title contains it (case-insensitive); an unknown container is an
 * error (NoSuchContainer). A query returns rows of (object id, title, artist, album,
 * uri). Property "root_title" (string, writable) is the collection's display title.
 */
class SampleSource : public TuvoSource
{
    Q_OBJECT
public:
    explicit SampleSource(QObject *parent = nullptr);

    uint browse(const QString &objectId, const QString &predicate,
                const QStringList &additionalPredicates, uint skipCount, uint itemCount,
                QObject *receiver, const char *resultMember, const char *errorMember) override;
    void cancelBrowse(uint browseId) override;
    uint query(const QString &query, QObject *receiver, const char *resultMember,
               const char *errorMember) override;
    void cancelQuery(uint queryId) override;

    enum ErrorCode { NoSuchContainer = 1 };

private Q_SLOTS:
    void deliver();

private:
    struct Browse {
        TuvoBrowseReply reply;
        QList<TuvoContent> items;
        uint firstIndex = 0;
        int next = 0;
        bool unknownContainer = false;
        int size() const { return unknownContainer ? 0 : int(items.size()); }
    };
    struct Query {
        TuvoQueryReply reply;
        QList<QStringList> rows;
        int next = 0;
        int size() const { return int(rows.size()); }
    };

    template <typename Operation, typename Send>
    void deliverSlices(QMap<uint, Operation> &operations, Send send);

    QMap<uint, Browse> m_browses;
    QMap<uint, Query> m_queries;
    QTimer m_delivery;
};

#endif
