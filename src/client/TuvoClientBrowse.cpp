#include "TuvoClientBrowse.h"

#include "TuvoClientLogging.h"

#include <QDBusArgument>
#include <QPointer>

TuvoClientBrowse::TuvoClientBrowse(TuvoClientSource *source)
    : TuvoClientOperation(Browse, source)
{
    TuvoBrowseResultDBusStruct::registerDBusTypes();
}

void TuvoClientBrowse::deliver(const QDBusMessage &message)
{
    const QList<TuvoBrowseResultDBusStruct> records =
        qdbus_cast<QList<TuvoBrowseResultDBusStruct>>(message.arguments().at(1));
    QList<TuvoClientBrowseResult> results;
    TuvoClientError error;
    bool last = false;
    for (const TuvoBrowseResultDBusStruct &record : records) {
        if (last) {
            qCWarning(lcTuvoClient) << sourceName() << "sent records after the last one of browse" << id();
            break;
        }
        if (record.errorCode != 0) {
            error = TuvoClientError(TuvoClientError::Remote,
                                    QStringLiteral("%1: browse failed with error %2: %3")
                                        .arg(sourceName())
                                        .arg(record.errorCode)
                                        .arg(record.errorMessage),
                                    sourceName(), int(record.errorCode));
            last = true;
            continue;
        }
        last = record.remainingCount == 0;
        if (last && record.objectId.isEmpty() && record.metadata.isEmpty())
            continue;
        results.append(TuvoClientBrowseResult::fromRecord(record));
    }
    if (!results.isEmpty()) {
        addResults(int(results.size()));
        // A receiver may cancel or delete the browse.
        const QPointer<TuvoClientBrowse> self(this);
        Q_EMIT resultsReceived(results);
        if (!self)
            return;
    }
    if (last && state() == Running)
        finish(error);
}
