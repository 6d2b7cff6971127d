#ifndef TUVOREPLYQUEUE_H
#define TUVOREPLYQUEUE_H

#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

/*!
 * The D-Bus calls of one kind that wait for an answer of the object behind an adaptor:
 * each call is kept with a delayed reply and gets exactly one reply, the answer or an
 * error, in the order the calls came.
 *
 * The object is asked when a call finds the queue empty. With AnswerAll its one answer
 * serves every call waiting by then; with AnswerOldest it serves the oldest call only,
 * and the object is asked again at once for the next one. An object that refuses a
 * request fails the calls the request was for with org.freedesktop.DBus.Error.Failed
 * and the refusal text. failAll() ends every waiting call with an error; a request
 * that is out stays out, and its answer serves whatever call waits when it comes.
 * Calls still waiting when the queue is destroyed get org.freedesktop.DBus.Error.UnknownObject.
 *
 * The object may answer inside the request, and a reply may lead to a new call before
 * the queue is done: the queue never asks recursively and never answers a call twice.
 * Replies go through the sink, by default straight onto the session bus.
 */
class TuvoReplyQueue : public QObject
{
    Q_OBJECT
public:
    enum Policy { AnswerAll, AnswerOldest };
    static constexpr const char *GoneText = "The object was withdrawn before it answered";
    /*! Asks the object for an answer; false when it refuses. */
    using Ask = std::function<bool()>;
    /*! Builds the reply to one call from the answer at hand. */
    using Answer = std::function<QDBusMessage(const QDBusMessage &call)>;
    /*! Sends the \a reply to \a call. */
    using Sink = std::function<void(const QDBusMessage &call, const QDBusMessage &reply)>;

    TuvoReplyQueue(Policy policy, Ask ask, const QString &refusalText, QObject *parent = nullptr);
    ~TuvoReplyQueue() override;

    /*! Sends on the session bus, as every adaptor reply goes; false when it cannot. */
    static bool sendOnSessionBus(const QDBusMessage &reply);
    void setSink(Sink sink);

    /*! Keeps \a call, marked for a delayed reply, and asks the object if none is asked. */
    void add(const QDBusMessage &call);
    /*! The object's answer, for the calls it serves; false when no call is waiting. */
    bool answer(const Answer &answer);
    /*! Ends every waiting call with the error \a name and \a text. */
    void failAll(const QString &name, const QString &text);

    bool isEmpty() const { return m_calls.isEmpty(); }
    qsizetype size() const { return m_calls.size(); }

private:
    /*! Asks for the oldest call until a request is out or nothing waits. */
    void askForOldest();
    /*! Takes the calls one answer serves out of the queue. */
    QList<QDBusMessage> takeServed();
    void reply(const QList<QDBusMessage> &calls, const Answer &answer);

    const Policy m_policy;
    const Ask m_ask;
    const QString m_refusalText;
    Sink m_sink;
    QList<QDBusMessage> m_calls;
    // Counts the times calls left the queue: tells whether the calls a request was
    // made for were ended while the object had control.
    quint64 m_taken = 0;
    // Set while the queue asks or replies; a call arriving then is asked for after.
    bool m_busy = false;
};

#endif
