#include "TuvoClientQuery.h"

#include <QDBusArgument>
#include <QPointer>

TuvoClientQuery::TuvoClientQuery(TuvoClientSource *source)
    : TuvoClientOperation(Query, source)
{
    TuvoQueryResultDBusStruct::registerDBusTypes();
}

void TuvoClientQuery::deliver(const QDBusMessage &message)
{
    const QVariantList args = message.arguments();
    const qint32 remaining = args.at(1).toInt();
    QList<TuvoQueryResultDBusStruct> rows = qdbus_cast<QList<TuvoQueryResultDBusStruct>>(args.at(2));
    const qint32 errorCode = args.at(3).toInt();
    const QString errorMessage = args.at(4).toString();

    if (remaining == 0 && !rows.isEmpty() && rows.last().resultRow.isEmpty())
        rows.removeLast();
    if (!rows.isEmpty()) {
        addResults(int(rows.size()));
        // A receiver may cancel or delete the query.
        const QPointer<TuvoClientQuery> self(this);
        Q_EMIT rowsReceived(rows);
        if (!self)
            return;
    }
    if (state() != Running && state() != Confirming)
        return;
    if (errorCode != 0) {
        finish(TuvoClientError(TuvoClientError::Remote,
                               QStringLiteral("%1: query failed with error %2: %3")
                                   .arg(sourceName())
                                   .arg(errorCode)
                                   .arg(errorMessage),
                               sourceName(), errorCode));
    } else if (remaining == 0) {
        confirmEnd();
    }
}
