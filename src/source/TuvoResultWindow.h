#ifndef TUVORESULTWINDOW_H
#define TUVORESULTWINDOW_H

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QQueue>
#include <QString>

/*!
 * Holds the result calls of one browse or query to the pace of the client that reads
 * them, within the calls as they always were.
 *
 * The calls go out without awaiting a reply, except every AskEvery-th one, which asks
 * for the (empty) reply that any D-Bus receiver gives a method call by itself once it
 * has handled it; the first call never asks, so a short operation looks as it always
 * did. Before a further call that asks goes out, at most MaxUnanswered of them may be
 * unanswered: otherwise the sender waits for the oldest answer. So no more than about
 * AskEvery * MaxUnanswered calls are ever on their way to a client that keeps up, and
 * neither the bus daemon nor the client queues more than that.
 *
 * A client that does not answer within AnswerTimeoutMs, or answers with an error, is
 * not waited for: the operation goes on without the window (still paced by
 * TuvoSendThrottle towards the daemon), with one warning. Every AskEvery-th call still
 * asks, without waiting; once such a call is answered (a client that was only stopped
 * for a while, such as one piped into a pager), the window holds the operation again.
 *
 * Waiting blocks the thread, as the source pushes its results with no way to be
 * paused; while one client is behind, every other client of the process waits with
 * it, at most AnswerTimeoutMs at a time.
 */
class TuvoResultWindow
{
public:
    static constexpr int AskEvery = 32;
    static constexpr int MaxUnanswered = 8;
    static constexpr int AnswerTimeoutMs = 3000;

    /*! For the calls to \a client (its unique bus name). */
    explicit TuvoResultWindow(const QString &client);
    TuvoResultWindow(const TuvoResultWindow &) = delete;
    TuvoResultWindow &operator=(const TuvoResultWindow &) = delete;

    /*! Sends \a call on \a bus, waiting first if the window is full; false when the call
     *  could not be queued. */
    bool send(const QDBusConnection &bus, QDBusMessage call);

    /*! False once the client has been found not to answer. */
    bool isPacing() const { return m_pacing; }

private:
    /*! True for a reply; stops pacing on an error. */
    bool answered(const QDBusPendingCall &call);
    /*! Sends \a call asking for its reply, which joins the unanswered ones. */
    bool ask(const QDBusConnection &bus, const QDBusMessage &call);
    /*! Without the window: asks without waiting, and takes the window up again once
     *  an asked call has been answered. */
    bool sendUnpaced(const QDBusConnection &bus, const QDBusMessage &call);

    QString m_client;
    QQueue<QDBusPendingCall> m_asked;
    int m_sinceAsked = 0;
    bool m_pacing = true;
};

#endif
