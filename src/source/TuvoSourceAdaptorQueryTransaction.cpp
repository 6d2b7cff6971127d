#include "TuvoSourceAdaptorQueryTransaction.h"

#include "TuvoSourceAdaptor.h"
#include "TuvoSourceLogging.h"

#include <QDebug>

namespace {
const QString QueryResultMethod = QStringLiteral("query_result");
} // namespace

TuvoSourceAdaptorQueryTransaction::TuvoSourceAdaptorQueryTransaction(TuvoSourceAdaptor *adaptor,
                                                                     const QString &service,
                                                                     QObject *parent)
    : QObject(parent)
    , adaptor(adaptor)
    , service(service)
    , listTypeId(TuvoQueryResultDBusStruct::registerDBusTypes())
{
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this,
            &TuvoSourceAdaptorQueryTransaction::flushQueryResults);
}

TuvoSourceAdaptorQueryTransaction::~TuvoSourceAdaptorQueryTransaction() = default;

void TuvoSourceAdaptorQueryTransaction::expectQueryId(uint id)
{
    if (queryId == 0)
        queryId = id;
}

bool TuvoSourceAdaptorQueryTransaction::acceptCallback(uint id)
{
    if (queryId == 0)
        queryId = id;
    else if (id != queryId) {
        qWarning() << "Source signals with bad queryId: return";
        return false;
    }
    if (ended) {
        qCWarning(lcTuvoSource) << "source signals after the end of query" << id;
        return false;
    }
    return true;
}

void TuvoSourceAdaptorQueryTransaction::handleQueryResult(uint queryId, QStringList resultRow,
                                                          uint index, int remainingCount)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::handleQueryResult" << index
                            << remainingCount;
    if (!acceptCallback(queryId))
        return;

    results.append(TuvoQueryResultDBusStruct{index, std::move(resultRow)});
    this->remainingCount = remainingCount;

    if (remainingCount == 0) {
        ended = true;
        flushQueryResults();
        deleteLater();
    } else if (results.size() == BATCH_SIZE) {
        flushQueryResults();
    } else if (results.size() == 1) {
        flushTimer.start(FLUSH_DELAY_MS);
    }
}

void TuvoSourceAdaptorQueryTransaction::handleQueryError(uint queryId, int errorCode,
                                                         QString errorMessage)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::handleQueryError queryId:"
                            << queryId;
    if (!acceptCallback(queryId))
        return;
    ended = true;
    if (!results.isEmpty()) {
        remainingCount = 0;
        flushQueryResults();
    }
    if (!send(queryId, 0, QList<TuvoQueryResultDBusStruct>(), errorCode, errorMessage))
        qCritical() << "Query result did't sent, query id: " << queryId;
    deleteLater();
}

void TuvoSourceAdaptorQueryTransaction::flushQueryResults()
{
    flushTimer.stop();
    const QList<TuvoQueryResultDBusStruct> batch = std::exchange(results, {});
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::flushQueryResults"
                            << QVariantList{QVariant(queryId), QVariant(remainingCount),
                                            QVariant(QMetaType(listTypeId), &batch), QVariant(0),
                                            QVariant(QString())};
    if (!send(queryId, remainingCount, batch, 0, QString()))
        qCritical() << "Query result not sent, query id: " << queryId;
}

bool TuvoSourceAdaptorQueryTransaction::send(uint id, int remaining,
                                             const QList<TuvoQueryResultDBusStruct> &batch,
                                             int errorCode, const QString &errorMessage) const
{
    return adaptor->sendToProxySource(service, QueryResultMethod,
                                      {QVariant(id), QVariant(remaining),
                                       QVariant(QMetaType(listTypeId), &batch),
                                       QVariant(errorCode), QVariant(errorMessage)});
}
