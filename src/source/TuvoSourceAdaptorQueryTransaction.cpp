#include "TuvoSourceAdaptorQueryTransaction.h"

#include "TuvoQueryResultDBusStruct.h"
#include "TuvoSourceLogging.h"

#include <QDebug>

TuvoSourceAdaptorQueryTransaction::TuvoSourceAdaptorQueryTransaction(Send send, QObject *parent)
    : QObject(parent)
    , send(std::move(send))
    , batch("query", [this](const TuvoResultBatch::Batch &b) {
        // A query's error travels as the last two arguments, with an empty batch.
        const QVariantList arguments{QVariant(b.id), QVariant(b.remainingCount), b.records,
                                     b.error.value(0, 0), b.error.value(1, QString())};
        if (b.error.isEmpty())
            qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::flushQueryResults"
                                    << arguments;
        if (this->send(arguments))
            return;
        if (b.error.isEmpty())
            qCritical() << "Query result not sent, query id: " << b.id;
        else
            qCritical() << "Query result did't sent, query id: " << b.id;
    })
{
    TuvoQueryResultDBusStruct::registerDBusTypes();
    connect(&batch, &TuvoResultBatch::finished, this, &QObject::deleteLater);
}

TuvoSourceAdaptorQueryTransaction::~TuvoSourceAdaptorQueryTransaction() = default;

void TuvoSourceAdaptorQueryTransaction::handleQueryResult(uint queryId, QStringList resultRow,
                                                          uint index, int remainingCount)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::handleQueryResult" << index
                            << remainingCount;
    batch.add<TuvoQueryResultDBusStruct>(queryId, remainingCount, [&](auto &row) {
        row = TuvoQueryResultDBusStruct{index, std::move(resultRow)};
    });
}

void TuvoSourceAdaptorQueryTransaction::handleQueryError(uint queryId, int errorCode,
                                                         QString errorMessage)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::handleQueryError queryId:"
                            << queryId;
    batch.fail(queryId, QVariant::fromValue(QList<TuvoQueryResultDBusStruct>()),
               {errorCode, errorMessage});
}
