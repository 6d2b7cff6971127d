#include "TuvoResultWindow.h"

#include "TuvoSourceLogging.h"

#include <QDBusError>

TuvoResultWindow::TuvoResultWindow(const QString &client)
    : m_client(client)
{
}

bool TuvoResultWindow::answered(const QDBusPendingCall &call)
{
    if (!call.isError())
        return true;
    m_pacing = false;
    m_asked.clear();
    qCWarning(lcTuvoSource, "%s did not answer a result call (%s: %s); its results go on without "
              "waiting for it", qUtf8Printable(m_client), qUtf8Printable(call.error().name()),
              qUtf8Printable(call.error().message()));
    return false;
}

bool TuvoResultWindow::ask(const QDBusConnection &bus, const QDBusMessage &call)
{
    const QDBusPendingCall asked = bus.asyncCall(call, AnswerTimeoutMs);
    // A call that could not be queued at all fails at once, as send() would.
    if (asked.isFinished() && asked.isError() && !bus.isConnected())
        return false;
    m_asked.enqueue(asked);
    return true;
}

bool TuvoResultWindow::sendUnpaced(const QDBusConnection &bus, const QDBusMessage &call)
{
    // One asked call at a time: one that is never answered ends with its time-out.
    if (!m_asked.isEmpty()) {
        if (!m_asked.head().isFinished())
            return bus.send(call);
        if (!m_asked.dequeue().isError()) {
            m_pacing = true;
            qCWarning(lcTuvoSource, "%s answers its result calls again; its results wait for it again",
                      qUtf8Printable(m_client));
        }
    }
    return ask(bus, call);
}

bool TuvoResultWindow::send(const QDBusConnection &bus, QDBusMessage call)
{
    if (++m_sinceAsked < AskEvery)
        return bus.send(call);
    m_sinceAsked = 0;
    if (!m_pacing)
        return sendUnpaced(bus, call);
    while (!m_asked.isEmpty() && m_asked.head().isFinished()) {
        if (!answered(m_asked.dequeue()))
            return bus.send(call);
    }
    if (m_asked.size() >= MaxUnanswered) {
        // The answer comes on the bus library's own thread; the call's time-out ends the
        // wait at the latest.
        m_asked.head().waitForFinished();
        if (!answered(m_asked.dequeue()))
            return bus.send(call);
    }
    return ask(bus, call);
}
