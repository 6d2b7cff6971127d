#ifndef TUVOSOURCEADAPTORQUERYTRANSACTION_H
#define TUVOSOURCEADAPTORQUERYTRANSACTION_H

#include "TuvoQueryResultDBusStruct.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class TuvoSourceAdaptor;

/*!
 * Carries the rows of one query to the client that started it, batched like a browse
 * (see TuvoSourceAdaptorBrowseTransaction). Each "query_result" call (u i a(uas) i s)
 * carries the query id, the remaining count of the last row in the batch, the rows,
 * and an error code and message that are 0 and "" for results. An error goes out as
 * an empty batch with the code and message, after the pending rows (sent with remaining
 * count 0).
 */
class TuvoSourceAdaptorQueryTransaction : public QObject
{
    Q_OBJECT
public:
    static constexpr int BATCH_SIZE = 10;
    static constexpr int FLUSH_DELAY_MS = 200;

    TuvoSourceAdaptorQueryTransaction(TuvoSourceAdaptor *adaptor, const QString &service,
                                      QObject *parent);
    ~TuvoSourceAdaptorQueryTransaction() override;

    /*! The id the source returned; see TuvoSourceAdaptorBrowseTransaction::expectBrowseId(). */
    void expectQueryId(uint id);

public Q_SLOTS:
    void handleQueryResult(uint queryId, QStringList resultRow, uint index, int remainingCount);
    void handleQueryError(uint queryId, int errorCode, QString errorMessage);

private Q_SLOTS:
    void flushQueryResults();

private:
    bool acceptCallback(uint id);
    bool send(uint id, int remaining, const QList<TuvoQueryResultDBusStruct> &batch, int errorCode,
              const QString &errorMessage) const;

    TuvoSourceAdaptor *adaptor;
    QString service;
    uint queryId = 0;
    bool ended = false;
    QList<TuvoQueryResultDBusStruct> results;
    int remainingCount = 0;
    QTimer flushTimer;
    int listTypeId;
};

#endif
