#include "TuvoReplyQueue.h"

#include <QDBusConnection>
#include <QDBusError>

#include <utility>

TuvoReplyQueue::TuvoReplyQueue(Policy policy, Ask ask, const QString &refusalText, QObject *parent)
    : QObject(parent)
    , m_policy(policy)
    , m_ask(std::move(ask))
    , m_refusalText(refusalText)
    , m_sink([](const QDBusMessage &, const QDBusMessage &reply) { sendOnSessionBus(reply); })
{
}

// The object goes away with calls still waiting (a renderer withdrawn, the process
// ending): each gets the error a call to a missing object gets, rather than leaving its
// caller to its own time-out. Sent directly: the sink may belong to an adaptor that is
// already gone.
TuvoReplyQueue::~TuvoReplyQueue()
{
    for (const QDBusMessage &call : std::as_const(m_calls))
        sendOnSessionBus(call.createErrorReply(QDBusError::UnknownObject, GoneText));
}

bool TuvoReplyQueue::sendOnSessionBus(const QDBusMessage &reply)
{
    return QDBusConnection::sessionBus().send(reply);
}

void TuvoReplyQueue::setSink(Sink sink)
{
    m_sink = std::move(sink);
}

void TuvoReplyQueue::add(const QDBusMessage &call)
{
    call.setDelayedReply(true);
    // Kept before the object is asked: an object that answers inside the request must
    // find the call it answers.
    m_calls.append(call);
    if (m_calls.size() == 1)
        askForOldest();
}

bool TuvoReplyQueue::answer(const Answer &answer)
{
    if (m_calls.isEmpty())
        return false;
    reply(takeServed(), answer);
    return true;
}

void TuvoReplyQueue::failAll(const QString &name, const QString &text)
{
    if (m_calls.isEmpty())
        return;
    QList<QDBusMessage> calls;
    calls.swap(m_calls);
    ++m_taken;
    reply(calls, [&](const QDBusMessage &call) { return call.createErrorReply(name, text); });
}

QList<QDBusMessage> TuvoReplyQueue::takeServed()
{
    QList<QDBusMessage> served;
    if (m_policy == AnswerAll)
        served.swap(m_calls);
    else
        served.append(m_calls.takeFirst());
    ++m_taken;
    return served;
}

void TuvoReplyQueue::reply(const QList<QDBusMessage> &calls, const Answer &answer)
{
    // The calls are out of the queue before anything is sent, so none is answered twice.
    const bool outermost = !m_busy;
    m_busy = true;
    for (const QDBusMessage &call : calls)
        m_sink(call, answer(call));
    if (!outermost)
        return; // the loop that runs already goes on with what waits now
    m_busy = false;
    askForOldest();
}

void TuvoReplyQueue::askForOldest()
{
    if (m_busy)
        return;
    m_busy = true;
    // A loop rather than recursion: when the object answers inside each request, the
    // stack does not grow with the number of waiting calls.
    while (!m_calls.isEmpty()) {
        const quint64 taken = m_taken;
        const bool asked = m_ask();
        if (m_taken != taken)
            continue; // answered or ended inside the request: on with what waits now
        if (asked)
            break; // the answer comes later
        // Refused: no answer follows, and the calls would wait for their time-out.
        reply(takeServed(), [this](const QDBusMessage &call) {
            return call.createErrorReply(QDBusError::Failed, m_refusalText);
        });
    }
    m_busy = false;
}
