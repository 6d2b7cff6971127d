#include "TuvoSourceAdaptorBrowseTransaction.h"

#include "TuvoSourceAdaptor.h"
#include "TuvoSourceLogging.h"

#include <TuvoContent.h>

#include <QDebug>

namespace {
const QString BrowseResultMethod = QStringLiteral("browse_result");
} // namespace

TuvoSourceAdaptorBrowseTransaction::TuvoSourceAdaptorBrowseTransaction(TuvoSourceAdaptor *adaptor,
                                                                       const QString &service,
                                                                       QObject *parent)
    : QObject(parent)
    , adaptor(adaptor)
    , service(service)
    , listTypeId(TuvoBrowseResultDBusStruct::registerDBusTypes())
{
    results.reserve(BATCH_SIZE);
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this,
            &TuvoSourceAdaptorBrowseTransaction::flushBrowseResults);
}

TuvoSourceAdaptorBrowseTransaction::~TuvoSourceAdaptorBrowseTransaction() = default;

void TuvoSourceAdaptorBrowseTransaction::expectBrowseId(uint id)
{
    if (browseId == 0)
        browseId = id;
}

bool TuvoSourceAdaptorBrowseTransaction::acceptCallback(uint id)
{
    if (browseId == 0)
        browseId = id;
    else if (id != browseId) {
        qWarning() << "Source signals with bad browseId: return";
        return false;
    }
    if (ended) {
        // Nothing may follow the last result or the error: the client has closed the
        // browse already.
        qCWarning(lcTuvoSource) << "source signals after the end of browse" << id;
        return false;
    }
    return true;
}

void TuvoSourceAdaptorBrowseTransaction::handleBrowseResult(uint browseId, QString subjectId,
                                                            QMap<QString, QVariant> meta,
                                                            uint index, int remainingCount)
{
    qCDebug(tuvoDefaultLog) << "void TuvoSourceAdaptorBrowseTransaction::handleBrowseResult(uint, "
                               "QString, QMap<QString, QVariant>, uint, int)";
    if (!acceptCallback(browseId))
        return;

    TuvoContent content(subjectId);
    content.setMetaData(meta);
    results.emplaceBack();
    TuvoSourceAdaptor::createBrowseResult(results.last(), index, remainingCount, &content, 0);

    if (remainingCount == 0) {
        ended = true;
        flushBrowseResults();
        deleteLater();
    } else if (results.size() == BATCH_SIZE) {
        flushBrowseResults();
    } else if (results.size() == 1) {
        flushTimer.start(FLUSH_DELAY_MS);
    }
}

void TuvoSourceAdaptorBrowseTransaction::handleBrowseError(uint browseId, uint errorCode,
                                                           QString errorMessage)
{
    qCDebug(tuvoDefaultLog) << "void TuvoSourceAdaptorBrowseTransaction::handleBrowseError(uint, "
                               "uint, QString)"
                            << " browseId:" << browseId << "code:" << errorCode << "msg:"
                            << errorMessage;
    if (!acceptCallback(browseId))
        return;
    ended = true;
    if (!results.isEmpty())
        flushBrowseResults();

    TuvoBrowseResultDBusStruct error;
    error.errorCode = errorCode;
    error.errorMessage = errorMessage;
    if (!send({error}))
        qWarning() << "TuvoSourceAdaptorBrowseTransaction::handleBrowseError: Failed to send error "
                      "message";
    deleteLater();
}

void TuvoSourceAdaptorBrowseTransaction::flushBrowseResults()
{
    flushTimer.stop();
    // The list goes into the message by reference count; the next batch starts afresh.
    const QList<TuvoBrowseResultDBusStruct> batch = std::exchange(results, {});
    if (!send(batch))
        qWarning() << "TuvoSourceAdaptorBrowseTransaction::flushResults: Failed to send result "
                      "message";
    if (!ended)
        results.reserve(BATCH_SIZE);
}

bool TuvoSourceAdaptorBrowseTransaction::send(const QList<TuvoBrowseResultDBusStruct> &batch) const
{
    return adaptor->sendToProxySource(
        service, BrowseResultMethod, {QVariant(browseId), QVariant(QMetaType(listTypeId), &batch)});
}
