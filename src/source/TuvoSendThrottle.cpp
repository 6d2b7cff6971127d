#include "TuvoSendThrottle.h"

#include <QDBusMessage>

void TuvoSendThrottle::sent(const QDBusConnection &bus)
{
    if (++m_sinceProbe < ProbeEvery)
        return;
    m_sinceProbe = 0;
    while (!m_probes.isEmpty() && m_probes.head().isFinished())
        m_probes.dequeue();
    if (m_probes.size() >= MaxProbes) {
        // Blocks this thread only until the daemon has caught up with the batches
        // sent before that probe; errors (a lost connection) end the wait as well.
        m_probes.head().waitForFinished();
        m_probes.dequeue();
    }
    static const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    m_probes.enqueue(bus.asyncCall(ping));
}
