#include "ProxySourceRecorder.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QTest>

ProxySourceRecorder::ProxySourceRecorder(const QDBusConnection &connection,
                                         const QString &sourceUuid, QObject *parent)
    : QDBusVirtualObject(parent)
    , m_connection(connection)
    , m_path(QStringLiteral("/com/oxbel/tuvo/proxy_source/") + sourceUuid)
{
    m_clock.start();
    m_registered = m_connection.registerVirtualObject(m_path, this);
}

ProxySourceRecorder::~ProxySourceRecorder()
{
    if (m_registered)
        m_connection.unregisterObject(m_path);
}

QList<ProxySourceRecorder::BrowseCall> ProxySourceRecorder::browseCalls(uint browseId) const
{
    QList<BrowseCall> calls;
    for (const BrowseCall &call : m_browseCalls) {
        if (call.browseId == browseId)
            calls.append(call);
    }
    return calls;
}

QList<ProxySourceRecorder::QueryCall> ProxySourceRecorder::queryCalls(uint queryId) const
{
    QList<QueryCall> calls;
    for (const QueryCall &call : m_queryCalls) {
        if (call.queryId == queryId)
            calls.append(call);
    }
    return calls;
}

QList<TuvoBrowseResultDBusStruct> ProxySourceRecorder::browseRecords(uint browseId) const
{
    QList<TuvoBrowseResultDBusStruct> records;
    for (const BrowseCall &call : browseCalls(browseId))
        records += call.records;
    return records;
}

QList<TuvoQueryResultDBusStruct> ProxySourceRecorder::queryRows(uint queryId) const
{
    QList<TuvoQueryResultDBusStruct> rows;
    for (const QueryCall &call : queryCalls(queryId))
        rows += call.rows;
    return rows;
}

bool ProxySourceRecorder::isBrowseDone(uint browseId) const
{
    const QList<TuvoBrowseResultDBusStruct> records = browseRecords(browseId);
    return !records.isEmpty()
        && (records.last().remainingCount == 0 || records.last().errorCode != 0);
}

bool ProxySourceRecorder::isQueryDone(uint queryId) const
{
    const QList<QueryCall> calls = queryCalls(queryId);
    return !calls.isEmpty() && (calls.last().remainingCount == 0 || calls.last().errorCode != 0);
}

void ProxySourceRecorder::clear()
{
    m_browseCalls.clear();
    m_queryCalls.clear();
    m_stray = 0;
}

bool ProxySourceRecorder::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(2);
    return done();
}

bool ProxySourceRecorder::waitForBrowseCalls(int n, int timeoutMs)
{
    return waitUntil([this, n] { return m_browseCalls.size() >= n; }, timeoutMs);
}

bool ProxySourceRecorder::waitForQueryCalls(int n, int timeoutMs)
{
    return waitUntil([this, n] { return m_queryCalls.size() >= n; }, timeoutMs);
}

bool ProxySourceRecorder::waitForBrowseRecords(uint browseId, int count, int timeoutMs)
{
    return waitUntil([=] { return browseRecords(browseId).size() >= count || isBrowseDone(browseId); },
                     timeoutMs);
}

bool ProxySourceRecorder::waitForBrowseEnd(uint browseId, int timeoutMs)
{
    return waitUntil([=] { return isBrowseDone(browseId); }, timeoutMs);
}

bool ProxySourceRecorder::waitForQueryEnd(uint queryId, int timeoutMs)
{
    return waitUntil([=] { return isQueryDone(queryId); }, timeoutMs);
}

QList<TuvoBrowseResultDBusStruct> ProxySourceRecorder::readBrowseRecords(const QDBusArgument &argument)
{
    QList<TuvoBrowseResultDBusStruct> records;
    argument.beginArray();
    while (!argument.atEnd()) {
        TuvoBrowseResultDBusStruct record;
        argument.beginStructure();
        // The wire order: i u s ay s u s.
        int remaining = 0;
        uint index = 0;
        argument >> remaining >> index;
        record.remainingCount = remaining;
        record.index = index;
        argument >> record.objectId;
        argument >> record.metadata;
        argument >> record.reserved;
        argument >> record.errorCode;
        argument >> record.errorMessage;
        argument.endStructure();
        records.append(record);
    }
    argument.endArray();
    return records;
}

QList<TuvoQueryResultDBusStruct> ProxySourceRecorder::readQueryRows(const QDBusArgument &argument)
{
    QList<TuvoQueryResultDBusStruct> rows;
    argument.beginArray();
    while (!argument.atEnd()) {
        TuvoQueryResultDBusStruct row;
        argument.beginStructure();
        argument >> row.index >> row.resultRow;
        argument.endStructure();
        rows.append(row);
    }
    argument.endArray();
    return rows;
}

QString ProxySourceRecorder::introspect(const QString &) const
{
    return QString();
}

bool ProxySourceRecorder::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    // Called on the connection's own thread or on ours; the lists are only touched on
    // ours.
    const qint64 atMs = m_clock.elapsed();
    QMetaObject::invokeMethod(this, [this, message, atMs] { record(message, atMs); },
                              Qt::AutoConnection);
    return true;
}

void ProxySourceRecorder::record(const QDBusMessage &message, qint64 atMs)
{
    const QList<QVariant> args = message.arguments();
    if (message.interface() == QLatin1String("com.oxbel.tuvo.proxy_source")
        && message.member() == QLatin1String("browse_result") && message.signature() == QLatin1String("ua(iusaysus)")) {
        BrowseCall call;
        call.browseId = args.at(0).toUInt();
        call.records = readBrowseRecords(args.at(1).value<QDBusArgument>());
        call.atMs = atMs;
        call.signature = message.signature();
        call.sender = message.service();
        call.replyRequired = message.isReplyRequired();
        m_browseCalls.append(call);
    } else if (message.interface() == QLatin1String("com.oxbel.tuvo.proxy_source")
               && message.member() == QLatin1String("query_result")
               && message.signature() == QLatin1String("uia(uas)is")) {
        QueryCall call;
        call.queryId = args.at(0).toUInt();
        call.remainingCount = args.at(1).toInt();
        call.rows = readQueryRows(args.at(2).value<QDBusArgument>());
        call.errorCode = args.at(3).toInt();
        call.errorMessage = args.at(4).toString();
        call.atMs = atMs;
        call.signature = message.signature();
        call.replyRequired = message.isReplyRequired();
        m_queryCalls.append(call);
    } else {
        ++m_stray;
    }
}
