#include "TuvoClientBrowse.h"

#include "TuvoClientLogging.h"

#include <QDBusArgument>
#include <QMetaMethod>
#include <QPointer>

TuvoClientBrowse::TuvoClientBrowse(TuvoClientSource *source)
    : TuvoClientOperation(Browse, source)
{
    TuvoBrowseResultDBusStruct::registerDBusTypes();
}

void TuvoClientBrowse::deliver(const QDBusMessage &message)
{
    const QVariant batch = message.arguments().at(1);
    QList<TuvoBrowseResultDBusStruct> records;
    if (batch.metaType() == QMetaType::fromType<QDBusArgument>()) {
        // Read in place, into room for a whole batch: what qdbus_cast() does, without
        // growing the list record by record.
        const QDBusArgument argument = batch.value<QDBusArgument>();
        records.reserve(16);
        argument.beginArray();
        while (!argument.atEnd())
            argument >> records.emplaceBack();
        argument.endArray();
    } else {
        records = qdbus_cast<QList<TuvoBrowseResultDBusStruct>>(batch);
    }
    TuvoClientError error;
    bool last = false;
    qsizetype kept = 0;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const TuvoBrowseResultDBusStruct &record = records.at(i);
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
        // The results keep their places at the front; the list is not copied.
        if (kept != i)
            records[kept] = record;
        ++kept;
    }
    records.resize(kept);
    if (!records.isEmpty()) {
        addResults(int(records.size()));
        // A receiver may cancel or delete the browse.
        const QPointer<TuvoClientBrowse> self(this);
        Q_EMIT recordsReceived(records);
        if (!self)
            return;
        if (isSignalConnected(QMetaMethod::fromSignal(&TuvoClientBrowse::resultsReceived))) {
            QList<TuvoClientBrowseResult> results;
            results.reserve(records.size());
            for (const TuvoBrowseResultDBusStruct &record : std::as_const(records))
                results.append(TuvoClientBrowseResult::fromRecord(record));
            Q_EMIT resultsReceived(results);
            if (!self)
                return;
        }
    }
    if (last && state() == Running)
        finish(error);
}
