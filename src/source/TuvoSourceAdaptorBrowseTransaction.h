#ifndef TUVOSOURCEADAPTORBROWSETRANSACTION_H
#define TUVOSOURCEADAPTORBROWSETRANSACTION_H

#include "TuvoResultBatch.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

/*!
 * Carries the results of one browse to the client that started it.
 *
 * The source calls handleBrowseResult() once per result and handleBrowseError() on
 * failure. The results go out in batches (TuvoResultBatch) as the arguments of a
 * "browse_result" call (u a(iusaysus)), handed to the send function that the adaptor
 * gives; an error goes out the same way, as a batch of one error record. After the
 * last result or the error the transaction deletes itself.
 */
class TuvoSourceAdaptorBrowseTransaction : public QObject
{
    Q_OBJECT
public:
    /*! Sends one call's arguments to the client; false when it could not be queued. */
    using Send = std::function<bool(const QVariantList &arguments)>;

    TuvoSourceAdaptorBrowseTransaction(Send send, QObject *parent);
    ~TuvoSourceAdaptorBrowseTransaction() override;

    /*! The id the source returned; see TuvoResultBatch::expectId(). */
    void expectBrowseId(uint id) { batch.expectId(id); }

public Q_SLOTS:
    void handleBrowseResult(uint browseId, QString subjectId, QMap<QString, QVariant> meta,
                            uint index, int remainingCount);
    void handleBrowseError(uint browseId, uint errorCode, QString errorMessage);

private:
    Send send;
    TuvoResultBatch batch;
};

#endif
