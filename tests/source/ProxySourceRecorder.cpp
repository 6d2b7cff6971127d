#include "ProxySourceRecorder.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QTest>

ProxySourceRecorder::ProxySourceRecorder(const QDBusConnection &connection,
                                         const QString &sourceUuid, QObject *parent)
    : QDBusVirtualObject(parent)
    , m_connection(connection)
    , m_path(QStringLiteral("/com/oxbel/tuvo/proxy_source/") + sourceUuid)
{
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
    std::copy_if(m_browseCalls.cbegin(), m_browseCalls.cend(), std::back_inserter(calls),
                 [=](const BrowseCall &call) { return call.browseId == browseId; });
    return calls;
}

QList<ProxySourceRecorder::QueryCall> ProxySourceRecorder::queryCalls(uint queryId) const
{
    QList<QueryCall> calls;
    std::copy_if(m_queryCalls.cbegin(), m_queryCalls.cend(), std::back_inserter(calls),
                 [=](const QueryCall &call) { return call.queryId == queryId; });
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
    return !records.isEmpty() && (records.last().remainingCount == 0 || records.last().errorCode != 0);
}

bool ProxySourceRecorder::isQueryDone(uint queryId) const
{
    const QList<QueryCall> calls = queryCalls(queryId);
    return !calls.isEmpty() && (calls.last().remainingCount == 0 || calls.last().errorCode != 0);
}

bool ProxySourceRecorder::waitForBrowseEnd(uint browseId, int timeoutMs)
{
    return QTest::qWaitFor([=] { return isBrowseDone(browseId); }, timeoutMs);
}

bool ProxySourceRecorder::waitForQueryEnd(uint queryId, int timeoutMs)
{
    return QTest::qWaitFor([=] { return isQueryDone(queryId); }, timeoutMs);
}

QList<TuvoBrowseResultDBusStruct> ProxySourceRecorder::readBrowseRecords(const QDBusArgument &argument)
{
    QList<TuvoBrowseResultDBusStruct> records;
    argument.beginArray();
    while (!argument.atEnd()) {
        TuvoBrowseResultDBusStruct r;
        argument.beginStructure(); // i u s ay s u s
        argument >> r.remainingCount >> r.index >> r.objectId >> r.metadata >> r.reserved >> r.errorCode
            >> r.errorMessage;
        argument.endStructure();
        records.append(r);
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

bool ProxySourceRecorder::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    // A virtual object answers for itself: the wrapper paces a long operation on these replies.
    if (message.isReplyRequired())
        connection.send(message.createReply());
    // Called on the connection's own thread or on ours; the lists are only touched on ours.
    QMetaObject::invokeMethod(this, [this, message] { record(message); }, Qt::AutoConnection);
    return true;
}

void ProxySourceRecorder::record(const QDBusMessage &message)
{
    const QList<QVariant> args = message.arguments();
    const bool ours = message.interface() == QLatin1String("com.oxbel.tuvo.proxy_source");
    if (ours && message.member() == QLatin1String("browse_result")
        && message.signature() == QLatin1String("ua(iusaysus)")) {
        m_browseCalls.append({args.at(0).toUInt(), readBrowseRecords(args.at(1).value<QDBusArgument>()),
                              message.service(), message.isReplyRequired()});
    } else if (ours && message.member() == QLatin1String("query_result")
               && message.signature() == QLatin1String("uia(uas)is")) {
        m_queryCalls.append({args.at(0).toUInt(), args.at(1).toInt(),
                             readQueryRows(args.at(2).value<QDBusArgument>()), args.at(3).toInt(),
                             args.at(4).toString(), message.isReplyRequired()});
    } else {
        ++m_stray;
    }
}
