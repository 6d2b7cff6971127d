#ifndef TUVOSOURCEADAPTORQUERYTRANSACTION_H
#define TUVOSOURCEADAPTORQUERYTRANSACTION_H

#include "TuvoResultBatch.h"
#include "TuvoSourceOperation.h"

#include <TuvoError.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

/*!
 * Carries the rows of one query to the client that started it, batched like a browse
 * (see TuvoSourceAdaptorBrowseTransaction). Each "query_result" call (u i a(uas) i s)
 * carries the query id, the remaining count of the last row in the batch, the rows,
 * and an error code and message that are 0 and "" for results. An error goes out as
 * an empty batch with the code and message, after the pending rows (sent with remaining
 * count 0).
 *
 * Rows are dropped like browse results (TuvoSourceAdaptorBrowseTransaction): a row with
 * a value holding a NUL character, or too large for any message, with the error
 * DroppedRowError when that was the last row or the row was too large.
 */
class TuvoSourceAdaptorQueryTransaction : public TuvoSourceOperation
{
    Q_OBJECT
public:
    /*! Sends one call's arguments to the client; false when it could not be queued. */
    using Send = std::function<bool(const QVariantList &arguments)>;

    TuvoSourceAdaptorQueryTransaction(Send send, QObject *parent);
    ~TuvoSourceAdaptorQueryTransaction() override;

    /*! The id the source returned; see TuvoResultBatch::expectId(). */
    void expectQueryId(uint id);

    static constexpr int DroppedRowError = TuvoError::ErrorResourceUnreadable;

public Q_SLOTS:
    void handleQueryResult(uint queryId, QStringList resultRow, uint index, int remainingCount);
    void handleQueryError(uint queryId, int errorCode, QString errorMessage);

protected:
    void end(uint id, const QString &text) override;

private:
    void addRow(uint queryId, const QStringList &resultRow, uint index, int remainingCount);
    void addError(uint queryId, int errorCode, const QString &errorMessage);

    Send send;
    TuvoResultBatch batch;
};

#endif
