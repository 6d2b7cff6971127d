#ifndef TUVOSENDTHROTTLE_H
#define TUVOSENDTHROTTLE_H

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QQueue>

/*!
 * Keeps the result batches that one adaptor has sent, but that the bus daemon has not
 * taken off this process's connection yet, under a bound.
 *
 * Sending on the bus never blocks: a batch waits in the connection's outgoing queue
 * until the daemon reads it. A source that delivers faster than the daemon reads
 * would grow that queue, and the process's memory, with the size of the browse.
 * Every ProbeEvery batches a Ping goes to the daemon itself; it is answered once the
 * daemon has read everything sent before it. With MaxProbes pings unanswered, the
 * next batch waits for the oldest answer, which holds the source back to the bus's
 * pace. The daemon is asked rather than the client, so a client that does not read
 * its messages cannot stall the process.
 */
class TuvoSendThrottle
{
public:
    static constexpr int ProbeEvery = 32;
    static constexpr int MaxProbes = 8;

    TuvoSendThrottle() = default;
    TuvoSendThrottle(const TuvoSendThrottle &) = delete;
    TuvoSendThrottle &operator=(const TuvoSendThrottle &) = delete;

    /*! Counts one batch sent on \a bus; may wait for the daemon as described above. */
    void sent(const QDBusConnection &bus);

private:
    QQueue<QDBusPendingCall> m_probes;
    int m_sinceProbe = 0;
};

#endif
