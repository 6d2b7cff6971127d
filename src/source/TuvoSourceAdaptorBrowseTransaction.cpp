#include "TuvoSourceAdaptorBrowseTransaction.h"

#include "TuvoBrowseResultDBusStruct.h"
#include "TuvoSourceAdaptor.h"
#include "TuvoSourceLogging.h"

#include <TuvoContent.h>

#include <QDebug>

TuvoSourceAdaptorBrowseTransaction::TuvoSourceAdaptorBrowseTransaction(Send send, QObject *parent)
    : QObject(parent)
    , send(std::move(send))
    , batch("browse", [this](const TuvoResultBatch::Batch &b) {
        if (this->send({QVariant(b.id), b.records}))
            return;
        if (b.error.isEmpty())
            qWarning() << "TuvoSourceAdaptorBrowseTransaction::flushResults: Failed to send result "
                          "message";
        else
            qWarning() << "TuvoSourceAdaptorBrowseTransaction::handleBrowseError: Failed to send "
                          "error message";
    })
{
    TuvoBrowseResultDBusStruct::registerDBusTypes();
    connect(&batch, &TuvoResultBatch::finished, this, &QObject::deleteLater);
}

TuvoSourceAdaptorBrowseTransaction::~TuvoSourceAdaptorBrowseTransaction() = default;

void TuvoSourceAdaptorBrowseTransaction::handleBrowseResult(uint browseId, QString subjectId,
                                                            QMap<QString, QVariant> meta,
                                                            uint index, int remainingCount)
{
    qCDebug(tuvoDefaultLog) << "void TuvoSourceAdaptorBrowseTransaction::handleBrowseResult(uint, "
                               "QString, QMap<QString, QVariant>, uint, int)";
    batch.add<TuvoBrowseResultDBusStruct>(browseId, remainingCount, [&](auto &record) {
        TuvoContent content(subjectId);
        content.setMetaData(meta);
        TuvoSourceAdaptor::createBrowseResult(record, index, remainingCount, &content, 0);
    });
}

void TuvoSourceAdaptorBrowseTransaction::handleBrowseError(uint browseId, uint errorCode,
                                                           QString errorMessage)
{
    qCDebug(tuvoDefaultLog) << "void TuvoSourceAdaptorBrowseTransaction::handleBrowseError(uint, "
                               "uint, QString)"
                            << " browseId:" << browseId << "code:" << errorCode << "msg:"
                            << errorMessage;
    // The browse's error travels as a record of its own.
    TuvoBrowseResultDBusStruct error;
    error.errorCode = errorCode;
    error.errorMessage = errorMessage;
    batch.fail(browseId, QVariant::fromValue(QList<TuvoBrowseResultDBusStruct>{error}),
               {errorCode, errorMessage});
}
