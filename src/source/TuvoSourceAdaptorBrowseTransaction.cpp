#include "TuvoSourceAdaptorBrowseTransaction.h"

#include "TuvoBrowseResultDBusStruct.h"
#include "TuvoMessageBudget.h"
#include "TuvoSourceAdaptor.h"
#include "TuvoSourceLogging.h"

#include <TuvoContent.h>

#include <QDebug>

TuvoSourceAdaptorBrowseTransaction::TuvoSourceAdaptorBrowseTransaction(Send send, QObject *parent)
    : TuvoSourceOperation(parent)
    , send(std::move(send))
    , batch("browse", [this](const TuvoResultBatch::Batch &b) {
        // Each record carries its own remaining count, so a batch over the size limit
        // simply goes out as several calls.
        const auto records = b.records.value<QList<TuvoBrowseResultDBusStruct>>();
        for (const auto &run : TuvoMessageBudget::split(records)) {
            if (this->send({QVariant(b.id), QVariant::fromValue(run)}))
                continue;
            if (b.error.isEmpty())
                qWarning() << "TuvoSourceAdaptorBrowseTransaction::flushResults: Failed to send result "
                              "message";
            else
                qWarning() << "TuvoSourceAdaptorBrowseTransaction::handleBrowseError: Failed to send "
                              "error message";
        }
    })
{
    TuvoBrowseResultDBusStruct::registerDBusTypes();
    connect(&batch, &TuvoResultBatch::finished, this, &QObject::deleteLater);
}

TuvoSourceAdaptorBrowseTransaction::~TuvoSourceAdaptorBrowseTransaction() = default;

void TuvoSourceAdaptorBrowseTransaction::expectBrowseId(uint id)
{
    batch.expectId(id);
    started(id);
}

void TuvoSourceAdaptorBrowseTransaction::handleBrowseResult(uint browseId, QString subjectId,
                                                            QMap<QString, QVariant> meta,
                                                            uint index, int remainingCount)
{
    qCDebug(tuvoDefaultLog) << "void TuvoSourceAdaptorBrowseTransaction::handleBrowseResult(uint, "
                               "QString, QMap<QString, QVariant>, uint, int)";
    deliver([=] { addResult(browseId, subjectId, meta, index, remainingCount); });
}

void TuvoSourceAdaptorBrowseTransaction::addResult(uint browseId, const QString &subjectId,
                                                   const QVariantMap &meta, uint index,
                                                   int remainingCount)
{
    TuvoBrowseResultDBusStruct record;
    TuvoContent content(subjectId);
    content.setMetaData(meta);
    TuvoSourceAdaptor::createBrowseResult(record, index, remainingCount, &content, 0);
    // An id cut at a NUL could name another item, and a record over the size limit
    // cannot be sent: either is left out, and the browse ends with an error when it
    // was the last result or could not be sent whole.
    QString why;
    if (TuvoMessageBudget::holdsNul(subjectId)) {
        qCWarning(lcTuvoSource, "browse %u: result %u dropped, its object id holds a NUL character",
                  browseId, index);
        if (remainingCount == 0)
            why = QStringLiteral("the last result was dropped: its object id holds a NUL character");
    } else if (!TuvoMessageBudget::fits(record)) {
        qCWarning(lcTuvoSource, "browse %u: result %u dropped, it takes %lld bytes, more than a "
                  "message can carry", browseId, index, qlonglong(TuvoMessageBudget::size(record)));
        why = QStringLiteral("result %1 was dropped: it is larger than a D-Bus message may be").arg(index);
    } else {
        batch.add<TuvoBrowseResultDBusStruct>(browseId, remainingCount,
                                              [&](auto &slot) { slot = std::move(record); });
        return;
    }
    if (!why.isEmpty())
        addError(browseId, DroppedResultError, why);
}

void TuvoSourceAdaptorBrowseTransaction::handleBrowseError(uint browseId, uint errorCode,
                                                           QString errorMessage)
{
    qCDebug(tuvoDefaultLog) << "void TuvoSourceAdaptorBrowseTransaction::handleBrowseError(uint, "
                               "uint, QString)"
                            << " browseId:" << browseId << "code:" << errorCode << "msg:"
                            << errorMessage;
    deliver([=] { addError(browseId, errorCode, errorMessage); });
}

void TuvoSourceAdaptorBrowseTransaction::end(uint id, const QString &text)
{
    addError(id, WithdrawnError, text);
}

void TuvoSourceAdaptorBrowseTransaction::addError(uint browseId, uint errorCode,
                                                  const QString &errorMessage)
{
    // The browse's error travels as a record of its own.
    TuvoBrowseResultDBusStruct error;
    error.errorCode = errorCode;
    error.errorMessage = errorMessage;
    if (TuvoMessageBudget::holdsNul(errorMessage) || !TuvoMessageBudget::fits(error)) {
        qCWarning(lcTuvoSource, "browse %u: error message not sendable, replaced", browseId);
        error.errorMessage = QStringLiteral("the source's error message cannot be sent over D-Bus");
    }
    batch.fail(browseId, QVariant::fromValue(QList<TuvoBrowseResultDBusStruct>{error}),
               {errorCode, error.errorMessage});
}
