#ifndef TUVOMPRISPOSITIONCLOCK_H
#define TUVOMPRISPOSITIONCLOCK_H

#include <QtGlobal>

/*!
 * A renderer's playback position kept locally, so that clients polling Position do not
 * each cost the renderer a query: the last known position plus the time elapsed since,
 * while playing. All times are milliseconds of one monotonic clock given by the caller.
 *
 * Renderers answer in whole seconds (the position is truncated), so an answer that lies
 * in the second the clock is in confirms the clock and changes nothing; an answer just
 * outside moves the clock to the nearest edge of that second, and an answer further off
 * is a jump (a seek), taken as it is.
 */
class TuvoMprisPositionClock
{
public:
    /*! How far off an answer must be to count as a jump, not as drift. */
    static constexpr qint64 JumpMs = 1500;
    /*! At most one renderer query per this period while playing. */
    static constexpr qint64 ResyncPeriodMs = 1000;

    qint64 position(qint64 nowMs) const;
    bool isRunning() const { return m_running; }

    /*! Starts or stops the clock at \a nowMs, keeping the position reached. */
    void setRunning(bool running, qint64 nowMs);
    /*! Sets the position outright (a seek the bridge asked for, a new item). */
    void set(qint64 positionMs, qint64 nowMs);
    /*!
     * Takes the renderer's answer \a seconds, asked at \a nowMs; true when the clock
     * jumped (clients should hear Seeked).
     */
    bool correct(quint32 seconds, qint64 nowMs);

    /*! Whether a Position read at \a nowMs should ask the renderer again. */
    bool needsResync(qint64 nowMs) const;
    void markQueried(qint64 nowMs) { m_lastQueryMs = nowMs; }

private:
    qint64 m_baseMs = 0;   // position at m_anchorMs
    qint64 m_anchorMs = 0; // when the clock last started or was set
    qint64 m_lastQueryMs = -1;
    bool m_running = false;
};

#endif
