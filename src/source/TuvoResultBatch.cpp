#include "TuvoResultBatch.h"

#include "TuvoSourceLogging.h"

#include <QDebug>

TuvoResultBatch::TuvoResultBatch(const char *operation, Sink sink, QObject *parent)
    : QObject(parent)
    , m_operation(operation)
    , m_sink(std::move(sink))
    , m_deadline(this)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(FlushDelayMs);
    connect(&m_deadline, &QTimer::timeout, this, &TuvoResultBatch::flush);
}

TuvoResultBatch::~TuvoResultBatch() = default;

void TuvoResultBatch::expectId(uint id)
{
    if (m_id == 0)
        m_id = id;
}

bool TuvoResultBatch::accept(uint id)
{
    if (m_id == 0)
        m_id = id;
    else if (id != m_id) {
        qWarning("Source signals with bad %sId: return", m_operation);
        return false;
    }
    if (m_ended) {
        // Nothing may follow the last result or the error: the client has closed the
        // operation already.
        qCWarning(lcTuvoSource, "source signals after the end of %s %u", m_operation, id);
        return false;
    }
    return true;
}

void TuvoResultBatch::added(int remainingCount)
{
    ++m_pending;
    m_remainingCount = remainingCount;
    if (remainingCount == 0) {
        // Ended first: whatever the sink sets off cannot add to a closed operation.
        m_ended = true;
        flush();
        Q_EMIT finished();
    } else if (m_pending == Size) {
        flush();
    } else if (m_pending == 1) {
        // Started by the first record only, so a partial batch waits no longer than this.
        m_deadline.start();
    }
}

void TuvoResultBatch::fail(uint id, const QVariant &records, const QVariantList &error)
{
    if (!accept(id))
        return;
    m_ended = true;
    if (m_pending) {
        m_remainingCount = 0;
        flush();
    }
    m_sink(Batch{m_id, 0, records, error});
    Q_EMIT finished();
}

void TuvoResultBatch::flush()
{
    m_deadline.stop();
    if (m_pending == 0)
        return;
    m_pending = 0;
    // The list goes into the message by reference count; the next batch starts afresh.
    m_sink(Batch{m_id, m_remainingCount, std::exchange(m_records, QVariant()), {}});
}
