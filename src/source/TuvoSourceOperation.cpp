#include "TuvoSourceOperation.h"

#include <utility>

TuvoSourceOperation::TuvoSourceOperation(QObject *parent)
    : QObject(parent)
    , m_grace(this)
{
    m_grace.setSingleShot(true);
    m_grace.setInterval(CancelGraceMs);
    connect(&m_grace, &QTimer::timeout, this, &QObject::deleteLater);
}

TuvoSourceOperation::~TuvoSourceOperation() = default;

void TuvoSourceOperation::cancelled()
{
    m_grace.start();
}

void TuvoSourceOperation::withdrawn()
{
    if (m_id == 0 || m_grace.isActive())
        return;
    end(m_id, QStringLiteral("the source was withdrawn before the operation ended"));
}

void TuvoSourceOperation::started(uint id)
{
    m_id = id;
    for (const auto &callback : std::exchange(m_held, {}))
        callback();
}

void TuvoSourceOperation::deliver(std::function<void()> callback)
{
    if (m_id == 0) {
        m_held.append(std::move(callback));
        return;
    }
    if (m_grace.isActive())
        m_grace.start();
    callback();
}
