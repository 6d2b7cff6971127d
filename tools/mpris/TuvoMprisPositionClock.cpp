#include "TuvoMprisPositionClock.h"

qint64 TuvoMprisPositionClock::position(qint64 nowMs) const
{
    if (!m_running)
        return m_baseMs;
    return m_baseMs + qMax<qint64>(0, nowMs - m_anchorMs);
}

void TuvoMprisPositionClock::setRunning(bool running, qint64 nowMs)
{
    if (running == m_running)
        return;
    m_baseMs = position(nowMs);
    m_anchorMs = nowMs;
    m_running = running;
}

void TuvoMprisPositionClock::set(qint64 positionMs, qint64 nowMs)
{
    m_baseMs = qMax<qint64>(0, positionMs);
    m_anchorMs = nowMs;
}

bool TuvoMprisPositionClock::correct(quint32 seconds, qint64 nowMs)
{
    const qint64 secondStart = qint64(seconds) * 1000;
    const qint64 current = position(nowMs);
    if (current >= secondStart && current < secondStart + 1000)
        return false;
    const bool jump = current < secondStart - JumpMs || current >= secondStart + 1000 + JumpMs;
    if (jump)
        set(secondStart, nowMs);
    else
        set(current < secondStart ? secondStart : secondStart + 999, nowMs);
    return jump;
}

bool TuvoMprisPositionClock::needsResync(qint64 nowMs) const
{
    return m_running && (m_lastQueryMs < 0 || nowMs - m_lastQueryMs >= ResyncPeriodMs);
}
