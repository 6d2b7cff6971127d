#ifndef TUVOSOURCEADAPTORBROWSETRANSACTION_H
#define TUVOSOURCEADAPTORBROWSETRANSACTION_H

#include "TuvoBrowseResultDBusStruct.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>

class TuvoSourceAdaptor;

/*!
 * Carries the results of one browse to the client that started it.
 *
 * The source calls handleBrowseResult() once per result and handleBrowseError() on
 * failure. Results are sent as "browse_result" calls (u a(iusaysus)) to the client's
 * unique bus name at "/com/oxbel/tuvo/proxy_source/<source uuid>", without awaiting a
 * reply: a batch goes out when it holds BATCH_SIZE records, FLUSH_DELAY_MS after its
 * first record, or at once with the last result (remainingCount 0). An error goes out
 * after the pending results, as a batch of one error record. After the last result or
 * the error the transaction deletes itself.
 *
 * The browse id is taken from the first callback, which may come before the source's
 * browse() has returned; callbacks with another id are dropped.
 */
class TuvoSourceAdaptorBrowseTransaction : public QObject
{
    Q_OBJECT
public:
    static constexpr int BATCH_SIZE = 10;
    static constexpr int FLUSH_DELAY_MS = 200;

    TuvoSourceAdaptorBrowseTransaction(TuvoSourceAdaptor *adaptor, const QString &service,
                                       QObject *parent);
    ~TuvoSourceAdaptorBrowseTransaction() override;

    /*!
     * The id the source returned. Taken when no callback came first, so that a stray
     * first callback with another id cannot capture the browse.
     */
    void expectBrowseId(uint id);

public Q_SLOTS:
    void handleBrowseResult(uint browseId, QString subjectId, QMap<QString, QVariant> meta,
                            uint index, int remainingCount);
    void handleBrowseError(uint browseId, uint errorCode, QString errorMessage);

private Q_SLOTS:
    void flushBrowseResults();

private:
    bool acceptCallback(uint id);
    bool send(const QList<TuvoBrowseResultDBusStruct> &batch) const;

    TuvoSourceAdaptor *adaptor;
    QString service;
    uint browseId = 0;
    bool ended = false;
    QList<TuvoBrowseResultDBusStruct> results;
    QTimer flushTimer;
    int listTypeId;
};

#endif
