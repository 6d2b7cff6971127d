#include "SampleSource.h"

#include "SampleCatalogue.h"

namespace {
// Results handed to receivers per event-loop turn, per operation.
constexpr int SliceSize = 50;
}

SampleSource::SampleSource(QObject *parent)
    : TuvoSource(QStringLiteral("sample_source"), QStringLiteral("Sample Plugin"),
                 QStringLiteral("Sample Source"), parent)
{
    // The display title of the collection, for clients to show.
    declareProperty(QStringLiteral("root_title"),
                    SampleCatalogue::instance().entry(QString()).metaData(QStringLiteral("title")));
    m_delivery.setInterval(0);
    connect(&m_delivery, &QTimer::timeout, this, &SampleSource::deliver);
}

uint SampleSource::browse(const QString &objectId, const QString &predicate, const QStringList &,
                          uint skipCount, uint itemCount, QObject *receiver,
                          const char *resultMember, const char *errorMember)
{
    Browse browse;
    browse.reply = TuvoBrowseReply(nextOperationId(), receiver, resultMember, errorMember);
    if (!browse.reply.isValid())
        return 0;

    const SampleCatalogue &catalogue = SampleCatalogue::instance();
    if (!catalogue.isContainer(objectId)) {
        browse.unknownContainer = true;
    } else {
        QList<TuvoContent> children = catalogue.children(objectId);
        if (!predicate.isEmpty()) {
            QList<TuvoContent> matching;
            for (const TuvoContent &child : qAsConst(children)) {
                if (child.metaData(QStringLiteral("title")).toString().contains(predicate, Qt::CaseInsensitive))
                    matching.append(child);
            }
            children = matching;
        }
        browse.items = children.mid(int(qMin<uint>(skipCount, uint(children.size()))),
                                    itemCount == 0 ? -1 : int(qMin<uint>(itemCount, INT_MAX)));
        browse.firstIndex = skipCount;
    }
    const uint id = browse.reply.id();
    m_browses.insert(id, browse);
    m_delivery.start();
    return id;
}

void SampleSource::cancelBrowse(uint browseId)
{
    m_browses.remove(browseId);
}

uint SampleSource::query(const QString &text, QObject *receiver, const char *resultMember,
                         const char *errorMember)
{
    Query query;
    query.reply = TuvoQueryReply(nextOperationId(), receiver, resultMember, errorMember);
    if (!query.reply.isValid())
        return 0;
    const QList<TuvoContent> found = SampleCatalogue::instance().search(text);
    for (const TuvoContent &track : found) {
        query.rows.append({track.uuid(), track.metaData(QStringLiteral("title")).toString(),
                           track.metaData(QStringLiteral("artist")).toString(),
                           track.metaData(QStringLiteral("album")).toString(),
                           track.metaData(QStringLiteral("uri")).toString()});
    }
    const uint id = query.reply.id();
    m_queries.insert(id, query);
    m_delivery.start();
    return id;
}

void SampleSource::cancelQuery(uint queryId)
{
    m_queries.remove(queryId);
}

template <typename Operation, typename Send>
void SampleSource::deliverSlices(QMap<uint, Operation> &operations, Send send)
{
    // A receiver may cancel or start operations from inside a callback: work on ids,
    // and look the operation up again after every answer.
    const QList<uint> ids = operations.keys();
    for (uint id : ids) {
        if (!operations.contains(id))
            continue;
        if (!operations.value(id).reply.isAlive()) {
            operations.remove(id);
            continue;
        }
        const Operation operation = operations.value(id);
        const int total = operation.size();
        const int end = qMin(operation.next + SliceSize, total);
        operations[id].next = end;
        for (int i = operation.next; i < end || total == 0; ++i) {
            const int remaining = qMax(total - i - 1, 0);
            if (!send(operation, i, remaining) || remaining == 0) {
                operations.remove(id);
                break;
            }
            if (!operations.contains(id))
                break; // cancelled inside the callback
        }
    }
}

void SampleSource::deliver()
{
    deliverSlices(m_browses, [](const Browse &browse, int i, int remaining) {
        if (browse.unknownContainer) {
            browse.reply.sendError(NoSuchContainer, QStringLiteral("no such container"));
            return false;
        }
        // Nothing there: one empty last result tells the receiver that it ended.
        if (browse.items.isEmpty())
            return browse.reply.sendResult(QString(), QVariantMap(), browse.firstIndex, 0);
        const TuvoContent &item = browse.items.at(i);
        return browse.reply.sendResult(item.uuid(), item.metaData(), browse.firstIndex + uint(i),
                                       remaining);
    });
    deliverSlices(m_queries, [](const Query &query, int i, int remaining) {
        if (query.rows.isEmpty())
            return query.reply.sendResult(QStringList(), 0, 0);
        return query.reply.sendResult(query.rows.at(i), uint(i), remaining);
    });
    if (m_browses.isEmpty() && m_queries.isEmpty())
        m_delivery.stop();
}
