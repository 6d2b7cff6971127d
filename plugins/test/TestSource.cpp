#include "TestSource.h"

#include "TestStreamItem.h"

#include <QDBusConnection>
#include <QDebug>

namespace {
// How many distinct items a stream cycles through.
constexpr int StreamItems = 64;

struct StreamItem {
    QString objectId;
    QVariantMap metaData;
};

const QList<StreamItem> &streamItems()
{
    static const QList<StreamItem> items = [] {
        QList<StreamItem> list;
        for (int i = 0; i < StreamItems; ++i)
            list.append({TestStreamItem::objectId(i), TestStreamItem::metaData(i)});
        return list;
    }();
    return items;
}
} // namespace

TestSource::TestSource(const QString &uuid, const QString &pluginName, const QString &name,
                       QObject *parent)
    : TuvoSource(uuid, pluginName, name, parent)
    , m_controlPath(QStringLiteral("/com/oxbel/tuvo/test/source/") + uuid)
{
    m_published = QDBusConnection::sessionBus().registerObject(m_controlPath, this,
                                                               QDBusConnection::ExportAllSlots);
    if (!m_published)
        qWarning() << "test plugin: cannot register the source control at" << m_controlPath;
    m_streamTimer.setInterval(0);
    connect(&m_streamTimer, &QTimer::timeout, this, &TestSource::streamSlice);
}

TestSource::~TestSource()
{
    if (m_published)
        QDBusConnection::sessionBus().unregisterObject(m_controlPath);
}

uint TestSource::browse(const QString &objectId, const QString &predicate,
                        const QStringList &additionalPredicates, uint skipCount, uint itemCount,
                        QObject *receiver, const char *resultMember, const char *errorMember)
{
    m_lastBrowse = {objectId, predicate, additionalPredicates, skipCount, itemCount};
    const Operation operation{nextOperationId(), receiver, resultMember, errorMember};
    if (!TuvoBrowseReply(operation.id, receiver, resultMember, errorMember).isValid())
        return 0;
    m_browses.insert(operation.id, operation);
    return operation.id;
}

void TestSource::cancelBrowse(uint browseId)
{
    m_cancelledBrowses.append(browseId);
    if (m_stream.reply.id() == browseId)
        m_streamTimer.stop();
}

uint TestSource::query(const QString &text, QObject *receiver, const char *resultMember,
                       const char *errorMember)
{
    m_lastQuery = text;
    const Operation operation{nextOperationId(), receiver, resultMember, errorMember};
    if (!TuvoQueryReply(operation.id, receiver, resultMember, errorMember).isValid())
        return 0;
    m_queries.insert(operation.id, operation);
    return operation.id;
}

// An unknown operation's reply reaches nobody, and says so.
template <typename Reply>
Reply TestSource::reply(const QMap<uint, Operation> &operations, uint id, uint sentId)
{
    const Operation operation = operations.value(id);
    return Reply(sentId, operation.receiver.data(), operation.resultMember.constData(),
                 operation.errorMember.constData());
}

QVariantMap TestSource::generatedMetaData(uint index)
{
    return {{QStringLiteral("index"), index},
            {QStringLiteral("title"), QStringLiteral("Item %1").arg(index)}};
}

bool TestSource::deliver_result(uint browseId, uint sentId, const QString &objectId,
                            const QVariantMap &meta, uint index, int remaining)
{
    return reply<TuvoBrowseReply>(m_browses, browseId, sentId).sendResult(objectId, meta, index, remaining);
}

int TestSource::deliver_results(uint browseId, int count, int firstRemaining)
{
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        if (!m_browses.contains(browseId))
            break;
        const uint index = m_browses[browseId].nextIndex++;
        if (!deliver_result(browseId, browseId, QStringLiteral("item_%1").arg(index),
                        generatedMetaData(index), index, firstRemaining - i))
            break;
        ++sent;
    }
    return sent;
}

bool TestSource::deliver_error(uint browseId, uint sentId, uint code, const QString &message)
{
    return reply<TuvoBrowseReply>(m_browses, browseId, sentId).sendError(code, message);
}

bool TestSource::deliver_row(uint queryId, uint sentId, const QStringList &row, uint index,
                         int remaining)
{
    return reply<TuvoQueryReply>(m_queries, queryId, sentId).sendResult(row, index, remaining);
}

int TestSource::deliver_rows(uint queryId, int count, int firstRemaining)
{
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        if (!m_queries.contains(queryId))
            break;
        const uint index = m_queries[queryId].nextIndex++;
        if (!deliver_row(queryId, queryId,
                     {QStringLiteral("row_%1").arg(index), QStringLiteral("Row %1").arg(index)},
                     index, firstRemaining - i))
            break;
        ++sent;
    }
    return sent;
}

bool TestSource::deliver_query_error(uint queryId, uint sentId, int code, const QString &message)
{
    return reply<TuvoQueryReply>(m_queries, queryId, sentId).sendError(code, message);
}

bool TestSource::stream_results(uint browseId, int count, int slice)
{
    if (!m_browses.contains(browseId) || count <= 0 || m_streamTimer.isActive())
        return false;
    m_stream.reply = reply<TuvoBrowseReply>(m_browses, browseId, browseId);
    m_stream.total = count;
    m_stream.sent = 0;
    m_stream.slice = slice > 0 ? slice : count;
    streamItems(); // built before the clock that matters starts
    m_streamTimer.start();
    return true;
}

void TestSource::streamSlice()
{
    const QList<StreamItem> &items = streamItems();
    const int end = qMin(m_stream.sent + m_stream.slice, m_stream.total);
    for (int i = m_stream.sent; i < end; ++i) {
        const StreamItem &item = items.at(i % StreamItems);
        if (!m_stream.reply.sendResult(item.objectId, item.metaData, uint(i),
                                       m_stream.total - i - 1)) {
            m_streamTimer.stop();
            return;
        }
    }
    m_stream.sent = end;
    if (m_stream.sent >= m_stream.total)
        m_streamTimer.stop();
}
