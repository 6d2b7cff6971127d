#ifndef TUVOSOURCEADAPTORBROWSETRANSACTION_H
#define TUVOSOURCEADAPTORBROWSETRANSACTION_H

#include "TuvoResultBatch.h"
#include "TuvoSourceOperation.h"

#include <TuvoError.h>

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
 *
 * A result whose object id holds a NUL character, or that is too large for any D-Bus
 * message (TuvoMessageBudget), is dropped with a warning; a dropped last result, or one
 * too large, ends the browse with the error DroppedResultError that says why.
 */
class TuvoSourceAdaptorBrowseTransaction : public TuvoSourceOperation
{
    Q_OBJECT
public:
    /*! Sends one call's arguments to the client; false when it could not be queued. */
    using Send = std::function<bool(const QVariantList &arguments)>;

    TuvoSourceAdaptorBrowseTransaction(Send send, QObject *parent);
    ~TuvoSourceAdaptorBrowseTransaction() override;

    /*! The id the source returned; see TuvoResultBatch::expectId(). */
    void expectBrowseId(uint id);

    static constexpr uint DroppedResultError = TuvoError::ErrorResourceUnreadable;

public Q_SLOTS:
    void handleBrowseResult(uint browseId, QString subjectId, QMap<QString, QVariant> meta,
                            uint index, int remainingCount);
    void handleBrowseError(uint browseId, uint errorCode, QString errorMessage);

protected:
    void end(uint id, const QString &text) override;

private:
    void addResult(uint browseId, const QString &subjectId, const QVariantMap &meta, uint index,
                   int remainingCount);
    void addError(uint browseId, uint errorCode, const QString &errorMessage);

    Send send;
    TuvoResultBatch batch;
};

#endif
