#ifndef TUVORESULTBATCH_H
#define TUVORESULTBATCH_H

#include <QList>
#include <QObject>
#include <QTimer>
#include <QVariant>
#include <QVariantList>

#include <functional>

/*!
 * Collects the records of one browse or query and hands them to a sink in batches: a
 * batch goes out when it holds Size records, FlushDelayMs after its first record, or at
 * once with the last record (remaining count 0). An error goes out after the pending
 * records. Nothing goes out after the last record or the error; finished() then says
 * that the operation has ended.
 *
 * The operation's id is taken from the first callback, which may come before the
 * source's browse() or query() has returned, or from expectId() when no callback came
 * first; callbacks with another id are dropped.
 *
 * The records are of any type the caller chooses; a batch carries them as a QVariant
 * holding a QList of that type, ready to be placed in a D-Bus message.
 */
class TuvoResultBatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int Size = 10;
    static constexpr int FlushDelayMs = 200;

    /*! One batch as it goes on the wire. */
    struct Batch {
        uint id = 0;
        /*! Of the newest record in the batch; 0 once the operation has ended. */
        int remainingCount = 0;
        /*! QList<Record> */
        QVariant records;
        /*! Empty for results; for the batch that ends the operation with an error, the
         *  error as given to fail(). */
        QVariantList error;
    };
    using Sink = std::function<void(const Batch &batch)>;

    /*! \a operation ("browse", "query") names the id in the log lines. */
    TuvoResultBatch(const char *operation, Sink sink, QObject *parent = nullptr);
    ~TuvoResultBatch() override;

    /*!
     * The id the source returned. Taken only when no callback came first, so that a
     * stray first callback with another id cannot capture the operation.
     */
    void expectId(uint id);

    /*!
     * One record of operation \a id: \a fill fills a new record of type Record in place,
     * unless the callback is dropped.
     */
    template<typename Record, typename Fill>
    void add(uint id, int remainingCount, Fill &&fill)
    {
        if (!accept(id))
            return;
        if (!m_records.isValid())
            m_records = QVariant::fromValue(QList<Record>());
        auto *records = static_cast<QList<Record> *>(m_records.data());
        if (records->isEmpty())
            records->reserve(Size);
        fill(records->emplaceBack());
        added(remainingCount);
    }

    /*!
     * Operation \a id failed: the pending records go out first, with remaining count 0,
     * then a batch of \a records (the error's own records, if the wire carries it as
     * records) with \a error.
     */
    void fail(uint id, const QVariant &records, const QVariantList &error);

Q_SIGNALS:
    /*! The last record or the error has gone out. */
    void finished();

public Q_SLOTS:
    /*! Sends the pending records, if any; what the deadline does. */
    void flush();

private:
    bool accept(uint id);
    void added(int remainingCount);

    const char *m_operation;
    Sink m_sink;
    uint m_id = 0;
    bool m_ended = false;
    int m_pending = 0;
    int m_remainingCount = 0;
    QVariant m_records;
    /*! A child, so that a test can let the deadline pass at once. */
    QTimer m_deadline;
};

#endif
