#include "TuvoSourceAdaptorQueryTransaction.h"

#include "TuvoMessageBudget.h"
#include "TuvoQueryResultDBusStruct.h"
#include "TuvoSourceLogging.h"

#include <QDebug>

TuvoSourceAdaptorQueryTransaction::TuvoSourceAdaptorQueryTransaction(Send send, QObject *parent)
    : TuvoSourceOperation(parent)
    , send(std::move(send))
    , batch("query", [this](const TuvoResultBatch::Batch &b) {
        // A batch over the size limit goes out as several calls; all but the last
        // count the rows still to come in this batch as remaining.
        const auto rows = b.records.value<QList<TuvoQueryResultDBusStruct>>();
        const auto runs = TuvoMessageBudget::split(rows);
        qsizetype after = rows.size();
        for (qsizetype i = 0; i < qMax<qsizetype>(runs.size(), 1); ++i) {
            const auto run = runs.value(i);
            after -= run.size();
            // A query's error travels as the last two arguments, with an empty batch.
            const QVariantList arguments{QVariant(b.id), QVariant(b.remainingCount + int(after)),
                                         QVariant::fromValue(run), b.error.value(0, 0),
                                         b.error.value(1, QString())};
            if (b.error.isEmpty())
                qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::flushQueryResults"
                                        << arguments;
            if (this->send(arguments))
                continue;
            if (b.error.isEmpty())
                qCritical() << "Query result not sent, query id: " << b.id;
            else
                qCritical() << "Query result did't sent, query id: " << b.id;
        }
    })
{
    TuvoQueryResultDBusStruct::registerDBusTypes();
    connect(&batch, &TuvoResultBatch::finished, this, &QObject::deleteLater);
}

TuvoSourceAdaptorQueryTransaction::~TuvoSourceAdaptorQueryTransaction() = default;

void TuvoSourceAdaptorQueryTransaction::expectQueryId(uint id)
{
    batch.expectId(id);
    started(id);
}

void TuvoSourceAdaptorQueryTransaction::handleQueryResult(uint queryId, QStringList resultRow,
                                                          uint index, int remainingCount)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::handleQueryResult" << index
                            << remainingCount;
    deliver([=] { addRow(queryId, resultRow, index, remainingCount); });
}

void TuvoSourceAdaptorQueryTransaction::addRow(uint queryId, const QStringList &resultRow,
                                               uint index, int remainingCount)
{
    TuvoQueryResultDBusStruct row{index, resultRow};
    // A value cut at a NUL would be another value; a row over the size limit cannot be
    // sent. Either is left out; the query ends with an error when that loses its last
    // row or a row too large.
    QString why;
    if (TuvoMessageBudget::holdsNul(resultRow)) {
        qCWarning(lcTuvoSource, "query %u: row %u dropped, a value holds a NUL character",
                  queryId, index);
        if (remainingCount == 0)
            why = QStringLiteral("the last row was dropped: a value holds a NUL character");
    } else if (!TuvoMessageBudget::fits(row)) {
        qCWarning(lcTuvoSource, "query %u: row %u dropped, it takes %lld bytes, more than a "
                  "message can carry", queryId, index, qlonglong(TuvoMessageBudget::size(row)));
        why = QStringLiteral("row %1 was dropped: it is larger than a D-Bus message may be").arg(index);
    } else {
        batch.add<TuvoQueryResultDBusStruct>(queryId, remainingCount,
                                             [&](auto &slot) { slot = std::move(row); });
        return;
    }
    if (!why.isEmpty())
        addError(queryId, DroppedRowError, why);
}

void TuvoSourceAdaptorQueryTransaction::handleQueryError(uint queryId, int errorCode,
                                                         QString errorMessage)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptorQueryTransaction::handleQueryError queryId:"
                            << queryId;
    deliver([=] { addError(queryId, errorCode, errorMessage); });
}

void TuvoSourceAdaptorQueryTransaction::end(uint id, const QString &text)
{
    addError(id, WithdrawnError, text);
}

void TuvoSourceAdaptorQueryTransaction::addError(uint queryId, int errorCode,
                                                 const QString &errorMessage)
{
    QString message = errorMessage;
    if (TuvoMessageBudget::holdsNul(message)
        || TuvoMessageBudget::size(message) > TuvoMessageBudget::MaxCallBytes) {
        qCWarning(lcTuvoSource, "query %u: error message not sendable, replaced", queryId);
        message = QStringLiteral("the source's error message cannot be sent over D-Bus");
    }
    batch.fail(queryId, QVariant::fromValue(QList<TuvoQueryResultDBusStruct>()), {errorCode, message});
}
